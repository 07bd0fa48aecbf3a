// Which window owns a new dialog or message box, and telling the window system so.
#include <QApplication>
#include <QWidget>
#include <QWindow>

#include "framework/DialogWindow.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

QWidget* ActiveOwner(const CWnd* self) {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    const CWnd* main = AfxGetMainWnd();
    return main != nullptr && main != self ? main->GetSafeHwnd() : nullptr;
}

void TieToOwner(QWidget* window) {
    QWidget* owner = window->parentWidget();
    if (owner == nullptr) {
        return;
    }
    window->winId();  // the window's handle, created now if it is not yet
    QWindow* handle = window->windowHandle();
    QWindow* ownerHandle = owner->window()->windowHandle();
    if (handle != nullptr && ownerHandle != nullptr && handle->transientParent() != ownerHandle) {
        handle->setTransientParent(ownerHandle);
    }
}
