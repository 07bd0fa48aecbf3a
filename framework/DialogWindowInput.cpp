// How a dialog window takes the keyboard and the mouse: the system menu, the arrow keys in a
// group of radio buttons, typing and pasting into an edit, the keys every dialog knows, and which
// input asks to close the window.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QWindow>
#include <memory>

#include "framework/Dialog.h"
#include "framework/DialogWindow.h"
#include "framework/RadioButton.h"
#include "framework/StandardIds.h"
#include "framework/StaticText.h"
#include "framework/Utf8Text.h"

namespace {

bool IsBackground(const QWidget* widget) {
    return qobject_cast<const StaticText*>(widget) != nullptr ||
           qobject_cast<const QLabel*>(widget) != nullptr ||
           qobject_cast<const QGroupBox*>(widget) != nullptr;
}

}  // namespace

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Only a right-click on the background (or on a label, which is part of it) opens the
    // system menu; the keys that open it are taken before they become context-menu events.
    if (event->reason() != QContextMenuEvent::Mouse) {
        event->ignore();
        return;
    }
    const QWidget* under = childAt(event->pos());
    if (under != nullptr && !IsBackground(under)) {
        event->ignore();
        return;
    }
    showSystemMenu(event->globalPos());
}

void DialogWindow::showSystemMenu(const QPoint& globalPos) {
    if (menuOpen_) {
        return;
    }
    QMenu menu(this);
    for (const CMenu::Item& item : dialog_.m_systemMenu.Items()) {
        if ((item.flags & MF_SEPARATOR) != 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(FromUtf8(item.text));
        action->setData(item.id);
        action->setEnabled((item.flags & MF_GRAYED) == 0);
    }
    menuOpen_ = true;
    QAction* chosen = menu.exec(globalPos);
    menuOpen_ = false;
    if (chosen != nullptr) {
        dialog_.OnSysCommandMsg(chosen->data().toUInt());
    }
}

bool DialogWindow::moveInRadioGroup(QWidget* from, const QKeyEvent& key) {
    const auto* radio = qobject_cast<const RadioButton*>(from);
    QButtonGroup* group = radio != nullptr ? radio->group() : nullptr;
    if (group == nullptr || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    int step = 0;
    switch (key.key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            step = -1;
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            step = 1;
            break;
        default:
            return false;
    }
    // Round the group, as the dialog manager goes, past buttons that are disabled; the button
    // reached is checked, which runs its handler as a click would.
    const QList<QAbstractButton*> buttons = group->buttons();
    const qsizetype count = buttons.size();
    const qsizetype at = buttons.indexOf(static_cast<QAbstractButton*>(from));
    for (qsizetype i = 1; i < count; ++i) {
        QAbstractButton* next = buttons[((at + step * i) % count + count) % count];
        if (next->isEnabled() && next->isVisible()) {
            next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            if (!next->isChecked()) {
                next->click();
            }
            break;
        }
    }
    return true;
}

bool DialogWindow::handleEditKey(QWidget* widget, const QKeyEvent& key) {
    const int id = controlId(widget);
    if (qobject_cast<QLineEdit*>(widget) == nullptr || id == 0) {
        return false;
    }
    if (key.matches(QKeySequence::Paste)) {
        return dialog_.OnEditPaste(id, ToUtf8(QGuiApplication::clipboard()->text()));
    }
    if (key.key() == Qt::Key_Backspace && key.modifiers() == Qt::NoModifier) {
        return dialog_.OnEditChar(id, '\b');
    }
    const QString text = key.text();
    if (text.size() == 1 && text[0].isPrint() && text[0].unicode() < 0x100) {
        return dialog_.OnEditChar(id, text[0].unicode());
    }
    return false;
}

void DialogWindow::pasteIntoEdit(QLineEdit* edit) {
    if (!dialog_.OnEditPaste(controlId(edit), ToUtf8(QGuiApplication::clipboard()->text()))) {
        edit->paste();
    }
}

void DialogWindow::showEditMenu(QLineEdit* edit, const QPoint& globalPos) {
    // The edit's own menu, with Paste going the way the paste key goes.
    std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
    if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, edit, [this, edit] { pasteIntoEdit(edit); });
    }
    menu->exec(globalPos);
}

bool DialogWindow::isCloseRequest(const QObject* receiver, const QEvent& event) const {
    if (receiver == nullptr || receiver != windowHandle()) {
        return false;
    }
    const QWidget* cancel = control(IDCANCEL);
    switch (event.type()) {
        case QEvent::Close:
            return true;
        case QEvent::KeyPress: {
            const auto& key = static_cast<const QKeyEvent&>(event);
            const Qt::KeyboardModifiers modifiers =
                key.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
            if (modifiers == Qt::NoModifier && key.key() == Qt::Key_Escape) {
                return true;
            }
            if (modifiers == Qt::AltModifier && key.key() == Qt::Key_F4) {
                return true;
            }
            const bool activates = key.key() == Qt::Key_Space || key.key() == Qt::Key_Return ||
                                   key.key() == Qt::Key_Enter;
            return modifiers == Qt::NoModifier && activates && cancel != nullptr &&
                   QApplication::focusWidget() == cancel;
        }
        case QEvent::MouseButtonRelease: {
            const auto& mouse = static_cast<const QMouseEvent&>(event);
            const QWidget* under = childAt(mouse.position().toPoint());
            return mouse.button() == Qt::LeftButton && under != nullptr && under == cancel &&
                   under->isEnabled();
        }
        default:
            return false;
    }
}

bool DialogWindow::handleDialogKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key.key() == Qt::Key_F4 && modifiers == Qt::AltModifier) {
        dialog_.OnSysCommandMsg(SC_CLOSE);
        return true;
    }
    const bool menuKey = (key.key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
                         (key.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier) ||
                         (key.key() == Qt::Key_Space && modifiers == Qt::AltModifier);
    if (menuKey) {
        showSystemMenu(mapToGlobal(QPoint(0, 0)));
        return true;
    }
    if (key.key() == Qt::Key_F1 && modifiers == Qt::NoModifier) {
        dialog_.RouteCommand(ID_HELP, 0);
        return true;
    }
    return false;
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle()) {
        if (!drawn_ && windowHandle()->isExposed()) {
            flushPosted();
        }
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched);
            edit != nullptr && controlId(edit) != 0) {
            showEditMenu(edit, static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A disabled dialog (one waiting for a long operation) takes no keys, its own included.
        const auto& key = *static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        return isEnabled() && (moveInRadioGroup(widget, key) || handleDialogKey(key) ||
                               handleEditKey(widget, key));
    }
    return QDialog::eventFilter(watched, event);
}
