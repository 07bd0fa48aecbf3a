#include "framework/WinApp.h"

#include <QApplication>
#include <filesystem>
#include <memory>
#include <system_error>

#include "framework/MessageBox.h"
#include "framework/Translation.h"

namespace {

CWinApp* g_app = nullptr;

std::filesystem::path Executable() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable;
}

std::string ExecutableTitle() {
    return Executable().stem().string();
}

// Beside the program, installed or in the build tree alike: bin/NAME and
// share/NAME/translations.
std::string TranslationsFolder() {
    const std::filesystem::path executable = Executable();
    return (executable.parent_path().parent_path() / "share" / executable.stem() / "translations")
        .string();
}

}  // namespace

CWinApp::CWinApp(const char* appName)
    : m_appTitle(appName != nullptr && *appName != '\0' ? appName : ExecutableTitle()) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

bool CWinApp::InitInstance() {
    return true;
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::OnHelp() {
    AfxMessageBox("The help file " + m_appTitle + ".HLP was not found.", MB_ICONEXCLAMATION);
}

CWinApp* AfxGetApp() noexcept {
    return g_app;
}

CWnd* AfxGetMainWnd() noexcept {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

std::string AfxGetAppTitle() {
    return g_app != nullptr ? g_app->GetAppTitle() : ExecutableTitle();
}

int AfxWinMain(int argc, char* argv[]) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return -1;
    }
    std::unique_ptr<QApplication> toolkit;
    if (QApplication::instance() == nullptr) {
        toolkit = std::make_unique<QApplication>(argc, argv);
    }
    // The dialogs run their own loops; hiding the last window must not end them.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry installed with the program carries the program's name, and the desktop
    // finds the window's icon and name through it.
    QGuiApplication::setDesktopFileName(QString::fromStdString(ExecutableTitle()));
    AfxInstallTranslations(ExecutableTitle(), TranslationsFolder());
    if (app->InitInstance()) {
        QApplication::exec();
    }
    app->m_pMainWnd = nullptr;
    return app->ExitInstance();
}
