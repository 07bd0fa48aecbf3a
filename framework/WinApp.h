#pragma once

#include <string>

#include "framework/CmdTarget.h"
#include "framework/Icon.h"

class CWnd;

// The application object: one per process, constructed before AfxWinMain runs. AfxWinMain
// calls InitInstance once; when it returns false no event loop of the application's own runs
// (the dialogs run their own), and ExitInstance follows at once. The process exits with what
// ExitInstance returns.
class CWinApp : public CCmdTarget {
public:
    // Without a name the application title is the executable's file name without its
    // extension; it captions every message box.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual bool InitInstance();
    virtual int ExitInstance();

    const std::string& GetAppTitle() const { return m_appTitle; }
    HICON LoadIcon(int resourceId) const { return AfxLoadIcon(resourceId); }

    // The help command's handler: no help file belongs to the application, so it says so.
    void OnHelp();

    // The window that stands for the application, cleared when that window is destroyed.
    CWnd* m_pMainWnd = nullptr;

private:
    std::string m_appTitle;
};

CWinApp* AfxGetApp() noexcept;
CWnd* AfxGetMainWnd() noexcept;
// The application's title, also when no application object exists (tests of the framework).
std::string AfxGetAppTitle();

// The entry point: brings up the toolkit (unless it is up already) and runs the application
// object's hooks. Returns the process's exit status.
int AfxWinMain(int argc, char* argv[]);
