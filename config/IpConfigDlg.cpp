#include "config/IpConfigDlg.h"

#include <cstdint>

#include "framework/DataExchange.h"
#include "framework/LoadString.h"
#include "framework/RunBlocking.h"
#include "framework/Translation.h"
#include "framework/WaitCursor.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

namespace {

// What a DHCP client's request carries in place of the four addresses, which it never sends.
constexpr const char* kNoAddress = "NULL";

}  // namespace

// The octet edits' identifiers run in entry order from the first octet of the IP address.
static_assert(IDC_DNS_EDIT4 == IDC_IP_EDIT1 + kOctetFieldCount - 1);

CIpConfigDlg::CIpConfigDlg() : CDialog(IDD_IPCONFIG) {}

void CIpConfigDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int field = 0; field < kOctetFieldCount; ++field) {
        DDX_Control(pDX, IDC_IP_EDIT1 + field, OctetEdit(field));
    }
    DDX_Control(pDX, IDC_MAC_ADDRESS, m_macLabel);
    DDX_Control(pDX, IDC_DEVICE_NAME, m_nameLabel);
}

// Fires on any change that leaves 3 characters, typed, replaced or pasted, so that a full
// address can be typed as digits alone. The next field's text is selected so that typing
// replaces it.
template <int field>
void CIpConfigDlg::OnOctetChange() {
    if (m_placingPaste || OctetEdit(field).GetWindowText().size() != 3) {
        return;
    }
    if constexpr (field + 1 < kOctetFieldCount) {
        CEdit& next = OctetEdit(field + 1);
        next.SetFocus();
        next.SetSel(0, -1);
        m_movedOnTo = field + 1;
    }
}

bool CIpConfigDlg::JustMovedOnTo(int field) {
    if (m_movedOnTo != field) {
        return false;
    }
    // Still the whole text selected, as the move left it: the user has not clicked or typed in
    // the field since (an empty field takes a "." as nothing anyway).
    int start = 0;
    int end = 0;
    OctetEdit(field).GetSel(start, end);
    return start == 0 && end == static_cast<int>(OctetEdit(field).GetWindowText().size());
}

namespace {

// The octet field of an edit identifier, or -1 for any other control.
int OctetFieldOf(int id) {
    const int field = id - IDC_IP_EDIT1;
    return field >= 0 && field < kOctetFieldCount ? field : -1;
}

}  // namespace

bool CIpConfigDlg::OnEditChar(int id, unsigned character) {
    const int field = OctetFieldOf(id);
    if (field < 0) {
        return false;
    }
    const int place = field % 4;  // within its row
    const bool movedOn = JustMovedOnTo(field);
    m_movedOnTo = -1;
    if (character == '.') {
        // The dot is no digit, so the field never takes it; it only ever moves on, and the next
        // field's text is selected so that the next octet replaces whatever it held.
        if (!movedOn && place < 3 && !OctetEdit(field).GetWindowText().empty()) {
            GotoDlgCtrl(&OctetEdit(field + 1));
        }
        return true;
    }
    if (character == '\b' && place > 0 && OctetEdit(field).GetWindowText().empty()) {
        CEdit& previous = OctetEdit(field - 1);
        const int end = static_cast<int>(previous.GetWindowText().size());
        previous.SetFocus();
        previous.SetSel(end, end);
        return true;
    }
    return false;
}

bool CIpConfigDlg::OnEditPaste(int id, const std::string& text) {
    const int field = OctetFieldOf(id);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (field < 0 || first == std::string::npos) {
        return false;
    }
    const std::string address = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    std::uint32_t parsed = 0;
    if (!ParseDecimalDottedQuad(address.c_str(), &parsed)) {
        return false;
    }
    // Each octet as written, as though typed into its field; the focus goes to the row's end
    // at once, not field by field as three digits would send it.
    const int rowStart = field - field % 4;
    m_placingPaste = true;
    m_movedOnTo = -1;
    std::size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = address.find('.', from);
        OctetEdit(rowStart + i).SetWindowText(address.substr(from, dot - from));
        from = dot + 1;
    }
    m_placingPaste = false;
    CEdit& last = OctetEdit(rowStart + 3);
    const int end = static_cast<int>(last.GetWindowText().size());
    last.SetFocus();
    last.SetSel(end, end);
    return true;
}

template <std::size_t... field>
constexpr auto CIpConfigDlg::MessageMapEntries(std::index_sequence<field...>) {
    return std::array{
        msg::BnClicked<&CIpConfigDlg::OnDhcpClient>(IDC_DHCP_CLIENT),
        msg::BnClicked<&CIpConfigDlg::OnFixed>(IDC_FIXED),
        msg::EnChange<&CIpConfigDlg::OnOctetChange<static_cast<int>(field)>>(
            IDC_IP_EDIT1 + static_cast<int>(field))...,
    };
}

