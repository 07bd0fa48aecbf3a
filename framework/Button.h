#pragma once

#include "framework/Wnd.h"

// A push button or radio button of a dialog.
class CButton : public CWnd {
public:
    unsigned GetCheck() const;
    void SetCheck(unsigned check);

    bool CanAttach(const QWidget* widget) const override;
};
