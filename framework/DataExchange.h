#pragma once

class CDialog;
class CWnd;

// Handed to a dialog's DoDataExchange: which way the data goes (controls to members, or the
// other way), and the dialog whose controls are meant.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) noexcept
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialog* const m_pDlgWnd;
    const bool m_bSaveAndValidate;
};

// Binds a control object to the dialog's control with this identifier, the first time only.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
