#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "config/IpConfigDlg.h"
#include "resources/Resource.h"
#include "sim/AccessPointModel.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

// The IP Configuration dialog under test: a recording subclass, its fields, the requests that
// reach the wire, and a fixture with one access point on one network.
namespace ipconfig_test {

constexpr char kMac[] = "0002B3000001";
constexpr std::array<std::uint8_t, 6> kMacBytes = {0x00, 0x02, 0xB3, 0x00, 0x00, 0x01};

using Octets = std::array<std::string, 16>;
inline const Octets kValid = {"10", "0", "0", "77", "255", "255", "255", "0",
                              "10", "0", "0", "1",  "10",  "0",   "0",   "53"};

struct ConfigureCall {
    int dhcpClient = -1;
    std::string mac, ipAddress, subnetMask, gateway, dnsServer;
    bool operator==(const ConfigureCall&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ConfigureCall& call) {
    return out << "{" << call.dhcpClient << ", " << call.mac << ", " << call.ipAddress << ", "
               << call.subnetMask << ", " << call.gateway << ", " << call.dnsServer << "}";
}

// The dialog with what it hands to the exchange recorded; the exchange itself still runs, on
// the fake network.
class TestIpConfigDlg : public CIpConfigDlg {
public:
    TestIpConfigDlg() {
        m_deviceName = "Annex";
        m_macText = kMac;
    }

    std::vector<ConfigureCall> calls;
    // Runs on the user-interface thread while the exchange is under way.
    std::function<void()> whileConfiguring;

protected:
    ConfigureOutcome Configure(int dhcpClient, const char* macText, const char* ipAddress,
                               const char* subnetMask, const char* gateway,
                               const char* dnsServer) override {
        calls.push_back({dhcpClient, macText, ipAddress, subnetMask, gateway, dnsServer});
        if (whileConfiguring) {
            OnUiThread(whileConfiguring);
        }
        return CIpConfigDlg::Configure(dhcpClient, macText, ipAddress, subnetMask, gateway,
                                       dnsServer);
    }
};

inline QLineEdit* Field(int field) {
    return qobject_cast<QLineEdit*>(TopControl(IDC_IP_EDIT1 + field));
}

inline bool Checked(int id) {
    return qobject_cast<QAbstractButton*>(TopControl(id))->isChecked();
}

inline Octets FieldTexts() {
    Octets texts;
    for (int field = 0; field < 16; ++field) {
        texts[static_cast<std::size_t>(field)] = Field(field)->text().toStdString();
    }
    return texts;
}

inline void FillFixed(const Octets& texts) {
    ClickControl(IDC_FIXED);
    for (int field = 0; field < 16; ++field) {
        Field(field)->setText(QString::fromStdString(texts[static_cast<std::size_t>(field)]));
    }
}

// What reached the access points' port, other than discovery.
struct WireRequest {
    std::int64_t timeMs = 0;
    sim::DecodedRequest request;
};

inline std::vector<WireRequest> ConfigurationRequests(const net::FakeNetwork& network) {
    std::vector<WireRequest> requests;
    for (const net::FakeNetwork::SentDatagram& sent : network.sent()) {
        sim::DecodedRequest request = sim::DecodeRequest(sent.bytes.data(), sent.bytes.size());
        if (sent.port == sim::kPort && request.kind != sim::RequestKind::kDiscovery) {
            requests.push_back({sent.timeMs, request});
        }
    }
    return requests;
}

inline std::vector<sim::RequestKind> Kinds(const std::vector<WireRequest>& requests) {
    std::vector<sim::RequestKind> kinds;
    for (const WireRequest& wire : requests) {
        kinds.push_back(wire.request.kind);
    }
    return kinds;
}

constexpr sim::RequestKind kSet = sim::RequestKind::kSetIpConfiguration;
constexpr sim::RequestKind kReset = sim::RequestKind::kReset;

inline TestAccessPoint Annex(bool acknowledgeConfiguration = true, bool acknowledgeReset = true) {
    return {.name = "Annex",
            .address = "172.16.9.9",
            .macTail = 1,
            .acknowledgeConfiguration = acknowledgeConfiguration,
            .acknowledgeReset = acknowledgeReset};
}

// Runs the dialog until `act` has driven it; a dialog still open then is cancelled.
inline int RunDialog(TestIpConfigDlg& dialog, const std::function<void()>& act) {
    ModalDriver driver;
    driver.When(
        "the IP Configuration dialog", [] { return TopDialogId() == IDD_IPCONFIG; },
        [&] {
            act();
            if (TopDialogId() == IDD_IPCONFIG) {
                ClickControl(IDCANCEL);
            }
        });
    const int result = dialog.DoModal();
    EXPECT_TRUE(driver.Finished());
    return result;
}

class IpConfigTest : public ::testing::Test {
protected:
    TestNetwork network;
    int lan = network.AddInterface("10.0.0.200");
    sim::AccessPoint& annex = network.Add(lan, Annex());
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
};

}  // namespace ipconfig_test
