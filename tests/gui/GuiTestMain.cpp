#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include "framework/Translation.h"
#include "resources/RegisterResources.h"

namespace {

QtMessageHandler g_standardHandler = nullptr;

// The offscreen platform says on every popup that it cannot raise windows or grab the
// keyboard; that is no news for a test.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    if (g_standardHandler != nullptr) {
        g_standardHandler(type, context, message);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Listing or running the tests by hand needs no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt wants a private runtime directory and complains of any other.
    const QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    g_standardHandler = qInstallMessageHandler(QuietMessages);
    RegisterResources();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The tests of sizes and places again in another language (AP_TEST_LANGUAGE=de): the
    // translations must fit the templates' places as the English texts do.
    if (const QString language = qEnvironmentVariable("AP_TEST_LANGUAGE"); !language.isEmpty()) {
        QLocale::setDefault(QLocale(language));
        if (!AfxInstallTranslations("apmanager", AP_TRANSLATIONS_DIR)) {
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
