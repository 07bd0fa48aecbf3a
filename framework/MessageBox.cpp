#include "framework/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "framework/DialogWindow.h"
#include "framework/Latin1.h"
#include "framework/LoadString.h"
#include "framework/StandardIds.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

namespace {

MessageBoxHook g_hook;

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
    QMessageBox box(IconOf(request.icon), FromLatin1(request.caption), FromLatin1(request.text),
                    QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
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
