#pragma once

#include <array>
#include <string>
#include <utility>

#include "config/ConfigExchange.h"
#include "config/OctetFields.h"
#include "framework/Dialog.h"
#include "framework/Edit.h"
#include "framework/Static.h"

// Gives one access point, known only by its name and MAC text, a new IP configuration: DHCP
// client, or a fixed address, subnet mask, gateway and DNS server typed as four octets each. On
// OK it sends the configuration, waits, has the access point reset, and says how that went. It
// closes only after both requests succeeded, or on Cancel.
class CIpConfigDlg : public CDialog {
public:
    CIpConfigDlg();

    // Set by the opener before the dialog runs.
    std::string m_deviceName;
    std::string m_macText;  // 12 hexadecimal digits; addresses both requests

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    // Nothing can end the dialog while an exchange runs.
    void OnCancel() override;
    const MessageMap* GetMessageMap() const override;

    // Typing an address as text: "." moves on to the row's next field, Backspace in an empty
    // field back to the previous one, and a pasted dotted address fills the whole row. A field
    // reached by "." or by three digits has its text selected, so that what is typed replaces
    // it, and the "." that ends three digits moves nowhere: they have moved on already.
    bool OnEditChar(int id, unsigned character) override;
    bool OnEditPaste(int id, const std::string& text) override;

    void OnDhcpClient();
    void OnFixed();
    // One handler per octet edit: a field that holds 3 characters hands the focus on.
    template <int field>
    void OnOctetChange();

    // The configuration request, the pause and the reset request, one after another; runs while
    // the dialog waits for it.
    virtual ConfigureOutcome Configure(int dhcpClient, const char* macText, const char* ipAddress,
                                       const char* subnetMask, const char* gateway,
                                       const char* dnsServer);

    // The octet edits in identifier order, which is also the order of entry: IP address octets
    // 1 to 4, then subnet mask, gateway and DNS server.
    std::array<CEdit, kOctetFieldCount> m_octetEdits;
    CStatic m_nameLabel;
    CStatic m_macLabel;

private:
    struct OutcomeTexts {
        std::string success;
        std::string resetFailed;
        std::string setFailed;
    };

    CEdit& OctetEdit(int field) { return m_octetEdits[static_cast<std::size_t>(field)]; }
    template <std::size_t... field>
    static constexpr auto MessageMapEntries(std::index_sequence<field...>);
    void EnableOctetEdits(bool enable);
    void ConfigureAndReport(int dhcpClient, const std::array<std::string, 4>& addresses,
                            const OutcomeTexts& texts);
    // Whether the focus is where three digits sent it and nothing has been typed there since.
    bool JustMovedOnTo(int field);
    bool m_exchangeRunning = false;
    // The field three digits last moved the focus to, until the next character is typed.
    int m_movedOnTo = -1;
    // Set while a pasted address is placed, whose fields do not move the focus one by one.
    bool m_placingPaste = false;
};
