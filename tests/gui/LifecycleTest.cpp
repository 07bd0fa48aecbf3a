#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointApp.h"
#include "app/CurrentDeviceTable.h"
#include "framework/DialogWindow.h"
#include "framework/MessageBox.h"
#include "framework/StaticText.h"
#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

// The application with its exit hook observed.
class ObservedApp : public CAccessPointApp {
public:
    int ExitInstance() override {
        ++exits;
        tableReleasedBeforeExit = g_deviceTable == nullptr;
        // The shown table is gone by now: what is still held is discovery's merged table.
        mergedTableHeldAtExit = !TableLedger::Held().empty();
        return CAccessPointApp::ExitInstance();
    }

    int exits = 0;
    bool tableReleasedBeforeExit = false;
    bool mergedTableHeldAtExit = false;
};

int RunApplication() {
    char name[] = "apmanager";
    char* argv[] = {name, nullptr};
    return AfxWinMain(1, argv);
}

QWidget* FocusOf(QWidget* window) {
    return window->focusWidget() != nullptr ? window->focusWidget() : window;
}

QMenu* OpenMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

void ChooseMenuItem(unsigned id) {
    QMenu* menu = OpenMenu();
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == id) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    }
    ADD_FAILURE() << "no menu item " << id;
    menu->close();
}

void RightClickBackground(QWidget* window) {
    const QPoint corner(2, 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, corner, window->mapToGlobal(corner));
    QApplication::sendEvent(window, &event);
}

struct CloseRoute {
    const char* name;
    std::function<void(ModalDriver&)> addSteps;
};

void Close(ModalDriver& driver, std::function<void(QWidget*)> action) {
    driver.When("the main window, to close it", MainWindowFilled, [action] { action(TopModal()); });
}

const CloseRoute kCloseRoutes[] = {
    {"Exit button",
     [](ModalDriver& d) {
         Close(d, [](QWidget*) { QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton); });
     }},
    {"Escape",
     [](ModalDriver& d) {
         Close(d, [](QWidget* window) { QTest::keyClick(FocusOf(window), Qt::Key_Escape); });
     }},
    {"close box", [](ModalDriver& d) { Close(d, [](QWidget* window) { window->close(); }); }},
    {"Alt+F4",
     [](ModalDriver& d) {
         Close(d, [](QWidget* window) {
             QTest::keyClick(FocusOf(window), Qt::Key_F4, Qt::AltModifier);
         });
     }},
    {"system menu Close",
     [](ModalDriver& d) {
         Close(d, [](QWidget* window) {
             QTest::keyClick(FocusOf(window), Qt::Key_F10, Qt::ShiftModifier);
         });
         d.When(
             "the system menu", [] { return OpenMenu() != nullptr; },
             [] { ChooseMenuItem(SC_CLOSE); });
     }},
};

