#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "discovery/DiscoverDevices.h"
#include "framework/ListView.h"
#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/MainWindowTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

using namespace mainwindow_test;

TEST_F(MainWindowTest, ButtonStatesFollowDiscoveryAndSelection) {
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    network.Add(lan, {.name = "beta", .address = "192.168.7.9", .macTail = 2});
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        EXPECT_EQ(dialog.Buttons(), kWeb) << "row 0 answered from the local network";
        EXPECT_EQ(dialog.m_deviceList.GetItemState(0, LVIS_SELECTED | LVIS_FOCUSED),
                  LVIS_SELECTED | LVIS_FOCUSED);
        EXPECT_EQ(CWnd::GetFocus(), &dialog.m_deviceList);

        ClickRow(dialog.List(), 1);
        EXPECT_EQ(dialog.Buttons(), kSetIp) << "after the user selects row 1";

        // Empty space below the rows clears the selection; the buttons stay as they were, and
        // the enabled ones then find no row to act on: no dialog opens (a click that opened one
        // would not return), nothing is sent and nothing is said.
        QTest::mouseClick(dialog.List()->viewport(), Qt::LeftButton, {},
                          QPoint(5, dialog.List()->viewport()->height() - 5));
        EXPECT_EQ(dialog.m_deviceList.GetItemState(1, LVIS_SELECTED), 0u);
        EXPECT_EQ(dialog.Buttons(), kSetIp);
        const int sendsBefore = network.Sends();
        Click(IDC_SET_IP_ADDRESS);
        Click(IDC_DETAIL_INFO);
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_WEB_MANAGEMENT, BN_CLICKED));
        EXPECT_EQ(TopDialogId(), IDD_ACCESSPOINT_DIALOG);
        EXPECT_EQ(network.Sends(), sendsBefore);
    });
    EXPECT_EQ(dialog.atInit, (ButtonStates{true, true, true})) << "before the posted Refresh";
    EXPECT_EQ(dialog.sendsAtInit, 0) << "discovery must wait for the modal loop";
    EXPECT_FALSE(dialog.tableAtInit);
    EXPECT_TRUE(opener.urls.empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(MainWindowTest, NothingFoundDisablesTheDeviceButtons) {
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        EXPECT_EQ(dialog.m_deviceList.GetItemCount(), 0);
        EXPECT_EQ(dialog.Buttons(), (ButtonStates{false, false, false}));
    });
}

TEST_F(MainWindowTest, ListShowsOneRowPerAccessPointInNameOrder) {
    network.Add(lan, {.name = "Tower",
                      .address = "10.0.0.31",
                      .macTail = 0x31,
                      .wirelessMode = 7,
                      .description = "roof",
                      .firmwareHigh = 0x02,
                      .firmwareLow = 0x0A});
    network.Add(lan, {.name = "Hall",
                      .address = "10.0.0.12",
                      .macTail = 0x12,
                      .wirelessMode = 2,
                      .description = "entrance hall"});
    network.Add(lan, {.name = "Office",
                      .address = "10.0.0.20",
                      .macTail = 0xAB,
                      .wirelessMode = 4,
                      .description = "",
                      .firmwareHigh = 0xFF,
                      .firmwareLow = 0x01});
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        using Texts = std::vector<std::string>;
        EXPECT_EQ(dialog.m_deviceCount, 3);
        EXPECT_EQ(dialog.Column(0), (Texts{"Hall", "Office", "Tower"}));
        EXPECT_EQ(dialog.Column(1), (Texts{"10.0.0.12", "10.0.0.20", "10.0.0.31"}));
        EXPECT_EQ(dialog.Column(2), (Texts{"0002B3000012", "0002B30000AB", "0002B3000031"}));
        EXPECT_EQ(dialog.Column(3), (Texts{"802.11g", "802.11a", "802.11a/b/g"}));
        EXPECT_EQ(dialog.Column(4), (Texts{"0110", "FF01", "020A"}));
        EXPECT_EQ(dialog.Column(5), (Texts{"entrance hall", "", "roof"}));
    });
}

TEST_F(MainWindowTest, WirelessModeTexts) {
    struct Case {
        std::uint16_t mode;
        const char* text;
    };
    // In name order; the codes above 7 follow a row with a text, which they must not repeat.
    const Case cases[] = {{0, "802.11b"}, {1, "802.11b"},   {2, "802.11g"},   {3, "802.11b/g"},
                          {4, "802.11a"}, {5, "802.11a/b"}, {6, "802.11a/g"}, {7, "802.11a/b/g"},
                          {8, ""},        {3, "802.11b/g"}, {0xFFFF, ""}};
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "mode" + std::string(i < 10 ? "0" : "") + std::to_string(i);
        network.Add(lan, {.name = name,
                          .address = "10.0.0." + std::to_string(10 + i),
                          .macTail = static_cast<std::uint8_t>(i + 1),
                          .wirelessMode = cases[i].mode});
        expected.emplace_back(cases[i].text);
    }
    TestAccessPointDlg dialog;
    Run(dialog, [&] { EXPECT_EQ(dialog.Column(3), expected); });
}

