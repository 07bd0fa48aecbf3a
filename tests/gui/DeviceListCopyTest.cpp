// Ctrl+C on the main window's device list: the selected rows as tab-separated text, for pasting
// into a ticket or a spreadsheet, and nothing else about the list changes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "discovery/DiscoverDevices.h"
#include "framework/ListView.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

class CopyDlg final : public CAccessPointDlg {
public:
    using CAccessPointDlg::m_deviceList;

    ListView* List() const { return qobject_cast<ListView*>(m_deviceList.GetSafeHwnd()); }

    // Everything about the list a user could see change, row by row.
    std::vector<std::string> Looks() {
        std::vector<std::string> looks;
        for (int row = 0; row < m_deviceList.GetItemCount(); ++row) {
            looks.push_back(m_deviceList.GetItemText(row, 0) + " state " +
                            std::to_string(m_deviceList.GetItemState(row, ~0u)));
        }
        looks.push_back("web " + std::to_string(GetDlgItem(IDC_WEB_MANAGEMENT)->IsWindowEnabled()));
        looks.push_back("set ip " +
                        std::to_string(GetDlgItem(IDC_SET_IP_ADDRESS)->IsWindowEnabled()));
        return looks;
    }

    int itemChanges = 0;

protected:
    const MessageMap* GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            msg::Notify<&CopyDlg::OnListChanged>(LVN_ITEMCHANGED, IDC_DEVICE_LIST),
        };
        static const MessageMap kMap{CAccessPointDlg::GetMessageMap(), kEntries};
        return &kMap;
    }

private:
    void OnListChanged(NMHDR* header, LRESULT* result) {
        ++itemChanges;
        OnDeviceListItemChanged(header, result);
    }
};

class DeviceListCopyTest : public ::testing::Test {
protected:
    ~DeviceListCopyTest() override {
        g_deviceTable.reset();
        ReleaseMergedTable();
    }

    void RunFilled(CopyDlg& dialog, const std::function<void()>& whenFilled) {
        ModalDriver driver;
        driver.When(
            "the first discovery", [] { return g_deviceTable != nullptr; },
            [&] {
                whenFilled();
                QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton);
            });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }

    TestNetwork network;
    int lan = network.AddInterface("10.0.0.200");
};

void PressCopy(CopyDlg& dialog) {
    dialog.m_deviceList.SetFocus();
    QTest::keyClick(dialog.List(), Qt::Key_C, Qt::ControlModifier);
}

TEST_F(DeviceListCopyTest, CopiesTheSelectedRowsInRowOrderAndChangesNothing) {
    network.Add(lan, {.name = "Hall",
                      .address = "10.0.0.12",
                      .macTail = 0x12,
                      .wirelessMode = 2,
                      .description = "entrance hall"});
    network.Add(lan, {.name = "Office",
                      .address = "192.168.4.20",
                      .macTail = 0xAB,
                      .wirelessMode = 4,
                      .description = "",
                      .firmwareHigh = 0xFF,
                      .firmwareLow = 0x01});
    network.Add(lan, {.name = "Tower",
                      .address = "10.0.0.31",
                      .macTail = 0x31,
                      .wirelessMode = 7,
                      .description = "roof"});
    CopyDlg dialog;
    RunFilled(dialog, [&] {
        // Selected from the bottom up; the current row is the last one clicked.
        dialog.m_deviceList.SetItemState(-1, 0, LVIS_SELECTED);
        dialog.m_deviceList.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
        dialog.m_deviceList.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED,
                                         LVIS_SELECTED | LVIS_FOCUSED);
        const std::vector<std::string> before = dialog.Looks();
        const int changesBefore = dialog.itemChanges;
        PressCopy(dialog);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
                  "Office\t192.168.4.20\t0002B30000AB\t802.11a\tFF01\t\n"
                  "Tower\t10.0.0.31\t0002B3000031\t802.11a/b/g\t0110\troof\n");
        EXPECT_EQ(dialog.Looks(), before);
        EXPECT_EQ(dialog.itemChanges, changesBefore) << "copying changed a row's state";
    });
}

TEST_F(DeviceListCopyTest, TabsAndLineBreaksFromTheWireDoNotSplitFieldsOrRows) {
    network.Add(lan, {.name = "two\twords",
                      .address = "10.0.0.5",
                      .macTail = 1,
                      .description = "line one\r\nline two"});
    CopyDlg dialog;
    RunFilled(dialog, [&] {
        PressCopy(dialog);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
                  "two words\t10.0.0.5\t0002B3000001\t802.11b/g\t0110\tline one  line two\n");
    });
}

TEST_F(DeviceListCopyTest, NothingSelectedLeavesTheClipboardAlone) {
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    CopyDlg dialog;
    RunFilled(dialog, [&] {
        QApplication::clipboard()->setText(QStringLiteral("kept"));
        dialog.m_deviceList.SetItemState(-1, 0, LVIS_SELECTED);
        PressCopy(dialog);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
    });
}

}  // namespace
