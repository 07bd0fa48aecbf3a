// Message boxes, the wait cursor and the resources the framework finds for the application.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/MessageBox.h"
#include "framework/ResourceRegistry.h"
#include "framework/WaitCursor.h"
#include "framework/WinApp.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestDialog.h"

namespace {

using namespace framework_test;

TEST(MessageBox, CaptionIconOwnerAndPlainText) {
    TestDlg dialog;
    bool checked = false;
    ModalDriver driver;
    driver
        .When(
            "the test dialog", [&] { return TestDialogUp() && dialog.posted > 0; },
            [&] {
                CWaitCursor busy;
                dialog.MessageBox("<b>not bold</b>");
                EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            })
        .When(
            "the box", [] { return qobject_cast<QMessageBox*>(TopModal()) != nullptr; },
            [&] {
                auto* box = qobject_cast<QMessageBox*>(TopModal());
                EXPECT_EQ(box->windowTitle().toStdString(), AfxGetAppTitle());
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                EXPECT_EQ(box->textFormat(), Qt::PlainText);
                EXPECT_EQ(box->text(), QStringLiteral("<b>not bold</b>"));
                EXPECT_EQ(box->parentWidget(), dialog.GetSafeHwnd());
                EXPECT_EQ(box->buttons().size(), 1);
                EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
                checked = true;
                box->button(QMessageBox::Ok)->click();
            })
        .When("the dialog again", TestDialogUp, [&] { dialog.EndDialog(IDCANCEL); });
    dialog.DoModal();
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(checked);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Window managers draw the caption in a bold title font beside the window's buttons: a box
// sized for a short text alone cut its caption down to "a… er".
TEST(MessageBox, WideEnoughForItsWholeCaption) {
    const std::string captions[] = {AfxGetAppTitle(), "Access Point Management Utility 1.11"};
    for (const std::string& caption : captions) {
        int width = 0;
        ModalDriver driver;
        driver.When(
            "the box", [] { return qobject_cast<QMessageBox*>(TopModal()) != nullptr; },
            [&] {
                auto* box = qobject_cast<QMessageBox*>(TopModal());
                width = box->width();
                box->button(QMessageBox::Ok)->click();
            });
        ShowMessageBoxOver(nullptr, "Set Fail", caption.c_str(), 0);
        QFont bold = QApplication::font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        EXPECT_GE(width,
                  metrics.horizontalAdvance(QString::fromStdString(caption)) + 4 * metrics.height())
            << caption;
    }
}

TEST(MessageBox, HookSeesBoxesInsteadOfShowingThem) {
    std::vector<MessageBoxRequest> seen;
    SetMessageBoxHook([&](const MessageBoxRequest& request) {
        seen.push_back(request);
        return IDOK;
    });
    EXPECT_EQ(AfxMessageBox("first"), IDOK);
    EXPECT_EQ(AfxMessageBox(kNoSuchString, MB_ICONINFORMATION), IDOK);
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "first");
    EXPECT_EQ(seen[0].icon, MB_ICONEXCLAMATION);
    EXPECT_EQ(seen[0].caption, AfxGetAppTitle());
    EXPECT_EQ(seen[1].text, "");
    EXPECT_EQ(seen[1].icon, MB_ICONINFORMATION);
}

TEST(WaitCursor, EndsOnEveryPathOut) {
    try {
        CWaitCursor busy;
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QApplication::changeOverrideCursor(Qt::IBeamCursor);
        busy.Restore();
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw std::runtime_error("leaving early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ResourceRegistry, TemplatesAreFoundByIdentifierOnceRegistered) {
    constexpr int kUnregistered = 901;
    EXPECT_EQ(FindDialogTemplate(kUnregistered), nullptr);
    EXPECT_EQ(CDialog(kUnregistered).DoModal(), -1) << "no such template";
    static const DialogTemplate* const kTemplates[] = {&kTestTemplate};
    AfxRegisterDialogTemplates(kTemplates);
    EXPECT_EQ(FindDialogTemplate(IDD_TEST), &kTestTemplate);
    // The application's own stay registered beside it.
    ASSERT_NE(FindDialogTemplate(IDD_ABOUTBOX), nullptr);
    EXPECT_STREQ(FindDialogTemplate(IDD_ABOUTBOX)->caption, "Access Point Management");
}

}  // namespace
