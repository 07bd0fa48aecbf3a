#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/DialogUnits.h"
#include "framework/DialogWindow.h"
#include "framework/Edit.h"
#include "framework/ListCtrl.h"
#include "framework/ListView.h"
#include "framework/MessageBox.h"
#include "framework/Static.h"
#include "framework/StaticText.h"
#include "framework/WaitCursor.h"
#include "framework/WinApp.h"
#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestDialog.h"

namespace {

using namespace framework_test;

TEST(DialogUnits, ScaleByTheFontAndRoundToNearest) {
    EXPECT_EQ(MulDiv(7, 6, 4), 11);    // 10.5 rounds up
    EXPECT_EQ(MulDiv(47, 13, 8), 76);  // 76.375
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);   // halves away from zero
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
    EXPECT_EQ(DialogUnitsToPixels({7, 47, 384, 110}, {6, 13}), QRect(11, 76, 576, 179));
    EXPECT_EQ(DialogUnitsToPixels({400, 195, 400, 195}, {7, 13}).size(), QSize(700, 317));
}

TEST(Dialog, WindowAndControlsFollowTheTemplate) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] {
        auto* window = qobject_cast<DialogWindow*>(TopModal());
        const DialogBaseUnits units = window->baseUnits();
        EXPECT_EQ(units.x, BaseUnitsOf(window->font()).x);
        EXPECT_EQ(window->size(), DialogUnitsToPixels(kTestTemplate.rect, units).size());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Framework test"));
        EXPECT_EQ(TopControl(IDC_LIST)->geometry(), DialogUnitsToPixels(kControls[7].rect, units));
        // Template order is tab order; the first tab stop has the focus.
        EXPECT_EQ(CWnd::GetFocus(), &dialog.m_octet1);
        EXPECT_EQ(dialog.GetDlgItem(IDC_OCTET1), &dialog.m_octet1);
        EXPECT_EQ(dialog.GetDlgItem(999), nullptr);
        QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton);
    });
}

TEST(Dialog, PostedCommandRunsOnceFromTheLoopOnceShown) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] { QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton); });
    EXPECT_FALSE(dialog.postedBeforeLoop);
    EXPECT_EQ(dialog.posted, 1);
    EXPECT_TRUE(dialog.visibleWhenPosted);
    EXPECT_FALSE(dialog.IsWindow()) << "the window is gone once DoModal returns";
}

TEST(Dialog, EndDialogDuringInitialisationNeverShowsTheWindow) {
    TestDlg dialog;
    dialog.endInInit = true;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.posted, 0) << "a posted command dies with its window";
}

TEST(Dialog, FirstMatchingMapEntryRunsAndEnterPressesTheDefaultButton) {
    TestDlg dialog;
    const int result =
        RunTestDialog(dialog, [&] { QTest::keyClick(TopControl(IDC_OCTET2), Qt::Key_Return); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.firstOkEntry, 1);
}

TEST(Dialog, EscapeCancels) {
    TestDlg dialog;
    EXPECT_EQ(
        RunTestDialog(dialog, [] { QTest::keyClick(TopControl(IDC_OCTET1), Qt::Key_Escape); }),
        IDCANCEL);
}

TEST(Dialog, EditsTakeDigitsOnlyUpToTheirLimitAndReportEveryChange) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] {
        dialog.m_octet2.SetWindowText("99");
        QTest::keyClicks(TopControl(IDC_OCTET1), "1a2");
        EXPECT_EQ(dialog.m_octet1.GetWindowText(), "12");
        EXPECT_EQ(dialog.octet1Changes, 2);
        // The third digit moves on to the next field, with its text selected.
        QTest::keyClicks(TopControl(IDC_OCTET1), "34");
        EXPECT_EQ(dialog.m_octet1.GetWindowText(), "123");
        EXPECT_EQ(CWnd::GetFocus(), &dialog.m_octet2);
        EXPECT_EQ(qobject_cast<QLineEdit*>(TopControl(IDC_OCTET2))->selectedText(),
                  QStringLiteral("99"));
        // A change made by the program is reported too.
        dialog.m_octet1.SetWindowText("7");
        EXPECT_EQ(dialog.octet1Changes, 4);
        dialog.m_octet1.EnableWindow(false);
        EXPECT_FALSE(dialog.m_octet1.IsWindowEnabled());
        dialog.EndDialog(IDCANCEL);
    });
}

TEST(Dialog, RadioButtonsFormGroupsFromOneGroupStyleToTheNext) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] {
        dialog.CheckRadioButton(IDC_FIRST, IDC_SECOND, IDC_SECOND);
        dialog.CheckRadioButton(IDC_OTHER, IDC_OTHER, IDC_OTHER);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SECOND), BST_CHECKED);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FIRST), BST_UNCHECKED);
        QTest::mouseClick(TopControl(IDC_FIRST), Qt::LeftButton);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FIRST), BST_CHECKED);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SECOND), BST_UNCHECKED);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_OTHER), BST_CHECKED) << "another group";
        dialog.CheckRadioButton(IDC_FIRST, IDC_SECOND, 0);
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FIRST), BST_UNCHECKED);
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(dialog.clicks, std::vector<int>{IDC_FIRST}) << "checking by program is silent";
}