TEST(Lifecycle, EveryCloseRouteReleasesTheTableOnceThenCleansUpOnce) {
    for (const CloseRoute& route : kCloseRoutes) {
        SCOPED_TRACE(route.name);
        TestNetwork network;
        network.Add(network.AddInterface("10.0.0.200"),
                    {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
        TableLedger ledger;
        ObservedApp app;
        const void* shownTable = nullptr;
        const void* mergedTable = nullptr;
        std::size_t releasesBeforeClosing = 0;
        {
            ModalDriver driver;
            driver.When("the first discovery", MainWindowFilled, [&] {
                shownTable = g_deviceTable.get();
                for (const void* held : TableLedger::Held()) {
                    if (held != shownTable) {
                        mergedTable = held;
                    }
                }
                releasesBeforeClosing = ledger.ReleaseCount();
            });
            route.addSteps(driver);
            EXPECT_EQ(RunApplication(), 0);
            EXPECT_TRUE(driver.Finished());
        }
        EXPECT_EQ(app.exits, 1);
        EXPECT_TRUE(app.tableReleasedBeforeExit);
        EXPECT_TRUE(app.mergedTableHeldAtExit);
        // The shown table first, by the main window; then the merged table, by the cleanup.
        EXPECT_EQ(ledger.ReleasesSince(releasesBeforeClosing),
                  (std::vector<const void*>{shownTable, mergedTable}));
        EXPECT_EQ(g_deviceTable, nullptr);
        EXPECT_TRUE(TableLedger::Held().empty());
        EXPECT_EQ(AfxGetMainWnd(), nullptr);
    }
}

// Several refreshes and then each way of closing: every device table allocated on the way is
// released exactly once, none is left behind. Run under AddressSanitizer, the leak checker also
// sees every other allocation of the whole lifecycle.
TEST(Lifecycle, SeveralRefreshesThenEveryCloseRouteLeaveNoTableBehind) {
    constexpr int kRefreshes = 3;
    for (const CloseRoute& route : kCloseRoutes) {
        SCOPED_TRACE(route.name);
        TestNetwork network;
        const int lan = network.AddInterface("10.0.0.200");
        network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
        network.Add(lan, {.name = "beta", .address = "10.0.0.6", .macTail = 2});
        TableLedger ledger;
        ObservedApp app;
        const void* seen = nullptr;
        int discoveries = 0;
        // A table the window has not shown before means the last Refresh has finished.
        auto freshTable = [&seen] { return MainWindowFilled() && g_deviceTable.get() != seen; };
        {
            ModalDriver driver;
            for (int i = 0; i < kRefreshes; ++i) {
                driver.When("a discovery, then Refresh", freshTable, [&] {
                    seen = g_deviceTable.get();
                    ++discoveries;
                    QTest::mouseClick(TopControl(IDC_REFRESH), Qt::LeftButton);
                });
            }
            driver.When("the last discovery", freshTable, [&] {
                seen = g_deviceTable.get();
                ++discoveries;
            });
            route.addSteps(driver);
            EXPECT_EQ(RunApplication(), 0);
            EXPECT_TRUE(driver.Finished());
        }
        EXPECT_EQ(discoveries, kRefreshes + 1);
        EXPECT_EQ(app.exits, 1);
        EXPECT_GT(ledger.AllocationCount(), static_cast<std::size_t>(kRefreshes));
        EXPECT_EQ(ledger.ReleaseCount(), ledger.AllocationCount()) << "a table was leaked";
        EXPECT_EQ(g_deviceTable, nullptr);
        EXPECT_TRUE(TableLedger::Held().empty()) << "a table is still held";
    }
}

TEST(Lifecycle, MainWindowOpensWhenTheSocketLayerIsUnusable) {
    struct Case {
        const char* name;
        bool installLayer;
    };
    for (const Case& c : {Case{"no socket layer", false}, Case{"sockets fail", true}}) {
        SCOPED_TRACE(c.name);
        net::FakeNetwork network;
        network.AddInterface("eth0", "10.0.0.200");
        network.FailCall(net::FakeNetwork::Call::kOpen);
        net::ScopedSocketLayer layer(c.installLayer ? &network : nullptr);
        ObservedApp app;
        ModalDriver driver;
        driver.When("the main window", MainWindowFilled, [] {
            auto* list = qobject_cast<QTreeWidget*>(TopControl(IDC_DEVICE_LIST));
            EXPECT_EQ(list->topLevelItemCount(), 0);
            EXPECT_FALSE(TopControl(IDC_DETAIL_INFO)->isEnabled());
            EXPECT_FALSE(TopControl(IDC_WEB_MANAGEMENT)->isEnabled());
            EXPECT_FALSE(TopControl(IDC_SET_IP_ADDRESS)->isEnabled());
            EXPECT_TRUE(TopControl(IDC_REFRESH)->isEnabled());
            QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton);
        });
        EXPECT_EQ(RunApplication(), 0);
        EXPECT_TRUE(driver.Finished());
        EXPECT_EQ(app.exits, 1);
    }
}

struct AboutBoxSeen {
    QString title;
    std::vector<QString> texts;
    bool hasIcon = false;
    bool ownedByMainWindow = false;
};

AboutBoxSeen LookAtAboutBox(QWidget* mainWindow) {
    AboutBoxSeen seen;
    auto* about = qobject_cast<DialogWindow*>(TopModal());
    seen.title = about->windowTitle();
    for (QWidget* control : about->controls()) {
        if (auto* text = qobject_cast<StaticText*>(control)) {
            seen.texts.push_back(text->text());
        } else if (auto* icon = qobject_cast<QLabel*>(control)) {
            seen.hasIcon = !icon->pixmap().isNull();
        }
    }
    seen.ownedByMainWindow = about->parentWidget() == mainWindow;
    return seen;
}

TEST(Lifecycle, AboutBoxFromTheSystemMenuTwice) {
    TestNetwork network;
    const int lan = network.AddInterface("10.0.0.200");
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    network.Add(lan, {.name = "beta", .address = "172.16.0.5", .macTail = 2});
    ObservedApp app;
    QWidget* mainWindow = nullptr;
    std::vector<AboutBoxSeen> boxes;
    std::vector<QString> menuTexts;
    bool webBefore = false;
    bool webAfter = true;
    auto isAbout = [] { return TopDialogId() == IDD_ABOUTBOX; };
    auto menuOpen = [] { return OpenMenu() != nullptr; };

    ModalDriver driver;
    driver
        .When("the main window", MainWindowFilled,
              [&] {
                  mainWindow = TopModal();
                  webBefore = TopControl(IDC_WEB_MANAGEMENT)->isEnabled();
                  RightClickBackground(mainWindow);
              })
        .When("the system menu", menuOpen,
              [&] {
                  for (QAction* action : OpenMenu()->actions()) {
                      menuTexts.push_back(action->isSeparator() ? QStringLiteral("-")
                                                                : action->text());
                  }
                  ChooseMenuItem(IDM_ABOUTBOX);
              })
        .When("the first About box", isAbout,
              [&] {
                  boxes.push_back(LookAtAboutBox(mainWindow));
                  QTest::keyClick(FocusOf(TopModal()), Qt::Key_Return);
              })
        .When("the main window again", MainWindowFilled,
              [&] { QTest::keyClick(FocusOf(mainWindow), Qt::Key_F10, Qt::ShiftModifier); })
        .When("the system menu again", menuOpen, [] { ChooseMenuItem(IDM_ABOUTBOX); })
        .When("the second About box", isAbout,
              [&] {
                  boxes.push_back(LookAtAboutBox(mainWindow));
                  QTest::keyClick(FocusOf(TopModal()), Qt::Key_Escape);
              })
        .When("the main window at last", MainWindowFilled, [&] {
            webAfter = TopControl(IDC_WEB_MANAGEMENT)->isEnabled();
            EXPECT_EQ(qobject_cast<QTreeWidget*>(TopControl(IDC_DEVICE_LIST))->topLevelItemCount(),
                      2);
            QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton);
        });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_TRUE(driver.Finished());

    EXPECT_EQ(menuTexts,
              (std::vector<QString>{QStringLiteral("&Close\tAlt+F4"), QStringLiteral("-"),
                                    QStringLiteral("&About Access Point Management...")}));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Access Point Management"));
    ASSERT_EQ(boxes[0].texts.size(), 2u);
    EXPECT_EQ(boxes[0].texts[0], QStringLiteral("Access Point Management Version 1.0"));
    EXPECT_TRUE(boxes[0].hasIcon);
    EXPECT_TRUE(boxes[0].ownedByMainWindow);
    EXPECT_EQ(boxes[1].texts, boxes[0].texts);
    EXPECT_EQ(boxes[1].title, boxes[0].title);
    EXPECT_TRUE(webBefore);
    EXPECT_EQ(webAfter, webBefore);
    EXPECT_EQ(app.exits, 1);
}