const MessageMap* CIpConfigDlg::GetMessageMap() const {
    static constexpr auto kEntries =
        MessageMapEntries(std::make_index_sequence<kOctetFieldCount>());
    static const MessageMap kMap{CDialog::GetMessageMap(), kEntries};
    return &kMap;
}

bool CIpConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (CEdit& edit : m_octetEdits) {
        edit.LimitText(3);
    }
    m_nameLabel.SetWindowText(m_deviceName);
    m_macLabel.SetWindowText(m_macText);
    CheckRadioButton(IDC_DHCP_CLIENT, IDC_FIXED, IDC_DHCP_CLIENT);
    EnableOctetEdits(false);
    return true;
}

void CIpConfigDlg::EnableOctetEdits(bool enable) {
    for (CEdit& edit : m_octetEdits) {
        edit.EnableWindow(enable);
    }
}

// Switching modes keeps whatever the fields hold: a user who looks at DHCP and comes back
// finds the addresses as typed.
void CIpConfigDlg::OnDhcpClient() {
    EnableOctetEdits(false);
}

void CIpConfigDlg::OnFixed() {
    EnableOctetEdits(true);
}

void CIpConfigDlg::OnOK() {
    if (m_exchangeRunning) {
        return;
    }
    if (IsDlgButtonChecked(IDC_DHCP_CLIENT) == BST_CHECKED) {
        // A DHCP client's request carries no address, so the fields are neither read nor
        // checked, whatever they hold.
        ConfigureAndReport(
            1, {kNoAddress, kNoAddress, kNoAddress, kNoAddress},
            {AfxTranslate("CIpConfigDlg", "Set Success"),
             AfxTranslate("CIpConfigDlg", "Reset Fail"), AfxTranslate("CIpConfigDlg", "Set Fail")});
        return;
    }

    OctetTexts texts;
    for (int field = 0; field < kOctetFieldCount; ++field) {
        texts[static_cast<std::size_t>(field)] = OctetEdit(field).GetWindowText();
    }
    const OctetCheck check = CheckOctetFields(texts);
    if (check.failingField >= 0) {
        MessageBox(AfxLoadString(check.messageId));
        CEdit& failing = OctetEdit(check.failingField);
        failing.SetWindowText("");
        failing.SetFocus();
        return;
    }
    if (!MaskFieldsArePossible(texts)) {
        // The mask is wrong as a whole, not in one field: the fields keep what was typed, and
        // the first one is selected for retyping.
        MessageBox(AfxLoadString(IDS_INVALID_OR_MISSING));
        GotoDlgCtrl(&OctetEdit(kFirstMaskField));
        return;
    }
    ConfigureAndReport(0, BuildAddressTexts(texts),
                       {AfxLoadString(IDS_DATA_SAVED), AfxLoadString(IDS_RESET_FAILED),
                        AfxLoadString(IDS_UNABLE_TO_SAVE)});
}

void CIpConfigDlg::ConfigureAndReport(int dhcpClient, const std::array<std::string, 4>& addresses,
                                      const OutcomeTexts& texts) {
    CWaitCursor waitCursor;
    // However the wait is run, the dialog takes no input until the outcome has been shown:
    // disabled during the exchange, then under its modal message box.
    m_exchangeRunning = true;
    CWnd* focus = GetFocus();
    EnableWindow(false);
    ConfigureOutcome outcome = ConfigureOutcome::kSetFailed;
    RunBlocking([&] {
        outcome = Configure(dhcpClient, m_macText.c_str(), addresses[0].c_str(),
                            addresses[1].c_str(), addresses[2].c_str(), addresses[3].c_str());
    });
    EnableWindow(true);
    if (focus != nullptr) {
        focus->SetFocus();
    }

    switch (outcome) {
        case ConfigureOutcome::kSuccess:
            MessageBox(texts.success);
            break;
        case ConfigureOutcome::kResetFailed:
            MessageBox(texts.resetFailed);
            break;
        case ConfigureOutcome::kSetFailed:
            MessageBox(texts.setFailed);
            break;
    }
    m_exchangeRunning = false;
    if (outcome == ConfigureOutcome::kSuccess) {
        CDialog::OnOK();
    }
}

ConfigureOutcome CIpConfigDlg::Configure(int dhcpClient, const char* macText, const char* ipAddress,
                                         const char* subnetMask, const char* gateway,
                                         const char* dnsServer) {
    return ConfigureAndReset(dhcpClient, macText, ipAddress, subnetMask, gateway, dnsServer);
}

void CIpConfigDlg::OnCancel() {
    if (!m_exchangeRunning) {
        CDialog::OnCancel();
    }
}
