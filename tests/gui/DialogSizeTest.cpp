// Every dialog at its template's size in the desktop's own font, whatever the screen's scale:
// the test runs once as it is and once more with QT_SCALE_FACTOR=2, as on a high-DPI screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <string>

#include "framework/Dialog.h"
#include "framework/DialogUnits.h"
#include "framework/DialogWindow.h"
#include "framework/ResourceRegistry.h"
#include "tests/gui/ModalDriver.h"

namespace {

TEST(DialogSize, EveryDialogHoldsItsControlsAndTheirCaptionsAtTheScreensScale) {
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    int dialogs = 0;
    for (int id = 100; id < 200; ++id) {
        if (FindDialogTemplate(id) == nullptr) {
            continue;
        }
        ++dialogs;
        SCOPED_TRACE("dialog " + std::to_string(id));
        CDialog dialog(id);
        ModalDriver driver;
        driver.When(
            "the dialog", [id] { return TopDialogId() == id; },
            [scale] {
                auto* window = qobject_cast<DialogWindow*>(TopModal());
                EXPECT_DOUBLE_EQ(window->devicePixelRatioF(), scale);
                // Sized in logical pixels from the template and the font; the screen's scale
                // multiplies the whole window, text and all.
                const QRect expected =
                    DialogUnitsToPixels(window->dialogTemplate().rect, window->baseUnits());
                EXPECT_EQ(window->size(), expected.size());
                for (QWidget* control : window->controls()) {
                    EXPECT_TRUE(window->rect().contains(control->geometry()))
                        << "control " << DialogWindow::controlId(control) << " sticks out";
                    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                        // A push button's own minimum is wider than its caption needs; a
                        // radio button's includes its indicator.
                        const int needed = qobject_cast<QPushButton*>(button) != nullptr
                                               ? button->fontMetrics().horizontalAdvance(
                                                     button->text().remove('&')) +
                                                     4
                                               : button->sizeHint().width();
                        EXPECT_LE(needed, button->width())
                            << "the caption of " << button->text().toStdString() << " is cut off";
                    }
                }
                qobject_cast<QDialog*>(TopModal())->done(0);
            });
        dialog.DoModal();
    }
    EXPECT_GE(dialogs, 2);
}

}  // namespace
