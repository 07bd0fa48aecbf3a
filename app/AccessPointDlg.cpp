#include "app/AccessPointDlg.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/AboutDlg.h"
#include "app/CurrentDeviceTable.h"
#include "app/UrlOpener.h"
#include "config/IpConfigDlg.h"
#include "details/DetailInfoDlg.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/FieldText.h"
#include "framework/DataExchange.h"
#include "framework/LoadString.h"
#include "framework/RunBlocking.h"
#include "framework/WaitCursor.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

namespace {

struct DeviceColumn {
    int headingId;
    int sixtieths;  // share of the list's width
};

constexpr DeviceColumn kDeviceColumns[] = {
    {IDS_COLUMN_NAME, 10},         {IDS_COLUMN_IP_ADDRESS, 11}, {IDS_COLUMN_MAC, 13},
    {IDS_COLUMN_IEEE_STANDARD, 9}, {IDS_COLUMN_FW_VERSION, 8},  {IDS_COLUMN_DESCRIPTION, 9},
};

// The text up to and including its last '.', or the whole text without one: for a dotted
// address, its first three octets.
template <std::size_t N>
std::string ThreeOctetPrefix(const char (&field)[N]) {
    const std::string text = FieldText(field);
    const std::size_t lastDot = text.rfind('.');
    return lastDot == std::string::npos ? text : text.substr(0, lastDot + 1);
}

}  // namespace

CAccessPointDlg::CAccessPointDlg(CWnd* parent)
    : CDialog(IDD_ACCESSPOINT_DIALOG, parent), m_hIcon(AfxLoadIcon(IDR_MAINFRAME)) {}

int CAccessPointDlg::DeviceColumnWidth(int listWidth, int column) {
    return listWidth * kDeviceColumns[column].sixtieths / 60;
}

void CAccessPointDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DETAIL_INFO, m_detailInfoButton);
    DDX_Control(pDX, IDC_SET_IP_ADDRESS, m_setIpButton);
    DDX_Control(pDX, IDC_WEB_MANAGEMENT, m_webButton);
    DDX_Control(pDX, IDC_BANNER, m_banner);
    DDX_Control(pDX, IDC_DEVICE_LIST, m_deviceList);
}

const MessageMap* CAccessPointDlg::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        msg::SysCommand<&CAccessPointDlg::OnSysCommand>(),
        msg::BnClicked<&CAccessPointDlg::OnRefresh>(IDC_REFRESH),
        msg::BnClicked<&CAccessPointDlg::OnWebManagement>(IDC_WEB_MANAGEMENT),
        msg::BnClicked<&CAccessPointDlg::OnSetIpAddress>(IDC_SET_IP_ADDRESS),
        msg::Notify<&CAccessPointDlg::OnDeviceListItemChanged>(LVN_ITEMCHANGED, IDC_DEVICE_LIST),
        msg::BnClicked<&CAccessPointDlg::OnDetailInfo>(IDC_DETAIL_INFO),
    };
    static const MessageMap kMap{CDialog::GetMessageMap(), kEntries};
    return &kMap;
}

bool CAccessPointDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(false)) {
        const std::string about = AfxLoadString(IDS_ABOUTBOX);
        if (!about.empty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    LOGFONT bannerFont;
    if (CFont* current = m_banner.GetFont()) {
        current->GetLogFont(&bannerFont);
    }
    bannerFont.lfHeight = 20;
    bannerFont.lfWidth = 10;
    bannerFont.lfWeight = 600;
    std::strncpy(bannerFont.lfFaceName, "MS Sans Serif", sizeof bannerFont.lfFaceName - 1);
    m_bannerFont.CreateFontIndirect(bannerFont);
    m_banner.SetFont(&m_bannerFont, false);
    m_banner.SetWindowText(AfxLoadString(IDS_BANNER));

    InsertDeviceColumns();
    m_deviceList.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);

    // Posted, not run: the first discovery starts once the window is on screen.
    PostMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED), 0);
    return true;
}

void CAccessPointDlg::InsertDeviceColumns() {
    CRect rect;
    m_deviceList.GetWindowRect(&rect);
    const int listWidth = rect.Width();
    for (int column = 0; column < static_cast<int>(std::size(kDeviceColumns)); ++column) {
        m_deviceList.InsertColumn(column, AfxLoadString(kDeviceColumns[column].headingId),
                                  LVCFMT_LEFT, DeviceColumnWidth(listWidth, column));
    }
}

