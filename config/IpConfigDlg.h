#pragma once

#include <array>
#include <string>

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

    CEdit m_maskEdit4;
    CEdit m_maskEdit3;
    CEdit m_maskEdit2;
    CEdit m_maskEdit1;
    CStatic m_macLabel;
    CEdit m_ipEdit4;
    CEdit m_ipEdit3;
    CEdit m_ipEdit2;
    CEdit m_ipEdit1;
    CEdit m_gatewayEdit4;
    CEdit m_gatewayEdit3;
    CEdit m_gatewayEdit2;
    CEdit m_gatewayEdit1;
    CEdit m_dnsEdit4;
    CEdit m_dnsEdit3;
    CEdit m_dnsEdit2;
    CEdit m_dnsEdit1;
    CStatic m_nameLabel;

private:
    struct OutcomeTexts {
        std::string success;
        std::string resetFailed;
        std::string setFailed;
    };

    CEdit& OctetEdit(int field) { return *m_octetEdits[static_cast<std::size_t>(field)]; }
    void EnableOctetEdits(bool enable);
    void ConfigureAndReport(int dhcpClient, const std::array<std::string, 4>& addresses,
                            const OutcomeTexts& texts);

    // The octet edits in identifier order, which is also the order of entry.
    const std::array<CEdit*, kOctetFieldCount> m_octetEdits;
    bool m_exchangeRunning = false;
};
