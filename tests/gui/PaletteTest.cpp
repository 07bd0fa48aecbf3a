// A dark desktop (qt6ct's "darker", say): every text of every dialog is drawn in the palette's
// text colours, none in a colour of its own that would vanish on the dark background.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPalette>
#include <string>

#include "framework/ControlText.h"
#include "framework/Dialog.h"
#include "framework/DialogWindow.h"
#include "framework/ResourceRegistry.h"
#include "tests/gui/ModalDriver.h"

namespace {

// Yellow, which no style draws text in by itself, on near black.
const QColor kText(255, 255, 0);

QPalette DarkPalette() {
    QPalette dark;
    for (const QPalette::ColorRole role :
         {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase}) {
        dark.setColor(role, QColor(30, 30, 30));
    }
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, kText);
    }
    return dark;
}

bool ShowsPaletteText(QWidget* control) {
    const QImage image = control->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() > 200 && pixel.blue() < 90) {
                return true;
            }
        }
    }
    return false;
}

TEST(Palette, EveryTextOfEveryDialogFollowsADarkPalette) {
    const QPalette original = QApplication::palette();
    QApplication::setPalette(DarkPalette());
    int texts = 0;
    for (int id = 100; id < 200; ++id) {
        if (FindDialogTemplate(id) == nullptr) {
            continue;
        }
        CDialog dialog(id);
        ModalDriver driver;
        driver.When(
            "dialog " + std::to_string(id), [id] { return TopDialogId() == id; },
            [&texts] {
                auto* window = qobject_cast<DialogWindow*>(TopModal());
                for (QWidget* control : window->controls()) {
                    const QString text = ControlText(control).value_or(QString());
                    if (text.trimmed().size() < 2) {
                        continue;  // the dots between the octets, empty texts
                    }
                    ++texts;
                    EXPECT_TRUE(ShowsPaletteText(control))
                        << text.toStdString() << " is not drawn in the palette's colour";
                }
                qobject_cast<QDialog*>(TopModal())->done(0);
            });
        dialog.DoModal();
    }
    QApplication::setPalette(original);
    EXPECT_GE(texts, 20);
}

}  // namespace
