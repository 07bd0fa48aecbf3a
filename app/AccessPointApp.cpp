#include "app/AccessPointApp.h"

#include "app/AccessPointDlg.h"
#include "discovery/NetworkStartup.h"

bool CAccessPointApp::InitInstance() {
    // A socket layer that cannot start is not reported: the window opens all the same, and
    // discovery then finds nothing.
    NetworkStartup();
    CAccessPointDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    return false;
}

int CAccessPointApp::ExitInstance() {
    NetworkCleanup();
    return CWinApp::ExitInstance();
}

const MessageMap* CAccessPointApp::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        msg::Command<&CWinApp::OnHelp>(ID_HELP, 0),
    };
    static const MessageMap kMap{CWinApp::GetMessageMap(), kEntries};
    return &kMap;
}