void CAccessPointDlg::OnRefresh() {
    // Without memory for a fresh table the current table and its list stay as they are, and
    // no discovery runs.
    DeviceTablePtr table = AllocateDeviceTable();
    if (!table) {
        return;
    }
    CWaitCursor waitCursor;
    // Discovery fills the new table before it becomes current, so the table and the list never
    // disagree, however the wait is run.
    int count = 0;
    m_discoveryCancel = false;
    RunBlockingUnlessClosed(
        [this, &table, &count] {
            DiscoverDevicesWith(ExchangeOptions{}, table.get(), &count, &m_discoveryCancel);
        },
        [this](const QObject* receiver, const QEvent& event) {
            return IsCloseRequest(receiver, event);
        },
        &m_discoveryCancel);
    if (m_discoveryCancel) {
        // The close request held during the wait comes next and closes the window; what this
        // discovery heard would never be seen.
        return;
    }
    g_deviceTable = std::move(table);
    m_deviceCount = std::clamp(count, 0, kDeviceTableCapacity);

    m_detailInfoButton.EnableWindow(m_deviceCount != 0);
    FillDeviceList();
}

void CAccessPointDlg::FillDeviceList() {
    m_deviceList.DeleteAllItems();
    m_webButton.EnableWindow(false);
    m_setIpButton.EnableWindow(false);
    for (int r = 0; r < m_deviceCount; ++r) {
        const DeviceRecord& record = g_deviceTable->records[r];
        // The access point's texts are single bytes; the list shows them as UTF-8.
        const int item = m_deviceList.InsertItem(r, FieldTextUtf8(record.name));
        m_deviceList.SetItemText(item, 1, FieldTextUtf8(record.ipAddress));
        m_deviceList.SetItemText(item, 2, FieldTextUtf8(record.macText));
        // Codes above 7 name no standard: such a cell stays empty.
        m_deviceList.SetItemText(item, 3, WirelessModeText(record.wirelessMode));
        m_deviceList.SetItemText(item, 4, FieldTextUtf8(record.firmwareVersion));
        m_deviceList.SetItemText(item, 5, FieldTextUtf8(record.description));
    }
    m_deviceList.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    m_deviceList.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    m_deviceList.SetFocus();
}

void CAccessPointDlg::OnDeviceListItemChanged(NMHDR*, LRESULT* result) {
    // The buttons follow the row the commands act on, so that an enabled button never acts on
    // an access point it was not offered for.
    if (const DeviceRecord* record = FirstSelectedRecord()) {
        const bool sameNetwork =
            ThreeOctetPrefix(record->ipAddress) == ThreeOctetPrefix(record->localAddress);
        m_webButton.EnableWindow(sameNetwork);
        m_setIpButton.EnableWindow(!sameNetwork);
    }
    *result = 0;
}

const DeviceRecord* CAccessPointDlg::FirstSelectedRecord() {
    if (!g_deviceTable) {
        return nullptr;
    }
    for (int i = 0; i < m_deviceList.GetItemCount() && i < m_deviceCount; ++i) {
        if ((m_deviceList.GetItemState(i, LVIS_SELECTED) & LVIS_SELECTED) != 0) {
            return &g_deviceTable->records[i];
        }
    }
    return nullptr;
}

void CAccessPointDlg::OnDetailInfo() {
    const DeviceRecord* record = FirstSelectedRecord();
    if (record == nullptr) {
        return;
    }
    CDetailInfoDlg dialog;
    dialog.m_fields = DetailInfoFieldsFromRecord(*record);
    dialog.DoModal();
}

void CAccessPointDlg::OnWebManagement() {
    const DeviceRecord* record = FirstSelectedRecord();
    if (record == nullptr) {
        return;
    }
    const std::string url = WebManagementUrl(FieldText(record->ipAddress).c_str());
    OpenUrlOutcome outcome = OpenUrlOutcome::kNoAssociation;
    {
        // The desktop's opener may take a few seconds to hand the page on.
        CWaitCursor waitCursor;
        RunBlocking([&url, &outcome] {
            UrlOpener* opener = ActiveUrlOpener();
            outcome = opener != nullptr ? opener->Open(url) : OpenUrlOutcome::kNoAssociation;
        });
    }
    if (const int messageId = MessageIdForOutcome(outcome); messageId != 0) {
        MessageBox(AfxLoadString(messageId));
    }
}

void CAccessPointDlg::OnSetIpAddress() {
    const DeviceRecord* record = FirstSelectedRecord();
    if (record == nullptr) {
        return;
    }
    CIpConfigDlg dialog;
    // Shown only, so in the window's UTF-8; the MAC text addresses the requests as it came.
    dialog.m_deviceName = FieldTextUtf8(record->name);
    dialog.m_macText = FieldText(record->macText);
    // Whatever the outcome, the list keeps showing what the last discovery found.
    dialog.DoModal();
}

void CAccessPointDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id);
}

void CAccessPointDlg::OnCancel() {
    g_deviceTable.reset();
    CDialog::OnCancel();
}
