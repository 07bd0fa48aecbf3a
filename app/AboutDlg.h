#pragma once

#include "framework/Dialog.h"

// The About box: the icon, the name with its version and one line of text.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
