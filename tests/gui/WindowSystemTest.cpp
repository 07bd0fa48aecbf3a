// What the window system is told of each window: the owner it belongs over (a Wayland toplevel's
// parent, X11's transient-for) and the frame its template asks for. Runs on any platform, and
// under a Wayland compositor as well (tests/gui/wayland_run.sh).
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QWindow>
#include <string>
#include <vector>

#include "config/IpConfigDlg.h"
#include "details/DetailInfoDlg.h"
#include "framework/Dialog.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"

namespace {

struct Seen {
    std::string what;
    QWindow* window = nullptr;
    QWindow* transientParent = nullptr;
    Qt::WindowFlags flags;
};

Seen SeeTop(const std::string& what) {
    QWidget* top = TopModal();
    QWindow* window = top != nullptr ? top->windowHandle() : nullptr;
    return {what, window, window != nullptr ? window->transientParent() : nullptr,
            window != nullptr ? window->flags() : Qt::WindowFlags()};
}

TEST(WindowSystem, EveryDialogAndBoxIsTiedToItsOwnerWithItsTemplatesFrameOnly) {
    CDialog main(IDD_ACCESSPOINT_DIALOG);
    CIpConfigDlg config;
    CDetailInfoDlg detail;
    std::vector<Seen> seen;
    const auto isDialog = [](int id) { return [id] { return TopDialogId() == id; }; };
    const auto isBox = [] { return qobject_cast<QMessageBox*>(TopModal()) != nullptr; };
    ModalDriver driver;
    driver.When("the main window", isDialog(IDD_ACCESSPOINT_DIALOG), [&] {
        seen.push_back(SeeTop("main window"));
        config.DoModal();
        detail.DoModal();
        main.EndDialog(IDCANCEL);
    });
    driver.When("IP Configuration", isDialog(IDD_IPCONFIG), [&] {
        seen.push_back(SeeTop("IP Configuration"));
        config.MessageBox("Invalid or missing data.");
        config.EndDialog(IDCANCEL);
    });
    driver.When("its message box", isBox, [&] {
        seen.push_back(SeeTop("message box"));
        qobject_cast<QMessageBox*>(TopModal())->done(QMessageBox::Ok);
    });
    driver.When("Detail Info", isDialog(IDD_DETAIL_INFO), [&] {
        seen.push_back(SeeTop("Detail Info"));
        detail.EndDialog(IDOK);
    });
    main.DoModal();
    EXPECT_TRUE(driver.Finished());

    ASSERT_EQ(seen.size(), 4u);
    const QWindow* owners[] = {nullptr, seen[0].window, seen[1].window, seen[0].window};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(seen[i].what);
        ASSERT_NE(seen[i].window, nullptr);
        EXPECT_EQ(seen[i].transientParent, owners[i]);
        const Qt::WindowFlags flags = seen[i].flags;
        EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << "or the system adds boxes";
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    }
}

}  // namespace