TEST(Dialog, StaticTextIsPlainUtf8) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] {
        const std::string text = "<b>x</b>\tA & B \xC3\xA9";
        dialog.m_text.SetWindowText(text);
        EXPECT_EQ(dialog.m_text.GetWindowText(), text);
        EXPECT_EQ(qobject_cast<StaticText*>(TopControl(IDC_TEXT))->text(),
                  QStringLiteral("<b>x</b>\tA & B ") + QChar(0xE9));
        dialog.EndDialog(IDCANCEL);
    });
}

TEST(Dialog, SystemMenuFromTheBackgroundOrTheKeyboard) {
    TestDlg dialog;
    std::vector<QString> items;
    bool menuOverButton = true;
    ModalDriver driver;
    driver
        .When(
            "the test dialog", [&] { return TestDialogUp() && dialog.posted > 0; },
            [&] {
                // Not over a control that is not part of the background.
                QWidget* button = TopControl(IDCANCEL);
                QContextMenuEvent onButton(QContextMenuEvent::Mouse, QPoint(3, 3),
                                           button->mapToGlobal(QPoint(3, 3)));
                QApplication::sendEvent(button, &onButton);
                menuOverButton = QApplication::activePopupWidget() != nullptr;
                // Over the static text, which is background.
                QWidget* label = TopControl(IDC_TEXT);
                QContextMenuEvent onLabel(QContextMenuEvent::Mouse, QPoint(3, 3),
                                          label->mapToGlobal(QPoint(3, 3)));
                QApplication::sendEvent(label, &onLabel);
            })
        .When(
            "the menu", [] { return QApplication::activePopupWidget() != nullptr; },
            [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                for (QAction* action : menu->actions()) {
                    items.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
                    if (action->data().toUInt() == IDM_EXTRA) {
                        QTest::mouseClick(menu, Qt::LeftButton, {},
                                          menu->actionGeometry(action).center());
                    }
                }
            })
        .When(
            "the dialog again", [] { return QApplication::activePopupWidget() == nullptr; },
            [] { QTest::keyClick(TopControl(IDC_OCTET1), Qt::Key_Menu); })
        .When(
            "the menu again", [] { return QApplication::activePopupWidget() != nullptr; },
            [] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QTest::mouseClick(menu, Qt::LeftButton, {},
                                  menu->actionGeometry(menu->actions().front()).center());
            });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Finished());
    EXPECT_FALSE(menuOverButton);
    EXPECT_EQ(items, (std::vector<QString>{QStringLiteral("&Close\tAlt+F4"), QStringLiteral("-"),
                                           QStringLiteral("&Extra")}));
    EXPECT_EQ(dialog.sysCommands, (std::vector<unsigned>{IDM_EXTRA, SC_CLOSE}));
}

TEST(Dialog, ListReportsEveryRowStateChangeAndKeepsInsertionOrder) {
    TestDlg dialog;
    RunTestDialog(dialog, [&] {
        CListCtrl& list = dialog.m_list;
        EXPECT_EQ(list.InsertItem(0, "zeta"), 0);
        EXPECT_EQ(list.InsertItem(5, "alpha"), 1);
        EXPECT_TRUE(list.SetItemText(1, 1, "value"));
        EXPECT_FALSE(list.SetItemText(2, 0, "no such row"));
        EXPECT_EQ(list.GetItemText(0, 0), "zeta");
        // Clicking a heading sorts nothing.
        auto* view = qobject_cast<ListView*>(TopControl(IDC_LIST));
        QTest::mouseClick(view->header()->viewport(), Qt::LeftButton, {},
                          QPoint(view->header()->sectionPosition(0) + 5, 5));
        EXPECT_EQ(list.GetItemText(0, 0), "zeta");

        dialog.itemChanges.clear();
        list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
        list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
        ASSERT_EQ(dialog.itemChanges.size(), 2u);
        EXPECT_EQ(dialog.itemChanges[0].iItem, 1);
        EXPECT_EQ(dialog.itemChanges[0].hdr.idFrom, IDC_LIST);
        EXPECT_EQ(dialog.itemChanges[0].uOldState & LVIS_SELECTED, 0u);
        EXPECT_EQ(dialog.itemChanges[0].uNewState & LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);

        list.SetItemState(1, LVIS_FOCUSED, LVIS_FOCUSED);
        ASSERT_EQ(dialog.itemChanges.size(), 3u);
        EXPECT_EQ(dialog.itemChanges[2].uNewState, LVIS_SELECTED | LVIS_FOCUSED);

        list.SetItemState(-1, 0, LVIS_SELECTED);
        EXPECT_EQ(list.GetItemState(0, LVIS_SELECTED) | list.GetItemState(1, LVIS_SELECTED), 0u);
        const std::size_t before = dialog.itemChanges.size();
        EXPECT_EQ(before, 5u);
        list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
        list.DeleteAllItems();
        EXPECT_EQ(dialog.itemChanges.size(), before + 1) << "deleting rows reports nothing";
        EXPECT_EQ(list.GetItemCount(), 0);
        dialog.EndDialog(IDCANCEL);
    });
}

}  // namespace
