#pragma once

#include "framework/Wnd.h"

// A static text or icon of a dialog. Its text is plain: no markup, no mnemonic.
class CStatic : public CWnd {
public:
    bool CanAttach(const QWidget* widget) const override;
};
