#pragma once

#include <gtest/gtest.h>

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
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

// The main window under test: a subclass that lets a test look at its controls, and a fixture
// with one network that runs the window until its first discovery has filled it.
namespace mainwindow_test {

struct ButtonStates {
    bool detailInfo = false;
    bool web = false;
    bool setIp = false;

    bool operator==(const ButtonStates&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ButtonStates& states) {
    return out << "{detail " << states.detailInfo << ", web " << states.web << ", set ip "
               << states.setIp << "}";
}

constexpr ButtonStates kWeb{true, true, false};
constexpr ButtonStates kSetIp{true, false, true};

// The main window with its insides in reach.
class TestAccessPointDlg : public CAccessPointDlg {
public:
    using CAccessPointDlg::InsertDeviceColumns;
    using CAccessPointDlg::m_deviceCount;
    using CAccessPointDlg::m_deviceList;

    ButtonStates Buttons() {
        return {GetDlgItem(IDC_DETAIL_INFO)->IsWindowEnabled(),
                GetDlgItem(IDC_WEB_MANAGEMENT)->IsWindowEnabled(),
                GetDlgItem(IDC_SET_IP_ADDRESS)->IsWindowEnabled()};
    }

    std::vector<std::string> Column(int subItem) const {
        std::vector<std::string> texts;
        for (int row = 0; row < m_deviceList.GetItemCount(); ++row) {
            texts.push_back(m_deviceList.GetItemText(row, subItem));
        }
        return texts;
    }

    void Select(std::initializer_list<int> rows) {
        m_deviceList.SetItemState(-1, 0, LVIS_SELECTED);
        for (int row : rows) {
            m_deviceList.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }

    ListView* List() const { return qobject_cast<ListView*>(m_deviceList.GetSafeHwnd()); }

    std::function<int()> sends;
    ButtonStates atInit;
    int sendsAtInit = -1;
    bool tableAtInit = true;

protected:
    bool OnInitDialog() override {
        const bool result = CAccessPointDlg::OnInitDialog();
        atInit = Buttons();
        sendsAtInit = sends ? sends() : -1;
        tableAtInit = g_deviceTable != nullptr;
        return result;
    }
};

inline void Click(int id) {
    QTest::mouseClick(TopControl(id), Qt::LeftButton);
}

inline void ClickRow(ListView* list, int row) {
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

class MainWindowTest : public ::testing::Test {
protected:
    ~MainWindowTest() override {
        g_deviceTable.reset();
        ReleaseMergedTable();
    }

    // Runs the main window: `whenFilled` acts once the first discovery has filled it, then the
    // window is closed with Exit.
    void Run(TestAccessPointDlg& dialog, const std::function<void()>& whenFilled) {
        dialog.sends = [this] { return network.Sends(); };
        ModalDriver driver;
        driver.When("the first discovery", MainWindowFilled, [&] {
            whenFilled();
            Click(IDCANCEL);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_TRUE(driver.Finished());
    }

    TestNetwork network;
    int lan = network.AddInterface("10.0.0.200");
    RecordingUrlOpener opener;
    MessageBoxRecorder boxes;
};

}  // namespace mainwindow_test
