#include "app/AccessPointApp.h"

#include "app/AccessPointDlg.h"
#include "app/UrlOpener.h"
#include "discovery/NetworkStartup.h"
#include "framework/MessageBox.h"
#include "framework/RunBlocking.h"
#include "framework/WaitCursor.h"
#include "resources/StringTable.h"

namespace {

constexpr const char* kManualPage = "apmanager";

}  // namespace

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
        msg::Command<&CAccessPointApp::OnManual>(ID_HELP, 0),
    };
    static const MessageMap kMap{CWinApp::GetMessageMap(), kEntries};
    return &kMap;
}

void CAccessPointApp::OnManual() {
    OpenUrlOutcome outcome = OpenUrlOutcome::kNoAssociation;
    {
        // A help viewer may take a moment to start.
        CWaitCursor waitCursor;
        RunBlocking([&outcome] {
            UrlOpener* opener = ActiveUrlOpener();
            outcome = opener != nullptr ? opener->OpenManual(kManualPage)
                                        : OpenUrlOutcome::kNoAssociation;
        });
    }
    if (outcome != OpenUrlOutcome::kOpened) {
        AfxMessageBox(IDS_MANUAL_NOT_SHOWN, MB_ICONEXCLAMATION);
    }
}
