// What the IP Configuration dialog says and does once the exchange has run, and how it is
// opened from the main window.
#include <gtest/gtest.h>

#include <qpa/qwindowsysteminterface.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDevice>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "config/IpConfigDlg.h"
#include "discovery/DiscoverDevices.h"
#include "resources/Resource.h"
#include "sim/AccessPointModel.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/IpConfigTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

using namespace ipconfig_test;

TEST(IpConfigOutcomes, EachOutcomeHasItsMessageAndOnlyFullSuccessCloses) {
    struct Case {
        const char* name;
        bool dhcp;
        bool acknowledgeConfiguration;
        bool acknowledgeReset;
        const char* message;
        std::vector<sim::RequestKind> requests;
    };
    const Case cases[] = {
        {"dhcp, success", true, true, true, "Set Success", {kSet, kReset}},
        {"dhcp, reset fails", true, true, false, "Reset Fail", {kSet, kReset}},
        {"dhcp, configuration fails", true, false, true, "Set Fail", {kSet}},
        {"fixed, success", false, true, true, "Data saved successfully.", {kSet, kReset}},
        {"fixed, reset fails", false, true, false, "Reset Failed.", {kSet, kReset}},
        {"fixed, configuration fails", false, false, true, "Unable to save.", {kSet}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork network;
        network.Add(network.AddInterface("10.0.0.200"),
                    Annex(c.acknowledgeConfiguration, c.acknowledgeReset));
        MessageBoxRecorder boxes;
        TestIpConfigDlg dialog;
        const bool succeeds = c.acknowledgeConfiguration && c.acknowledgeReset;
        const int result = RunDialog(dialog, [&] {
            if (c.dhcp) {
                ClickControl(IDOK);
            } else {
                FillFixed(kValid);
                // Enter in a field presses OK, the default button.
                QTest::keyClick(Field(15), Qt::Key_Return);
            }
            if (!succeeds) {
                // Left as it was: mode and fields.
                EXPECT_EQ(TopDialogId(), IDD_IPCONFIG);
                EXPECT_EQ(Checked(IDC_FIXED), !c.dhcp);
                EXPECT_EQ(FieldTexts(), c.dhcp ? Octets{} : kValid);
            }
        });
        EXPECT_EQ(result, succeeds ? IDOK : IDCANCEL);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
        ASSERT_EQ(Kinds(requests), c.requests);
        if (requests.size() == 2) {
            EXPECT_EQ(requests[1].timeMs - requests[0].timeMs, 3000) << "the pause before reset";
        } else {
            EXPECT_EQ(network.fake().NowMs() - requests[0].timeMs, 4000)
                << "only the silence that ends the request, no pause";
        }
    }
}

TEST_F(IpConfigTest, AnAllOnesAddressPassesTheDialogButIsRefusedBeforeAnythingIsSent) {
    Octets texts = kValid;
    texts[7] = "255";
    const int result = RunDialog(dialog, [&] {
        FillFixed(texts);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Unable to save."});
    ASSERT_EQ(dialog.calls.size(), 1u);
    EXPECT_EQ(dialog.calls[0].subnetMask, "255.255.255.255");
    EXPECT_EQ(network.Sends(), 0);
}

TEST(IpConfigOutcomes, AfterAResetFailureOkRepeatsBothRequests) {
    TestNetwork network;
    network.Add(network.AddInterface("10.0.0.200"), Annex(true, false));
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
    RunDialog(dialog, [] {
        FillFixed(kValid);
        ClickControl(IDOK);
        ClickControl(IDOK);
    });
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Reset Failed.", "Reset Failed."}));
    ASSERT_EQ(dialog.calls.size(), 2u);
    EXPECT_EQ(dialog.calls[0], dialog.calls[1]);
    EXPECT_EQ(Kinds(ConfigurationRequests(network.fake())),
              (std::vector<sim::RequestKind>{kSet, kReset, kSet, kReset}));
}

// Unlike a discovery, a configuration is never cut in half: the close box and Esc used while
// it runs wait for its request, pause and reset, and only then close the dialog.
TEST(IpConfigOutcomes, ClosingDuringTheExchangeWaitsForAllOfIt) {
    QInputDevice::primaryKeyboard();
    TestNetwork network;
    network.Add(network.AddInterface("10.0.0.200"), Annex(true, false));
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
    dialog.whileConfiguring = [] {
        QWindow* window = TopModal()->windowHandle();
        QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window);
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    };
    ModalDriver driver;
    driver.When(
        "the IP Configuration dialog", [] { return TopDialogId() == IDD_IPCONFIG; },
        [] {
            FillFixed(kValid);
            ClickControl(IDOK);
        });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(Kinds(ConfigurationRequests(network.fake())),
              (std::vector<sim::RequestKind>{kSet, kReset}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Reset Failed."});
}

// Input arriving while the exchange runs, as it would if the window were kept alive meanwhile:
// none of it may end the dialog, start a second exchange or change the mode.
TEST(IpConfigOutcomes, TheExchangeRunsUnderTheWaitCursorAndTakesNoInput) {
    TestNetwork network;
    network.Add(network.AddInterface("10.0.0.200"), Annex(true, false));
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
    bool enabledDuring = true;
    Qt::CursorShape cursorDuring = Qt::ArrowCursor;
    dialog.whileConfiguring = [&] {
        QWidget* window = TopModal();
        enabledDuring = window->isEnabled();
        if (const QCursor* cursor = QApplication::overrideCursor()) {
            cursorDuring = cursor->shape();
        }
        ClickControl(IDC_FIXED);
        ClickControl(IDOK);
        ClickControl(IDCANCEL);
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
        window->close();
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    };
    int openAfter = 0;
    const int result = RunDialog(dialog, [&] {
        ClickControl(IDOK);
        openAfter = TopDialogId();
        EXPECT_TRUE(Checked(IDC_DHCP_CLIENT));
        EXPECT_TRUE(TopModal()->isEnabled());
        EXPECT_EQ(FocusedControlId(), IDOK) << "the focus comes back where it was";
        dialog.whileConfiguring = nullptr;
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(openAfter, IDD_IPCONFIG);
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(cursorDuring, Qt::WaitCursor);
    EXPECT_EQ(dialog.calls.size(), 1u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Reset Fail"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(IpConfigFromMainWindow, OpensForTheLowestSelectedRowAndRefreshShowsTheNewAddress) {
    TestNetwork network;
    const int lan = network.AddInterface("10.0.0.200");
    network.Add(lan, {.name = "a-local", .address = "10.0.0.5", .macTail = 1});
    sim::AccessPoint& annex = network.Add(
        lan, {.name = "b-annex", .address = "172.16.9.9", .macTail = 2, .silentAfterResetMs = 0});
    network.Add(lan, {.name = "c-roof", .address = "10.20.30.40", .macTail = 3});
    MessageBoxRecorder boxes;
    std::string shownName;
    std::string shownMac;
    std::vector<std::string> addressesBeforeRefresh;
    std::vector<std::string> addressesAfterRefresh;

    CAccessPointDlg mainWindow;
    ModalDriver driver;
    driver
        .When("the first discovery", MainWindowFilled,
              [&] {
                  QTreeWidget* list = DeviceList();
                  // Row 2 enables "Set IP Address"; row 1 is the one configured.
                  SelectRows(list, {1, 2});
                  ClickControl(IDC_SET_IP_ADDRESS);
                  addressesBeforeRefresh = ListColumn(list, 1);
                  ClickControl(IDC_REFRESH);
                  addressesAfterRefresh = ListColumn(list, 1);
                  ClickControl(IDCANCEL);
              })
        .When(
            "the IP Configuration dialog", [] { return TopDialogId() == IDD_IPCONFIG; },
            [&] {
                shownName = ControlText(IDC_DEVICE_NAME);
                shownMac = ControlText(IDC_MAC_ADDRESS);
                FillFixed(kValid);
                ClickControl(IDOK);
            });
    EXPECT_EQ(mainWindow.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    ReleaseMergedTable();

    EXPECT_EQ(shownName, "b-annex");
    EXPECT_EQ(shownMac, "0002B3000002");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Data saved successfully."});
    EXPECT_EQ(annex.CurrentAddress(), net::AddressFromText("10.0.0.77"));
    EXPECT_EQ(addressesBeforeRefresh,
              (std::vector<std::string>{"10.0.0.5", "172.16.9.9", "10.20.30.40"}));
    EXPECT_EQ(addressesAfterRefresh,
              (std::vector<std::string>{"10.0.0.5", "10.0.0.77", "10.20.30.40"}));
}

}  // namespace
