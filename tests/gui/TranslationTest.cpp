// The window in another language: every text of ours and the toolkit's own come translated, and
// the catalogues hold every text of the dialog templates and the string table.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>
#include <cctype>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/ControlText.h"
#include "framework/DialogWindow.h"
#include "framework/ResourceRegistry.h"
#include "framework/Translation.h"
#include "resources/StringTable.h"
#include "resources/Templates.h"
#include "tests/gui/MainWindowTesting.h"

namespace {

using namespace mainwindow_test;

// Each text a resource would show untranslated, with its context.
struct ResourceText {
    std::string context;
    std::string source;
};

std::vector<ResourceText> ResourceTexts() {
    std::vector<ResourceText> texts;
    auto add = [&texts](const std::string& context, const char* text) {
        const std::string source = text != nullptr ? text : "";
        for (const char c : source) {
            if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
                texts.push_back({context, source});
                return;
            }
        }
    };
    for (const DialogTemplate* dialog : AllDialogTemplates()) {
        const std::string context = DialogTextContext(dialog->id);
        add(context, dialog->caption);
        for (const ControlTemplate& control : dialog->controls) {
            add(context, control.text);
            add(context, control.accessibleName);
        }
    }
    for (int id = 1; id < 0x10000; ++id) {
        add(kStringTableContext, LoadStringResource(id));
    }
    return texts;
}

TEST(Translation, CataloguesTranslateEveryResourceText) {
    const std::vector<ResourceText> texts = ResourceTexts();
    ASSERT_GT(texts.size(), 50u);
    for (const char* language : {"de", "fr"}) {
        QTranslator catalogue;
        ASSERT_TRUE(catalogue.load(QStringLiteral("apmanager_") + QLatin1String(language),
                                   QStringLiteral(AP_TRANSLATIONS_DIR)))
            << language;
        for (const ResourceText& text : texts) {
            EXPECT_FALSE(catalogue.translate(text.context.c_str(), text.source.c_str()).isEmpty())
                << language << " lacks \"" << text.source << "\" of " << text.context;
        }
    }
}

// English texts of ours that the German catalogue does not leave alike ("OK" and "DNS" are the
// same in German), and the toolkit's own of the edit menu.
std::set<QString> EnglishTexts(const std::vector<ResourceText>& resources) {
    std::set<QString> english;
    std::set<QString> alike;
    QFile file(QStringLiteral(AP_TRANSLATIONS_SOURCE_DIR "/apmanager_de.ts"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader ts(&file);
    QString source;
    while (!ts.atEnd()) {
        if (ts.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (ts.name() == QLatin1String("source")) {
            source = ts.readElementText();
            english.insert(source);
        } else if (ts.name() == QLatin1String("translation") && ts.readElementText() == source) {
            alike.insert(source);
        }
    }
    for (const ResourceText& text : resources) {
        english.insert(QString::fromStdString(text.source));
    }
    for (const QString& same : alike) {
        english.erase(same);
    }
    for (const char* qt : {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"}) {
        english.insert(QLatin1String(qt));
    }
    return english;
}

// What a window shows and says: its title, every control's text and accessible name, line by
// line and tab-separated part by part, the list's headings, and an edit's own menu.
std::vector<QString> ShownTexts(QWidget* window) {
    std::vector<QString> shown = {window->windowTitle()};
    auto addParts = [&shown](const QString& text) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            for (const QString& part : line.split(QLatin1Char('\t'), Qt::SkipEmptyParts)) {
                shown.push_back(part);
            }
        }
    };
    for (QWidget* control : window->findChildren<QWidget*>()) {
        addParts(ControlText(control).value_or(QString()));
        addParts(control->accessibleName());
        if (auto* list = qobject_cast<ListView*>(control)) {
            for (int column = 0; column < list->columnCount(); ++column) {
                shown.push_back(list->headerItem()->text(column));
            }
        }
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            const std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
            for (const QAction* action : menu->actions()) {
                shown.push_back(action->text().section(QLatin1Char('\t'), 0, 0));
            }
        }
    }
    return shown;
}

class GermanTest : public MainWindowTest {
protected:
    GermanTest() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_TRUE(AfxInstallTranslations("apmanager", AP_TRANSLATIONS_DIR));
    }
    ~GermanTest() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        AfxInstallTranslations("apmanager", AP_TRANSLATIONS_DIR);
    }
};

TEST_F(GermanTest, EveryWindowAndMessageBoxShowsNoEnglishTextOfOurs) {
    // On another network, so that "Set IP Address" is offered for it; it reports both bands.
    network.Add(lan, {.name = "Annex",
                      .address = "172.16.9.9",
                      .macTail = 1,
                      .wirelessMode = 7,
                      .ssidA = "lab-a",
                      .channelA = 36});
    const std::set<QString> english = EnglishTexts(ResourceTexts());
    std::vector<QString> shown;
    auto lookAtTop = [&shown] {
        for (const QString& text : ShownTexts(TopModal())) {
            shown.push_back(text);
        }
    };
    struct Window {
        const char* name;
        int templateId;
        std::function<void()> open;
        std::function<void()> whileOpen;
    };
    TestAccessPointDlg dialog;
    const Window windows[] = {
        {"Detail Info", IDD_DETAIL_INFO, [] { Click(IDC_DETAIL_INFO); }, [] {}},
        {"About", IDD_ABOUTBOX, [&dialog] { dialog.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX); },
         [] {}},
        // Its refusals and the outcome of a request come as message boxes.
        {"IP Configuration", IDD_IPCONFIG, [] { Click(IDC_SET_IP_ADDRESS); },
         [] {
             ClickControl(IDC_FIXED);
             ClickControl(IDOK);
             ClickControl(IDC_DHCP_CLIENT);
             ClickControl(IDOK);
         }},
    };
    ModalDriver driver;
    for (const Window& window : windows) {
        driver
            .When(
                std::string("the main window before ") + window.name,
                [] { return TopDialogId() == IDD_ACCESSPOINT_DIALOG && MainWindowFilled(); },
                [&] {
                    lookAtTop();
                    for (const CMenu::Item& item : dialog.GetSystemMenu(false)->Items()) {
                        shown.push_back(QString::fromStdString(item.text));
                    }
                    window.open();
                })
            .When(
                window.name, [&] { return TopDialogId() == window.templateId; },
                [&] {
                    lookAtTop();
                    window.whileOpen();
                    if (TopDialogId() == window.templateId) {
                        qobject_cast<QDialog*>(TopModal())->reject();
                    }
                });
    }
    driver.When(
        "the main window at the end", [] { return TopDialogId() == IDD_ACCESSPOINT_DIALOG; },
        [] { Click(IDCANCEL); });
    dialog.DoModal();
    EXPECT_TRUE(driver.Finished());

    ASSERT_EQ(boxes.Texts().size(), 2u) << "refused empty fields, then the DHCP outcome";
    for (const std::string& text : boxes.Texts()) {
        shown.push_back(QString::fromStdString(text));
    }
    for (const QString& text : shown) {
        EXPECT_EQ(english.count(text.trimmed()), 0u) << "English: " << text.toStdString();
    }
    // The window did show what it was asked to look at, in German.
    const std::set<QString> seen(shown.begin(), shown.end());
    for (const char* german : {"Neu suchen", "IP-Konfiguration", "Details", "Abbrechen",
                               "Kanal für a:", "Einf&ügen", "Ungültige oder fehlende Daten."}) {
        EXPECT_EQ(seen.count(QString::fromUtf8(german)), 1u) << german;
    }
}

}  // namespace
