#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Edit.h"
#include "framework/ListCtrl.h"
#include "framework/Static.h"
#include "framework/WindowStyles.h"
#include "tests/gui/ModalDriver.h"

// A dialog with one control of every kind the application's dialogs use, which keeps what its
// handlers saw, for the framework's own tests.
namespace framework_test {

constexpr int IDD_TEST = 900;
constexpr int IDC_TEXT = 10;
constexpr int IDC_FIRST = 20;
constexpr int IDC_SECOND = 21;
constexpr int IDC_OTHER = 22;
constexpr int IDC_OCTET1 = 30;
constexpr int IDC_OCTET2 = 31;
constexpr int IDC_LIST = 40;
constexpr int IDC_POSTED = 50;  // a command with no control
constexpr unsigned IDM_EXTRA = 0x20;
constexpr int kNoSuchString = 9999;

// Everything the dialogs of the application use, in one template.
constexpr ControlTemplate kControls[] = {
    {.id = IDC_TEXT, .kind = ControlKind::kStaticText, .text = "Static", .rect = {7, 4, 150, 18}},
    {.id = IDC_STATIC,
     .kind = ControlKind::kGroupBox,
     .text = "Mode",
     .rect = {5, 24, 150, 50},
     .style = WS_GROUP},
    {.id = IDC_FIRST,
     .kind = ControlKind::kAutoRadioButton,
     .text = "First",
     .rect = {10, 34, 60, 10},
     .style = WS_GROUP},
    {.id = IDC_SECOND,
     .kind = ControlKind::kAutoRadioButton,
     .text = "Second",
     .rect = {10, 46, 60, 10}},
    {.id = IDC_OCTET1,
     .kind = ControlKind::kEdit,
     .rect = {80, 34, 20, 12},
     .style = WS_BORDER | WS_TABSTOP | WS_GROUP | ES_NUMBER | ES_AUTOHSCROLL},
    {.id = IDC_OCTET2,
     .kind = ControlKind::kEdit,
     .rect = {105, 34, 20, 12},
     .style = WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
    {.id = IDC_OTHER,
     .kind = ControlKind::kAutoRadioButton,
     .text = "Other",
     .rect = {10, 60, 60, 10},
     .style = WS_GROUP},
    {.id = IDC_LIST,
     .kind = ControlKind::kListView,
     .rect = {5, 78, 150, 40},
     .style = WS_BORDER | WS_TABSTOP | LVS_REPORT},
    {.id = IDOK,
     .kind = ControlKind::kDefPushButton,
     .text = "OK",
     .rect = {40, 122, 50, 14},
     .style = WS_TABSTOP},
    {.id = IDCANCEL,
     .kind = ControlKind::kPushButton,
     .text = "Cancel",
     .rect = {100, 122, 50, 14},
     .style = WS_TABSTOP},
};

constexpr DialogTemplate kTestTemplate = {
    .id = IDD_TEST,
    .caption = "Framework test",
    .rect = {0, 0, 160, 140},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kControls,
};

class TestDlg : public CDialog {
public:
    TestDlg() : CDialog(kTestTemplate) {}

    CEdit m_octet1;
    CEdit m_octet2;
    CStatic m_text;
    CListCtrl m_list;

    std::vector<int> clicks;
    int octet1Changes = 0;
    std::vector<unsigned> sysCommands;
    std::vector<NMLISTVIEW> itemChanges;
    int posted = 0;
    bool postedBeforeLoop = false;
    bool visibleWhenPosted = false;
    int firstOkEntry = 0;
    bool endInInit = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_OCTET1, m_octet1);
        DDX_Control(pDX, IDC_OCTET2, m_octet2);
        DDX_Control(pDX, IDC_TEXT, m_text);
        DDX_Control(pDX, IDC_LIST, m_list);
    }

    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        m_octet1.LimitText(3);
        m_octet2.LimitText(3);
        GetSystemMenu(false)->AppendMenu(MF_SEPARATOR);
        GetSystemMenu(false)->AppendMenu(MF_STRING, IDM_EXTRA, "&Extra");
        m_list.InsertColumn(0, "Name", LVCFMT_LEFT, 60);
        m_list.InsertColumn(1, "Value", LVCFMT_LEFT, 60);
        PostMessage(WM_COMMAND, MAKEWPARAM(IDC_POSTED, BN_CLICKED));
        postedBeforeLoop = posted > 0;
        if (endInInit) {
            EndDialog(IDOK);
        }
        return true;
    }

    const MessageMap* GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            msg::BnClicked<&TestDlg::OnFirstOk>(IDOK),
            msg::BnClicked<&TestDlg::OnSecondOk>(IDOK),
            msg::BnClicked<&TestDlg::OnFirst>(IDC_FIRST),
            msg::BnClicked<&TestDlg::OnSecond>(IDC_SECOND),
            msg::EnChange<&TestDlg::OnOctet1Change>(IDC_OCTET1),
            msg::Notify<&TestDlg::OnListItemChanged>(LVN_ITEMCHANGED, IDC_LIST),
            msg::BnClicked<&TestDlg::OnPosted>(IDC_POSTED),
            msg::SysCommand<&TestDlg::OnSysCommand>(),
        };
        static const MessageMap kMap{CDialog::GetMessageMap(), kEntries};
        return &kMap;
    }

private:
    void OnFirstOk() {
        firstOkEntry = 1;
        CDialog::OnOK();
    }
    void OnSecondOk() { firstOkEntry = 2; }
    void OnFirst() { clicks.push_back(IDC_FIRST); }
    void OnSecond() { clicks.push_back(IDC_SECOND); }
    void OnOctet1Change() {
        ++octet1Changes;
        if (m_octet1.GetWindowText().size() == 3) {
            GotoDlgCtrl(&m_octet2);
            m_octet2.SetSel(0, 3);
        }
    }
    void OnListItemChanged(NMHDR* header, LRESULT* result) {
        itemChanges.push_back(*reinterpret_cast<NMLISTVIEW*>(header));
        *result = 0;
    }
    void OnPosted() {
        ++posted;
        visibleWhenPosted = IsWindowVisible();
    }
    void OnSysCommand(unsigned id) {
        sysCommands.push_back(id);
        CDialog::OnSysCommand(id);
    }
};

inline bool TestDialogUp() {
    return TopDialogId() == IDD_TEST;
}

// Runs the test dialog; `act` runs once it is up and must end it.
inline int RunTestDialog(TestDlg& dialog, const std::function<void()>& act) {
    ModalDriver driver;
    driver.When(
        "the test dialog", [&] { return TestDialogUp() && dialog.posted > 0; }, act);
    const int result = dialog.DoModal();
    EXPECT_TRUE(driver.Finished());
    return result;
}

}  // namespace framework_test
