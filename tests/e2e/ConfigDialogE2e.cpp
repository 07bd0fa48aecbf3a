// The utility itself, on the real socket layer, gives an access point of the lab a new address
// through the IP Configuration dialog, and the next Refresh finds it there. Run by
// dialog_e2e.py inside a lab it creates; anywhere else the program refuses to start, since it
// broadcasts on every interface it sees.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/AccessPointApp.h"
#include "discovery/BroadcastDiscovery.h"
#include "net/PosixSocketLayer.h"
#include "resources/RegisterResources.h"
#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tools/apsim/LabNamespace.h"

namespace {

// What tests/e2e/fleets/config-dialog.json holds.
const std::vector<std::string> kNames = {"Annex", "Lobby"};
constexpr char kAnnexMac[] = "000A1B300001";

int RunApplication() {
    char name[] = "apmanager";
    char* argv[] = {name, nullptr};
    return AfxWinMain(1, argv);
}

// Takes the records of a discovery, and ends it as soon as one access point answers from one
// address.
class AnswerWatch final : public ReplySink {
public:
    AnswerWatch(std::string mac, std::string address)
        : mac_(std::move(mac)), address_(std::move(address)) {}

    void Add(const DeviceRecord& record) override {
        if (std::string(record.macText, FieldTextLength(record.macText)) == mac_ &&
            std::string(record.ipAddress, FieldTextLength(record.ipAddress)) == address_) {
            heard = true;
        }
    }
    std::unique_ptr<ReplySink> Fresh() const override { return nullptr; }
    void ReplayInto(ReplySink&) const override {}

    std::atomic<bool> heard = false;

private:
    std::string mac_;
    std::string address_;
};

// Discovers until the access point answers from `address`; false when it has not within 30 s.
bool AnswersFrom(const std::string& mac, const std::string& address) {
    AnswerWatch watch(mac, address);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!watch.heard && std::chrono::steady_clock::now() < deadline) {
        BroadcastDiscoveryInto(ExchangeOptions{}, &watch, &watch.heard);
    }
    return watch.heard;
}

bool Enabled(int id) {
    return TopControl(id)->isEnabled();
}

TEST(ConfigDialogInTheLab, AFixedAddressSetThroughTheDialogShowsAfterRefresh) {
    CAccessPointApp app;
    MessageBoxRecorder boxes;
    std::vector<std::string> firstAddresses;
    std::vector<std::string> addressesBeforeRefresh;
    std::vector<std::string> addressesAfterRefresh;
    std::vector<std::string> namesAfterRefresh;
    bool setIpOfferedBefore = false;
    bool webOfferedAfter = false;
    std::string shownName;
    std::string shownMac;

    // Two discoveries of at least 4 s each, a 3 s pause and the access point's restart.
    ModalDriver driver(std::chrono::seconds(120));
    driver
        .When("the first discovery", MainWindowFilled,
              [&] {
                  QTreeWidget* list = DeviceList();
                  firstAddresses = ListColumn(list, 1);
                  ASSERT_EQ(ListColumn(list, 0), kNames);
                  SelectRows(list, {0});
                  setIpOfferedBefore = Enabled(IDC_SET_IP_ADDRESS);
                  ClickControl(IDC_SET_IP_ADDRESS);
                  addressesBeforeRefresh = ListColumn(list, 1);
                  // The access point restarts after the reset and stays silent for 2 s (the
                  // fleet's silentAfterResetMs); the user reads the message until it answers.
                  ASSERT_TRUE(AnswersFrom(kAnnexMac, "10.0.0.77"))
                      << "the access point never answered at its new address";
                  ClickControl(IDC_REFRESH);
                  addressesAfterRefresh = ListColumn(list, 1);
                  namesAfterRefresh = ListColumn(list, 0);
                  SelectRows(list, {0});
                  webOfferedAfter = Enabled(IDC_WEB_MANAGEMENT) && !Enabled(IDC_SET_IP_ADDRESS);
                  ClickControl(IDCANCEL);
              })
        .When(
            "the IP Configuration dialog", [] { return TopDialogId() == IDD_IPCONFIG; },
            [&] {
                shownName = ControlText(IDC_DEVICE_NAME);
                shownMac = ControlText(IDC_MAC_ADDRESS);
                ClickControl(IDC_FIXED);
                TopControl(IDC_IP_EDIT1)->setFocus();
                // Three digits a field, so the focus walks the fields by itself; the leading
                // zeros travel as typed and are read as decimal.
                TypeIntoFocus(
                    "010000000077"
                    "255255255000"
                    "010000000001"
                    "010000000053");
                ClickControl(IDOK);
            });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_TRUE(driver.Finished());

    EXPECT_EQ(firstAddresses, (std::vector<std::string>{"172.16.9.9", "10.0.0.11"}));
    EXPECT_TRUE(setIpOfferedBefore);
    EXPECT_EQ(shownName, "Annex");
    EXPECT_EQ(shownMac, kAnnexMac);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Data saved successfully."});
    EXPECT_EQ(addressesBeforeRefresh, firstAddresses) << "the list changes only on Refresh";
    EXPECT_EQ(namesAfterRefresh, kNames);
    EXPECT_EQ(addressesAfterRefresh, (std::vector<std::string>{"10.0.0.77", "10.0.0.11"}));
    EXPECT_TRUE(webOfferedAfter) << "now on the local network";
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string why;
    if (!apsim::InLabNamespace(&why)) {
        std::fprintf(stderr, "config_dialog_e2e: %s\n", why.c_str());
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    RegisterResources();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    net::PosixSocketLayer socketLayer;
    net::ScopedSocketLayer installed(&socketLayer);
    return RUN_ALL_TESTS();
}
