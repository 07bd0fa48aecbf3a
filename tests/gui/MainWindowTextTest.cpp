// Texts from the wire in the main window: shown literally, whatever they hold or however many.
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

TEST_F(MainWindowTest, TextsFromTheWireAreLatin1ShownAsUtf8AndNeverMarkup) {
    network.Add(lan, {.name = "<b>x</b>",
                      .address = "10.0.0.5",
                      .macTail = 1,
                      .description = "<img src=x>&amp; a description long enough to be cut"});
    network.Add(lan, {.name = "Caf\xE9", .address = "10.0.0.6", .macTail = 2});
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        ListView* list = dialog.List();
        EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("<b>x</b>"));
        EXPECT_EQ(list->topLevelItem(1)->text(0), QString(QStringLiteral("Caf")) + QChar(0xE9));
        // The byte 0xE9 is the character U+00E9, which the framework's texts hold as UTF-8.
        EXPECT_EQ(dialog.m_deviceList.GetItemText(1, 0), "Caf\xC3\xA9");

        // The description is cut off in its column: its tooltip shows all of it, escaped.
        const QRect cell = list->visualRect(list->model()->index(0, 5));
        EXPECT_EQ(list->toolTipAt(cell.center()),
                  QStringLiteral("<img src=x>&amp; a description long enough to be cut"));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &help);
        EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("&lt;img src=x&gt;&amp;amp;")))
            << QToolTip::text().toStdString();
        QToolTip::hideText();
        // A name that fits needs no tooltip.
        EXPECT_TRUE(
            list->toolTipAt(list->visualRect(list->model()->index(1, 0)).center()).isEmpty());
    });
}

// Anyone on the network can answer: a flood of replies from thousands of MACs, with markup,
// control characters and bytes above 127 in the texts. The window keeps working, shows the texts
// literally, and the next Refresh is as normal as the first.
TEST_F(MainWindowTest, FloodOfHostileRepliesLeavesTheWindowWorking) {
    constexpr int kFlood = 4000;
    network.fake().AddResponder(lan, [](const net::FakeNetwork::SentDatagram& sent, std::int64_t) {
        std::vector<net::FakeNetwork::Delivery> deliveries;
        if (sent.bytes.empty() || sent.bytes[0] != 0x40) {
            return deliveries;
        }
        auto reply = [](const std::string& name, int mac) {
            const std::vector<std::uint8_t> macBytes = {0x02,
                                                        0,
                                                        0,
                                                        0,
                                                        static_cast<std::uint8_t>(mac >> 8),
                                                        static_cast<std::uint8_t>(mac & 0xFF)};
            return sim::EncodeReply(0, {{1, {name.begin(), name.end()}, {}},
                                        {2, macBytes, {}},
                                        {8, {'<', 'i', '>', 0x07, 0xFF}, {}},
                                        {13, {0xFF, 0xFF}, {}}});
        };
        deliveries.push_back({1, net::AddressFromText("10.0.0.9"), reply("<b>x</b>", 0)});
        deliveries.push_back({1, net::AddressFromText("10.0.0.8"), reply("\x1B[2J\x07", 1)});
        for (int i = 2; i < kFlood; ++i) {
            deliveries.push_back({2, net::AddressFromText("10.0.0.7"), reply("flood", i)});
        }
        return deliveries;
    });
    TestAccessPointDlg dialog;
    Run(dialog, [&] {
        auto check = [&](const char* when) {
            SCOPED_TRACE(when);
            ASSERT_EQ(dialog.m_deviceCount, kDeviceTableCapacity);
            ASSERT_EQ(dialog.m_deviceList.GetItemCount(), kDeviceTableCapacity);
            // Name order: ESC sorts before '<', which sorts before "flood".
            EXPECT_EQ(dialog.m_deviceList.GetItemText(0, 0), "\x1B[2J\x07");
            EXPECT_EQ(dialog.m_deviceList.GetItemText(1, 0), "<b>x</b>");
            EXPECT_EQ(dialog.List()->topLevelItem(1)->text(0), QStringLiteral("<b>x</b>"));
            EXPECT_EQ(dialog.List()->topLevelItem(1)->text(5),
                      QString(QStringLiteral("<i>")) + QChar(0x07) + QChar(0xFF));
            EXPECT_EQ(dialog.m_deviceList.GetItemText(1, 3), "") << "mode 0xFFFF names no standard";
            EXPECT_EQ(dialog.m_deviceList.GetItemText(2, 0), "flood");
        };
        check("first discovery");
        Click(IDC_REFRESH);
        check("second discovery");
    });
}

}  // namespace
