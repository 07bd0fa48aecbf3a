#pragma once

#include "framework/WinApp.h"

// The application: brings the socket layer up, runs the main window as the only event loop,
// and shuts the socket layer down once the main window has closed.
class CAccessPointApp : public CWinApp {
public:
    CAccessPointApp() = default;

    // Always false: the application has no loop of its own once the main window has closed.
    bool InitInstance() override;
    int ExitInstance() override;

protected:
    const MessageMap* GetMessageMap() const override;

    // F1: the manual page apmanager(1) in the desktop's help viewer, or a box saying that none
    // could show it.
    void OnManual();
};
