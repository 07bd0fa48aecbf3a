#include "framework/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <algorithm>

#include "framework/DialogWindow.h"
#include "framework/LoadString.h"
#include "framework/StandardIds.h"
#include "framework/Utf8Text.h"
#include "framework/WinApp.h"
#include "framework/WindowStyles.h"
#include "framework/Wnd.h"

namespace {

MessageBoxHook g_hook;

constexpr DialogTemplate kMessageBoxFrame = {
    .id = 0,
    .caption = "",
    .rect = {},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    .exStyle = 0,
    .fontFace = "",
    .fontPointSize = 8,
    .controls = {},
};

QMessageBox::Icon IconOf(unsigned icon) {
    switch (icon) {
        case MB_ICONHAND:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::Warning;
    }
}

// The window manager draws the caption in a title font of its own, often bold and larger than
// the box's, beside the window's icon and buttons; a box sized for its text alone shows the
// caption cut to "a… er". So the box is at least as wide as that title bar needs.
void WidenForCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    QFont titleFont = box.font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0) {
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    }
    const QFontMetrics metrics(titleFont);
    // Room for the icon and up to four buttons, each about a line high, and the frame's edges.
    int width = metrics.horizontalAdvance(box.windowTitle()) + 6 * metrics.height() + 32;
    if (const QScreen* screen = box.screen()) {
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    }
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    g_hook = std::move(hook);
}

int ShowMessageBoxOver(QWidget* owner, std::string_view text, const char* caption, unsigned type) {
    if (owner == nullptr) {
        owner = ActiveOwner(nullptr);
    }
    MessageBoxRequest request;
    request.text = std::string(text);
    request.caption = caption != nullptr ? std::string(caption) : AfxGetAppTitle();
    request.icon = (type & MB_ICONMASK) != 0 ? (type & MB_ICONMASK) : MB_ICONEXCLAMATION;
    if (owner != nullptr) {
        if (const auto* dialog = qobject_cast<const DialogWindow*>(owner->window())) {
            request.ownerId = dialog->dialogTemplate().id;
        }
    }
    if (g_hook) {
        return g_hook(request);
    }
    QMessageBox box(IconOf(request.icon), FromUtf8(request.caption), FromUtf8(request.text),
                    QMessageBox::Ok, owner);
    // A message box's frame is a modal dialog's: caption, system menu and close box, no
    // minimise or maximise box, whatever the window system would add by default.
    box.setWindowFlags(WindowFlagsFor(kMessageBoxFrame));
    box.setTextFormat(Qt::PlainText);
    TieToOwner(&box);
    WidenForCaption(box);
    // A box shown during a long operation still takes the mouse: it gets the arrow, and the
    // wait cursor comes back when it closes.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    box.exec();
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return IDOK;
}

int AfxMessageBox(std::string_view text, unsigned type) {
    return ShowMessageBoxOver(nullptr, text, nullptr, type);
}

int AfxMessageBox(int stringId, unsigned type) {
    return AfxMessageBox(AfxLoadString(stringId), type);
}
