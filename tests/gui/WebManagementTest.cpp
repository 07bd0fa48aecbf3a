#include <gtest/gtest.h>

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "discovery/DiscoverDevices.h"
#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

// Six access points on the local network, so "Web Management" is enabled for every row; each
// test acts once the first discovery has filled the list. No browser is ever started: the
// opener is the test's.
class WebManagementTest : public ::testing::Test {
protected:
    WebManagementTest() {
        for (int i = 0; i < 6; ++i) {
            network.Add(lan, {.name = std::string(1, static_cast<char>('a' + i)),
                              .address = "10.0.0." + std::to_string(5 + i),
                              .macTail = static_cast<std::uint8_t>(i + 1)});
        }
    }
    ~WebManagementTest() override { ReleaseMergedTable(); }

    void Run(const std::function<void(QTreeWidget*)>& whenFilled) {
        CAccessPointDlg mainWindow;
        ModalDriver driver;
        driver.When("the first discovery", MainWindowFilled, [&] {
            whenFilled(DeviceList());
            ClickControl(IDCANCEL);
        });
        EXPECT_EQ(mainWindow.DoModal(), IDCANCEL);
        EXPECT_TRUE(driver.Finished());
    }

    TestNetwork network;
    int lan = network.AddInterface("10.0.0.200");
    RecordingUrlOpener opener;
    MessageBoxRecorder boxes;
};

TEST_F(WebManagementTest, OpensExactlyTheFirstSelectedRowsAddress) {
    Run([](QTreeWidget* list) {
        SelectRows(list, {2, 5});
        ClickControl(IDC_WEB_MANAGEMENT);
        // With no row selected the button may still be enabled; it then does nothing.
        list->clearSelection();
        ClickControl(IDC_WEB_MANAGEMENT);
    });
    EXPECT_EQ(opener.urls, std::vector<std::string>{"http://10.0.0.7"});
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(WebManagementTest, EachFailureHasItsMessageAndSuccessNone) {
    struct Case {
        OpenUrlOutcome outcome;
        const char* message;  // null: nothing shown
    };
    const Case cases[] = {
        {OpenUrlOutcome::kOpened, nullptr},
        {OpenUrlOutcome::kNoAssociation,
         "There is no application associated with the given filename extension."},
        {OpenUrlOutcome::kAssociationIncomplete,
         "The filename association is incomplete or invalid."},
        {OpenUrlOutcome::kFileNotFound, "The specified file was not found."},
        {OpenUrlOutcome::kPathInvalid, "The specified path is invalid."},
        {OpenUrlOutcome::kAccessDenied,
         "The operating system denied access to the specified file."},
        {OpenUrlOutcome::kOutOfMemory, "There was not enough memory to complete the operation."},
        {OpenUrlOutcome::kUnknownFailure, nullptr},
    };
    std::vector<std::vector<std::string>> shown;
    Run([&](QTreeWidget*) {
        for (const Case& c : cases) {
            opener.outcome = c.outcome;
            const std::size_t before = boxes.boxes().size();
            ClickControl(IDC_WEB_MANAGEMENT);
            const std::vector<std::string> all = boxes.Texts();
            shown.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        }
    });
    ASSERT_EQ(shown.size(), std::size(cases));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shown[i], cases[i].message != nullptr ? std::vector<std::string>{cases[i].message}
                                                        : std::vector<std::string>{});
    }
    EXPECT_EQ(opener.urls.size(), std::size(cases));
    for (const MessageBoxRequest& box : boxes.boxes()) {
        EXPECT_EQ(box.ownerId, IDD_ACCESSPOINT_DIALOG);
        EXPECT_EQ(box.icon, MB_ICONEXCLAMATION);
    }
}

TEST_F(WebManagementTest, WithoutAnOpenerTheUserIsToldThereIsNone) {
    InstallUrlOpener(nullptr);
    Run([](QTreeWidget*) { ClickControl(IDC_WEB_MANAGEMENT); });
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{"There is no application associated with the given filename "
                                       "extension."});
    EXPECT_TRUE(opener.urls.empty());
}

}  // namespace
