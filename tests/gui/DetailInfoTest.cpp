#include <gtest/gtest.h>

#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "discovery/DiscoverDevices.h"
#include "framework/DialogWindow.h"
#include "framework/StaticText.h"
#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

struct SeenDetailInfo {
    std::string title;
    std::string text;
    int focus = 0;
    int controls = 0;
};

// The band lines follow the mode code; the text builder's own tests go through every code.
TEST(DetailInfo, ShowsTheFirstSelectedRecordAndClosesEveryWay) {
    TestNetwork network;
    const int lan = network.AddInterface("10.0.0.200");
    network.Add(lan, {.name = "a-dual",
                      .address = "10.0.0.5",
                      .macTail = 0x0A,
                      .wirelessMode = 7,
                      .description = "roof",
                      .firmwareHigh = 0x01,
                      .firmwareLow = 0x0B,
                      .ssidBg = "guest",
                      .channelBg = 1,
                      .ssidA = "staff",
                      .channelA = 165});
    network.Add(lan, {.name = "b-five",
                      .address = "10.0.0.6",
                      .macTail = 0x0B,
                      .wirelessMode = 4,
                      .description = "hall",
                      .firmwareHigh = 0x02,
                      .firmwareLow = 0x01,
                      .ssidBg = "hidden",
                      .channelBg = 11,
                      .ssidA = "five",
                      .channelA = 36});
    network.Add(lan, {.name = "c-odd",
                      .address = "10.0.0.7",
                      .macTail = 0x0C,
                      .wirelessMode = 9,
                      .description = "new kind",
                      .ssidBg = "x",
                      .channelBg = 3,
                      .ssidA = "y",
                      .channelA = 40});
    network.Add(lan, {.name = "d-empty",
                      .address = "10.0.0.8",
                      .macTail = 0x0D,
                      .wirelessMode = 1,
                      .description = "",
                      .ssidBg = "",
                      .channelBg = 0});
    MessageBoxRecorder boxes;

    struct Case {
        std::vector<int> rows;
        std::function<void(QWidget*)> close;
        std::string text;
    };
    const std::function<void(QWidget*)> clickOk = [](QWidget*) { ClickControl(IDOK); };
    const Case cases[] = {
        {{0},
         clickOk,
         "Name:\t\ta-dual\nMac:\t\t0002B300000A\nIP Address:\t10.0.0.5\nDescription:\troof\n"
         "Version:\t\t010B\nSSID for a:\tstaff\nChannel for a:\t165\nSSID for b+g:\tguest\n"
         "Channel for b+g:\t1\n"},
        {{1},
         [](QWidget* window) { QTest::keyClick(window->focusWidget(), Qt::Key_Escape); },
         "Name:\t\tb-five\nMac:\t\t0002B300000B\nIP Address:\t10.0.0.6\nDescription:\thall\n"
         "Version:\t\t0201\nSSID for a:\tfive\nChannel for a:\t36\n"},
        {{2},
         [](QWidget* window) { window->close(); },
         "Name:\t\tc-odd\nMac:\t\t0002B300000C\nIP Address:\t10.0.0.7\nDescription:\tnew kind\n"
         "Version:\t\t0110\n"},
        {{3},
         [](QWidget* window) { QTest::keyClick(window->focusWidget(), Qt::Key_Return); },
         "Name:\t\td-empty\nMac:\t\t0002B300000D\nIP Address:\t10.0.0.8\nDescription:\t\n"
         "Version:\t\t0110\nSSID for b:\t\nChannel for b:\t0\n"},
        // Several rows: the one nearest the top.
        {{1, 3},
         clickOk,
         "Name:\t\tb-five\nMac:\t\t0002B300000B\nIP Address:\t10.0.0.6\nDescription:\thall\n"
         "Version:\t\t0201\nSSID for a:\tfive\nChannel for a:\t36\n"},
    };

    std::vector<SeenDetailInfo> seen;
    std::vector<std::string> namesAfter;
    bool selectionKept = false;
    CAccessPointDlg mainWindow;
    ModalDriver driver;
    driver.When("the first discovery", MainWindowFilled, [&] {
        QTreeWidget* list = DeviceList();
        for (const Case& c : cases) {
            list->clearSelection();
            for (const int row : c.rows) {
                list->topLevelItem(row)->setSelected(true);
            }
            ClickControl(IDC_DETAIL_INFO);
        }
        selectionKept = list->topLevelItem(1)->isSelected() && list->topLevelItem(3)->isSelected();
        namesAfter = ListColumn(list, 0);
        // Nothing selected: nothing opens (a click that opened a dialog would not return).
        list->clearSelection();
        ClickControl(IDC_DETAIL_INFO);
        EXPECT_EQ(TopDialogId(), IDD_ACCESSPOINT_DIALOG);
        ClickControl(IDCANCEL);
    });
    for (const Case& c : cases) {
        driver.When(
            "a Detail Info dialog", [] { return TopDialogId() == IDD_DETAIL_INFO; },
            [&seen, &c] {
                auto* window = qobject_cast<DialogWindow*>(TopModal());
                seen.push_back({window->windowTitle().toStdString(), ControlText(IDC_DETAIL_TEXT),
                                FocusedControlId(), static_cast<int>(window->controls().size())});
                c.close(window);
            });
    }
    EXPECT_EQ(mainWindow.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    ReleaseMergedTable();

    ASSERT_EQ(seen.size(), std::size(cases));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].title, "Detail Info");
        EXPECT_EQ(seen[i].text, cases[i].text);
        EXPECT_EQ(seen[i].focus, IDOK);
        EXPECT_EQ(seen[i].controls, 2) << "the text and OK, nothing to edit";
    }
    EXPECT_TRUE(selectionKept);
    EXPECT_EQ(namesAfter, (std::vector<std::string>{"a-dual", "b-five", "c-odd", "d-empty"}));
    EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
