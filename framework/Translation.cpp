#include "framework/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<QTranslator>>& Installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

bool Install(const QLocale& locale, const QString& catalogue, const QString& directory) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, catalogue, QStringLiteral("_"), directory)) {
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    Installed().push_back(std::move(translator));
    return true;
}

}  // namespace

bool AfxInstallTranslations(const std::string& catalogue, const std::string& directory) {
    for (const std::unique_ptr<QTranslator>& translator : Installed()) {
        QCoreApplication::removeTranslator(translator.get());
    }
    Installed().clear();
    const QLocale locale;
    // English is the texts' own language: a catalogue of a language further down the user's
    // list must not replace it.
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty() || languages.front() == QLatin1String("C") ||
        languages.front().startsWith(QLatin1String("en"))) {
        return false;
    }
    Install(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return Install(locale, QString::fromStdString(catalogue), QString::fromStdString(directory));
}

std::string AfxTranslate(const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
}

std::string DialogTextContext(int templateId) {
    return "Dialog " + std::to_string(templateId);
}