// F1 opens the manual page through the desktop's opener, and says so when nothing could.
TEST(Lifecycle, HelpOpensTheManualPageOrSaysNothingCould) {
    const struct {
        OpenUrlOutcome outcome;
        bool boxShown;
    } cases[] = {
        {OpenUrlOutcome::kOpened, false},
        {OpenUrlOutcome::kNoAssociation, true},
        {OpenUrlOutcome::kAssociationIncomplete, true},
        {OpenUrlOutcome::kUnknownFailure, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.outcome));
        TestNetwork network;
        network.AddInterface("10.0.0.200");
        RecordingUrlOpener opener(c.outcome);
        ObservedApp app;
        std::vector<MessageBoxRequest> boxes;
        SetMessageBoxHook([&](const MessageBoxRequest& request) {
            boxes.push_back(request);
            return IDOK;
        });
        ModalDriver driver;
        driver.When("the main window", MainWindowFilled, [] {
            QTest::keyClick(FocusOf(TopModal()), Qt::Key_F1);
            QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton);
        });
        RunApplication();
        SetMessageBoxHook(nullptr);
        EXPECT_EQ(opener.urls, std::vector<std::string>{"man:apmanager"});
        ASSERT_EQ(boxes.size(), c.boxShown ? 1u : 0u);
        if (c.boxShown) {
            // The caption is the executable's name without extension: this test program's.
            EXPECT_EQ(boxes[0].caption, "gui_tests");
            EXPECT_NE(boxes[0].text.find("apmanager(1)"), std::string::npos) << boxes[0].text;
            EXPECT_EQ(boxes[0].icon, MB_ICONEXCLAMATION);
            EXPECT_EQ(boxes[0].ownerId, IDD_ACCESSPOINT_DIALOG);
        }
    }
}

}  // namespace
