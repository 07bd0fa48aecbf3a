#pragma once

#include "framework/Wnd.h"

// A push button or radio button of a dialog.
class CButton : public CWnd {
public:
    bool CanAttach(const QWidget* widget) const override;
};