TEST_F(MainWindowTest, ColumnWidthsAreSixtiethsOfTheListWidth) {
    struct Case {
        int listWidth;
        std::vector<int> widths;
    };
    const Case cases[] = {{600, {100, 110, 130, 90, 80, 90}}, {579, {96, 106, 125, 86, 77, 86}}};
    // Name, IP Address, MAC, IEEE Standard, FW Version, Description.
    constexpr int kSixtieths[] = {10, 11, 13, 9, 8, 9};
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        CRect rect;
        dialog.m_deviceList.GetWindowRect(&rect);
        for (int column = 0; column < 6; ++column) {
            EXPECT_EQ(dialog.m_deviceList.GetColumnWidth(column),
                      rect.Width() * kSixtieths[column] / 60);
        }
        for (const Case& c : cases) {
            QWidget* list = dialog.m_deviceList.GetSafeHwnd();
            dialog.m_deviceList.MoveWindow(list->x(), list->y(), c.listWidth, list->height());
            while (dialog.m_deviceList.GetColumnCount() > 0) {
                dialog.m_deviceList.DeleteColumn(0);
            }
            dialog.InsertDeviceColumns();
            std::vector<int> widths;
            for (int column = 0; column < dialog.m_deviceList.GetColumnCount(); ++column) {
                widths.push_back(dialog.m_deviceList.GetColumnWidth(column));
            }
            EXPECT_EQ(widths, c.widths) << "list " << c.listWidth << " pixels wide";
        }
    });
}

TEST_F(MainWindowTest, WebManagementOnlyForTheSameThreeOctetPrefix) {
    const int office = network.AddInterface("192.168.1.10");
    network.Add(office, {.name = "a-same", .address = "192.168.1.77", .macTail = 1});
    // Compared as text: "192.168.10." is not "192.168.1.".
    network.Add(office, {.name = "b-longer", .address = "192.168.10.7", .macTail = 2});
    network.Add(office, {.name = "c-foreign", .address = "10.9.9.9", .macTail = 3});
    network.Add(lan, {.name = "d-lan", .address = "10.0.0.5", .macTail = 4});
    network.Add(lan, {.name = "e-next", .address = "10.0.1.5", .macTail = 5});
    const ButtonStates expected[] = {kWeb, kSetIp, kSetIp, kWeb, kSetIp};
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        ASSERT_EQ(dialog.m_deviceList.GetItemCount(), 5);
        for (int row = 0; row < 5; ++row) {
            ClickRow(dialog.List(), row);
            EXPECT_EQ(dialog.Buttons(), expected[row]) << dialog.Column(0)[row];
        }
    });
}

// The commands act on the lowest selected row (tested with each command), so that row alone
// decides which of them is offered, whatever else is selected and in whichever order.
TEST_F(MainWindowTest, FirstSelectedRowSetsTheButtons) {
    network.Add(lan, {.name = "a-local", .address = "10.0.0.5", .macTail = 1});
    network.Add(lan, {.name = "b-foreign", .address = "172.16.0.9", .macTail = 2});
    network.Add(lan, {.name = "c-foreign", .address = "172.16.0.8", .macTail = 3});
    network.Add(lan, {.name = "d-local", .address = "10.0.0.7", .macTail = 4});
    const struct {
        int selectFirst;
        int addedLater;
        ButtonStates expected;
    } cases[] = {
        {0, 1, kWeb},    // local, then a foreign row below it
        {1, 3, kSetIp},  // foreign, then a local row below it
        {3, 1, kSetIp},  // local, then a foreign row above it
        {2, 0, kWeb},    // foreign, then a local row above it
        {1, 2, kSetIp},  // two foreign rows
    };
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        for (const auto& c : cases) {
            dialog.Select({c.selectFirst});
            dialog.m_deviceList.SetItemState(c.addedLater, LVIS_SELECTED, LVIS_SELECTED);
            EXPECT_EQ(dialog.Buttons(), c.expected)
                << "rows " << c.selectFirst << " and " << c.addedLater;
        }
    });
}

TEST_F(MainWindowTest, SecondRefreshShowsOnlyTheSecondDiscovery) {
    const auto first =
        network.AddSwitchable(lan, {.name = "first", .address = "10.0.0.5", .macTail = 1});
    network.Add(lan, {.name = "stays", .address = "10.0.0.6", .macTail = 2});
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        ASSERT_EQ(dialog.Column(0), (std::vector<std::string>{"first", "stays"}));
        *first = false;
        network.Add(lan, {.name = "later", .address = "192.168.3.3", .macTail = 3});
        dialog.Select({1});
        Click(IDC_REFRESH);
        EXPECT_EQ(dialog.Column(0), (std::vector<std::string>{"later", "stays"}));
        EXPECT_EQ(dialog.m_deviceList.GetItemState(0, LVIS_SELECTED | LVIS_FOCUSED),
                  LVIS_SELECTED | LVIS_FOCUSED);
        EXPECT_EQ(dialog.m_deviceList.GetItemState(1, LVIS_SELECTED), 0u);
        EXPECT_EQ(dialog.Buttons(), kSetIp);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor must end";
    });
}

// Regression: a Refresh without memory for a new table must leave the current one in place
// and run no discovery on a missing table.
TEST_F(MainWindowTest, RefreshWithoutMemoryKeepsTheTableAndTheList) {
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    network.Add(lan, {.name = "beta", .address = "10.0.0.6", .macTail = 2});
    TableLedger ledger;
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        const DeviceTable* before = g_deviceTable.get();
        const int sendsBefore = network.Sends();
        dialog.Select({1});
        TableLedger::FailAllocations(true);
        Click(IDC_REFRESH);
        TableLedger::FailAllocations(false);
        EXPECT_EQ(g_deviceTable.get(), before);
        EXPECT_EQ(network.Sends(), sendsBefore);
        EXPECT_EQ(dialog.Column(0), (std::vector<std::string>{"alpha", "beta"}));
        EXPECT_EQ(dialog.m_deviceList.GetItemState(1, LVIS_SELECTED), LVIS_SELECTED);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    });
}

}  // namespace
