#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "config/IpConfigDlg.h"
#include "discovery/DiscoverDevices.h"
#include "resources/Resource.h"
#include "sim/AccessPointModel.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

constexpr char kMac[] = "0002B3000001";
constexpr std::array<std::uint8_t, 6> kMacBytes = {0x00, 0x02, 0xB3, 0x00, 0x00, 0x01};

using Octets = std::array<std::string, 16>;
const Octets kValid = {"10", "0", "0", "77", "255", "255", "255", "0",
                       "10", "0", "0", "1",  "10",  "0",   "0",   "53"};

struct ConfigureCall {
    int dhcpClient = -1;
    std::string mac, ipAddress, subnetMask, gateway, dnsServer;
    bool operator==(const ConfigureCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ConfigureCall& call) {
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

QLineEdit* Field(int field) {
    return qobject_cast<QLineEdit*>(TopControl(IDC_IP_EDIT1 + field));
}

bool Checked(int id) {
    return qobject_cast<QAbstractButton*>(TopControl(id))->isChecked();
}

Octets FieldTexts() {
    Octets texts;
    for (int field = 0; field < 16; ++field) {
        texts[static_cast<std::size_t>(field)] = Field(field)->text().toStdString();
    }
    return texts;
}

void FillFixed(const Octets& texts) {
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

std::vector<WireRequest> ConfigurationRequests(const net::FakeNetwork& network) {
    std::vector<WireRequest> requests;
    for (const net::FakeNetwork::SentDatagram& sent : network.sent()) {
        sim::DecodedRequest request = sim::DecodeRequest(sent.bytes.data(), sent.bytes.size());
        if (sent.port == sim::kPort && request.kind != sim::RequestKind::kDiscovery) {
            requests.push_back({sent.timeMs, request});
        }
    }
    return requests;
}

std::vector<sim::RequestKind> Kinds(const std::vector<WireRequest>& requests) {
    std::vector<sim::RequestKind> kinds;
    for (const WireRequest& wire : requests) {
        kinds.push_back(wire.request.kind);
    }
    return kinds;
}

constexpr sim::RequestKind kSet = sim::RequestKind::kSetIpConfiguration;
constexpr sim::RequestKind kReset = sim::RequestKind::kReset;

TestAccessPoint Annex(bool acknowledgeConfiguration = true, bool acknowledgeReset = true) {
    return {.name = "Annex",
            .address = "172.16.9.9",
            .macTail = 1,
            .acknowledgeConfiguration = acknowledgeConfiguration,
            .acknowledgeReset = acknowledgeReset};
}

// Runs the dialog until `act` has driven it; a dialog still open then is cancelled.
int RunDialog(TestIpConfigDlg& dialog, const std::function<void()>& act) {
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

TEST_F(IpConfigTest, OpensInDhcpModeAndSwitchingModesKeepsTheFields) {
    const int result = RunDialog(dialog, [] {
        EXPECT_EQ(TopModal()->windowTitle().toStdString(), "IP Configuration");
        EXPECT_EQ(ControlText(IDC_DEVICE_NAME), "Annex");
        EXPECT_EQ(ControlText(IDC_MAC_ADDRESS), kMac);
        EXPECT_TRUE(Checked(IDC_DHCP_CLIENT));
        EXPECT_FALSE(Checked(IDC_FIXED));
        for (int field = 0; field < 16; ++field) {
            SCOPED_TRACE(field);
            EXPECT_TRUE(Field(field)->text().isEmpty());
            EXPECT_FALSE(Field(field)->isEnabled());
        }

        ClickControl(IDC_FIXED);
        EXPECT_FALSE(Checked(IDC_DHCP_CLIENT));
        // Digits only, at most three.
        QTest::keyClicks(Field(0), "1a2-3 45");
        QTest::keyClicks(Field(15), "x9");
        EXPECT_EQ(Field(0)->text().toStdString(), "123");
        EXPECT_EQ(Field(15)->text().toStdString(), "9");

        ClickControl(IDC_DHCP_CLIENT);
        EXPECT_FALSE(Checked(IDC_FIXED));
        for (int field = 0; field < 16; ++field) {
            EXPECT_FALSE(Field(field)->isEnabled()) << field;
        }
        ClickControl(IDC_FIXED);
        for (int field = 0; field < 16; ++field) {
            EXPECT_TRUE(Field(field)->isEnabled()) << field;
        }
        EXPECT_EQ(Field(0)->text().toStdString(), "123");
        EXPECT_EQ(Field(15)->text().toStdString(), "9");
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(network.Sends(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(IpConfigTest, ThreeDigitsMoveOnThroughAllSixteenFields) {
    RunDialog(dialog, [] {
        ClickControl(IDC_FIXED);
        Field(0)->setFocus();
        // A whole configuration typed as digits alone, across the ends of the rows.
        TypeIntoFocus(
            "192168001050"
            "255255255000"
            "192168001001"
            "010000000053");
        EXPECT_EQ(FieldTexts(), (Octets{"192", "168", "001", "050", "255", "255", "255", "000",
                                        "192", "168", "001", "001", "010", "000", "000", "053"}));
        EXPECT_EQ(FocusedControlId(), IDC_DNS_EDIT4) << "the last field keeps the focus";
        TypeIntoFocus("7");
        EXPECT_EQ(Field(15)->text().toStdString(), "053");
        EXPECT_EQ(FocusedControlId(), IDC_DNS_EDIT4);
    });
}

TEST_F(IpConfigTest, OnlyAChangeThatLeavesThreeCharactersMovesOn) {
    RunDialog(dialog, [] {
        ClickControl(IDC_FIXED);
        for (int field = 0; field < 15; ++field) {
            SCOPED_TRACE(field);
            Field(field + 1)->setText("55");
            Field(field)->setFocus();
            TypeIntoFocus("12");
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + field) << "two digits stay";
            TypeIntoFocus("3");
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + field + 1);
            EXPECT_EQ(Field(field + 1)->selectedText().toStdString(), "55")
                << "the next field's text is selected, so typing replaces it";
        }

        // Deleting a digit of a full field stays; typing it again moves on, and so does
        // replacing one digit.
        Field(4)->setFocus();
        Field(4)->end(false);
        QTest::keyClick(Field(4), Qt::Key_Backspace);
        EXPECT_EQ(Field(4)->text().toStdString(), "12");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT1);
        TypeIntoFocus("9");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT2);
        Field(4)->setFocus();
        Field(4)->setSelection(1, 1);
        TypeIntoFocus("0");
        EXPECT_EQ(Field(4)->text().toStdString(), "109");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT2);
    });
}

TEST_F(IpConfigTest, DhcpSendsModeOneAndNullTextsWithoutLookingAtTheFields) {
    const int result = RunDialog(dialog, [] {
        // Fields that would fail every check in fixed mode.
        ClickControl(IDC_FIXED);
        Field(0)->setText("999");
        ClickControl(IDC_DHCP_CLIENT);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.calls,
              (std::vector<ConfigureCall>{{1, kMac, "NULL", "NULL", "NULL", "NULL"}}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Set Success"});
    const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
    ASSERT_EQ(Kinds(requests), (std::vector<sim::RequestKind>{kSet, kReset}));
    EXPECT_TRUE(requests[0].request.dhcpClient);
    EXPECT_EQ(requests[0].request.mac, kMacBytes);
    EXPECT_EQ(requests[1].request.mac, kMacBytes);
}

TEST_F(IpConfigTest, FixedModeReportsTheFirstFailingFieldOnly) {
    struct Case {
        const char* name;
        Octets texts;
        const char* message;
        int failingField;
    };
    Octets lastTooBig = kValid;
    lastTooBig[15] = "300";
    // The text checks themselves have their own tests; here: what the dialog does with a
    // failing field, and that the fields after it are not looked at.
    const Case cases[] = {
        {"all empty", Octets{}, "Invalid or missing data.", 0},
        {"256, later fields empty and not examined", Octets{"10", "0", "0", "77", "255", "256"},
         "Value must be between 0 - 255.", 5},
        {"the last field too big", lastTooBig, "Value must be between 0 - 255.", 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t boxesBefore = boxes.boxes().size();
        TestIpConfigDlg caseDialog;
        const int result = RunDialog(caseDialog, [&] {
            FillFixed(c.texts);
            ClickControl(IDOK);
            Octets expected = c.texts;
            expected[static_cast<std::size_t>(c.failingField)] = "";
            EXPECT_EQ(FieldTexts(), expected) << "only the failing field is cleared";
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + c.failingField);
            EXPECT_TRUE(Checked(IDC_FIXED));
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(boxes.boxes().size(), boxesBefore + 1);
        const MessageBoxRequest& box = boxes.boxes().back();
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.ownerId, IDD_IPCONFIG);
        EXPECT_EQ(box.icon, MB_ICONEXCLAMATION);
        EXPECT_TRUE(caseDialog.calls.empty());
    }
    EXPECT_EQ(network.Sends(), 0);
}

TEST_F(IpConfigTest, OctetsAreSentAsTypedAndTakenAsDecimal) {
    const Octets texts = {"010", "0",   "000", "77", "255", "255", "255", "0",
                          "10",  "000", "0",   "1",  "10",  "0",   "0",   "053"};
    const int result = RunDialog(dialog, [&] {
        FillFixed(texts);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Data saved successfully."});
    EXPECT_EQ(dialog.calls, (std::vector<ConfigureCall>{{0, kMac, "010.0.000.77", "255.255.255.0",
                                                         "10.000.0.1", "10.0.0.053"}}));
    const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
    ASSERT_EQ(Kinds(requests), (std::vector<sim::RequestKind>{kSet, kReset}));
    const std::array<std::uint32_t, 4> expected = {
        net::AddressFromText("10.0.0.77"), net::AddressFromText("255.255.255.0"),
        net::AddressFromText("10.0.0.1"), net::AddressFromText("10.0.0.53")};
    EXPECT_FALSE(requests[0].request.dhcpClient);
    EXPECT_EQ(requests[0].request.addresses, expected) << "010 is ten, never octal eight";
    EXPECT_EQ(annex.CurrentAddress(), net::AddressFromText("10.0.0.77"));
}

TEST(IpConfigOutcomes, EachOutcomeHasItsMessageAndOnlyFullSuccessCloses) {
    struct Case {
        const char* name;
        bool dhcp;
        bool acknowledgeConfiguration;
        bool acknowledgeReset;
        const char* message;
        std::vector<sim::RequestKind> requests;
    };
    const Case cases[] = {
        {"dhcp, success", true, true, true, "Set Success", {kSet, kReset}},
        {"dhcp, reset fails", true, true, false, "Reset Fail", {kSet, kReset}},
        {"dhcp, configuration fails", true, false, true, "Set Fail", {kSet}},
        {"fixed, success", false, true, true, "Data saved successfully.", {kSet, kReset}},
        {"fixed, reset fails", false, true, false, "Reset Failed.", {kSet, kReset}},
        {"fixed, configuration fails", false, false, true, "Unable to save.", {kSet}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork network;
        network.Add(network.AddInterface("10.0.0.200"),
                    Annex(c.acknowledgeConfiguration, c.acknowledgeReset));
        MessageBoxRecorder boxes;
        TestIpConfigDlg dialog;
        const bool succeeds = c.acknowledgeConfiguration && c.acknowledgeReset;
        const int result = RunDialog(dialog, [&] {
            if (c.dhcp) {
                ClickControl(IDOK);
            } else {
                FillFixed(kValid);
                // Enter in a field presses OK, the default button.
                QTest::keyClick(Field(15), Qt::Key_Return);
            }
            if (!succeeds) {
                // Left as it was: mode and fields.
                EXPECT_EQ(TopDialogId(), IDD_IPCONFIG);
                EXPECT_EQ(Checked(IDC_FIXED), !c.dhcp);
                EXPECT_EQ(FieldTexts(), c.dhcp ? Octets{} : kValid);
            }
        });
        EXPECT_EQ(result, succeeds ? IDOK : IDCANCEL);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
        ASSERT_EQ(Kinds(requests), c.requests);
        if (requests.size() == 2) {
            EXPECT_EQ(requests[1].timeMs - requests[0].timeMs, 3000) << "the pause before reset";
        } else {
            EXPECT_EQ(network.fake().NowMs() - requests[0].timeMs, 4000)
                << "only the silence that ends the request, no pause";
        }
    }
}

TEST_F(IpConfigTest, AnAllOnesAddressPassesTheDialogButIsRefusedBeforeAnythingIsSent) {
    Octets texts = kValid;
    texts[7] = "255";
    const int result = RunDialog(dialog, [&] {
        FillFixed(texts);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Unable to save."});
    ASSERT_EQ(dialog.calls.size(), 1u);
    EXPECT_EQ(dialog.calls[0].subnetMask, "255.255.255.255");
    EXPECT_EQ(network.Sends(), 0);
}

TEST(IpConfigOutcomes, AfterAResetFailureOkRepeatsBothRequests) {
    TestNetwork network;
    network.Add(network.AddInterface("10.0.0.200"), Annex(true, false));
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
    RunDialog(dialog, [] {
        FillFixed(kValid);
        ClickControl(IDOK);
        ClickControl(IDOK);
    });
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Reset Failed.", "Reset Failed."}));
    ASSERT_EQ(dialog.calls.size(), 2u);
    EXPECT_EQ(dialog.calls[0], dialog.calls[1]);
    EXPECT_EQ(Kinds(ConfigurationRequests(network.fake())),
              (std::vector<sim::RequestKind>{kSet, kReset, kSet, kReset}));
}

// Input arriving while the exchange runs, as it would if the window were kept alive meanwhile:
// none of it may end the dialog, start a second exchange or change the mode.
TEST(IpConfigOutcomes, TheExchangeRunsUnderTheWaitCursorAndTakesNoInput) {
    TestNetwork network;
    network.Add(network.AddInterface("10.0.0.200"), Annex(true, false));
    MessageBoxRecorder boxes;
    TestIpConfigDlg dialog;
    bool enabledDuring = true;
    Qt::CursorShape cursorDuring = Qt::ArrowCursor;
    dialog.whileConfiguring = [&] {
        QWidget* window = TopModal();
        enabledDuring = window->isEnabled();
        if (const QCursor* cursor = QApplication::overrideCursor()) {
            cursorDuring = cursor->shape();
        }
        ClickControl(IDC_FIXED);
        ClickControl(IDOK);
        ClickControl(IDCANCEL);
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
        window->close();
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    };
    int openAfter = 0;
    const int result = RunDialog(dialog, [&] {
        ClickControl(IDOK);
        openAfter = TopDialogId();
        EXPECT_TRUE(Checked(IDC_DHCP_CLIENT));
        EXPECT_TRUE(TopModal()->isEnabled());
        EXPECT_EQ(FocusedControlId(), IDOK) << "the focus comes back where it was";
        dialog.whileConfiguring = nullptr;
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(openAfter, IDD_IPCONFIG);
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(cursorDuring, Qt::WaitCursor);
    EXPECT_EQ(dialog.calls.size(), 1u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Reset Fail"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(IpConfigFromMainWindow, OpensForTheLowestSelectedRowAndRefreshShowsTheNewAddress) {
    TestNetwork network;
    const int lan = network.AddInterface("10.0.0.200");
    network.Add(lan, {.name = "a-local", .address = "10.0.0.5", .macTail = 1});
    sim::AccessPoint& annex = network.Add(
        lan, {.name = "b-annex", .address = "172.16.9.9", .macTail = 2, .silentAfterResetMs = 0});
    network.Add(lan, {.name = "c-roof", .address = "10.20.30.40", .macTail = 3});
    MessageBoxRecorder boxes;
    std::string shownName;
    std::string shownMac;
    std::vector<std::string> addressesBeforeRefresh;
    std::vector<std::string> addressesAfterRefresh;

    CAccessPointDlg mainWindow;
    ModalDriver driver;
    driver
        .When("the first discovery", MainWindowFilled,
              [&] {
                  QTreeWidget* list = DeviceList();
                  // Row 2 enables "Set IP Address"; row 1 is the one configured.
                  SelectRows(list, {1, 2});
                  ClickControl(IDC_SET_IP_ADDRESS);
                  addressesBeforeRefresh = ListColumn(list, 1);
                  ClickControl(IDC_REFRESH);
                  addressesAfterRefresh = ListColumn(list, 1);
                  ClickControl(IDCANCEL);
              })
        .When(
            "the IP Configuration dialog", [] { return TopDialogId() == IDD_IPCONFIG; },
            [&] {
                shownName = ControlText(IDC_DEVICE_NAME);
                shownMac = ControlText(IDC_MAC_ADDRESS);
                FillFixed(kValid);
                ClickControl(IDOK);
            });
    EXPECT_EQ(mainWindow.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    ReleaseMergedTable();

    EXPECT_EQ(shownName, "b-annex");
    EXPECT_EQ(shownMac, "0002B3000002");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Data saved successfully."});
    EXPECT_EQ(annex.CurrentAddress(), net::AddressFromText("10.0.0.77"));
    EXPECT_EQ(addressesBeforeRefresh,
              (std::vector<std::string>{"10.0.0.5", "172.16.9.9", "10.20.30.40"}));
    EXPECT_EQ(addressesAfterRefresh,
              (std::vector<std::string>{"10.0.0.5", "10.0.0.77", "10.20.30.40"}));
}

}  // namespace
