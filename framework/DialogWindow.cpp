#include "framework/DialogWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QWindow>
#include <memory>

#include "framework/AccessibleName.h"
#include "framework/Dialog.h"
#include "framework/IconImage.h"
#include "framework/Latin1.h"
#include "framework/ListView.h"
#include "framework/PostedCall.h"
#include "framework/RadioButton.h"
#include "framework/StandardIds.h"
#include "framework/StaticText.h"
#include "framework/WinApp.h"
#include "framework/WindowStyles.h"

namespace {

constexpr const char* kControlIdProperty = "controlId";
// Set on a group of radio buttons whose template gives one of them a tab stop.
constexpr const char* kTabStopGroupProperty = "tabStopGroup";
// How long a shown window may stay undrawn before posted commands run anyway (a window that
// starts minimised, or a desktop that never reports it drawn).
constexpr int kUndrawnPostDelayMs = 500;

// Controls whose caption names them; the others take their name from their label.
bool HasCaption(ControlKind kind) {
    switch (kind) {
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton:
        case ControlKind::kAutoRadioButton:
        case ControlKind::kGroupBox:
        case ControlKind::kStaticText:
            return true;
        case ControlKind::kStaticIcon:
        case ControlKind::kEdit:
        case ControlKind::kListView:
            return false;
    }
    return false;
}

bool IsBackground(const QWidget* widget) {
    return qobject_cast<const StaticText*>(widget) != nullptr ||
           qobject_cast<const QLabel*>(widget) != nullptr ||
           qobject_cast<const QGroupBox*>(widget) != nullptr;
}

QButtonGroup* RadioGroupOf(const QWidget* widget) {
    const auto* radio = qobject_cast<const RadioButton*>(widget);
    return radio != nullptr ? radio->group() : nullptr;
}

bool IsTabStopRadioGroup(const QButtonGroup* group) {
    return group != nullptr && group->property(kTabStopGroupProperty).toBool();
}

// A group of radio buttons is one tab stop, as in any desktop dialog: Tab reaches its checked
// button (the first one while none is), and the arrow keys move within it.
void UpdateRadioTabStop(QButtonGroup* group) {
    const QList<QAbstractButton*> buttons = group->buttons();
    if (buttons.isEmpty()) {
        return;
    }
    QAbstractButton* stop =
        group->checkedButton() != nullptr ? group->checkedButton() : buttons.front();
    for (QAbstractButton* button : buttons) {
        button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

}  // namespace

Qt::WindowFlags WindowFlagsFor(const DialogTemplate& dialogTemplate) {
    // An application window gets a task-bar entry of its own; other dialogs stay with their
    // owner. The window manager is asked for exactly the decorations the template names and no
    // others: without the customise hint it would add the minimise and maximise boxes.
    const std::uint32_t style = dialogTemplate.style;
    Qt::WindowFlags flags =
        (dialogTemplate.exStyle & WS_EX_APPWINDOW) != 0 ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint;
    }
    if ((style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if ((style & WS_MINIMIZEBOX) != 0) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if ((style & WS_MAXIMIZEBOX) != 0) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    if ((style & DS_MODALFRAME) != 0) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    return flags;
}

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

DialogWindow::DialogWindow(CDialog& dialog, const DialogTemplate& dialogTemplate, QWidget* owner)
    : QDialog(owner), dialog_(dialog), template_(dialogTemplate) {
    setWindowFlags(WindowFlagsFor(dialogTemplate));
    setWindowTitle(FromLatin1(dialogTemplate.caption));
    setFont(DialogFont(dialogTemplate.fontFace, dialogTemplate.fontPointSize));
    baseUnits_ = BaseUnitsOf(font());
    setFixedSize(DialogUnitsToPixels(dialogTemplate.rect, baseUnits_).size());
    createControls();
    installEventFilter(this);
}

DialogWindow::~DialogWindow() = default;

QWidget* DialogWindow::control(int id) const {
    for (QWidget* widget : controls_) {
        if (controlId(widget) == id) {
            return widget;
        }
    }
    return nullptr;
}

int DialogWindow::controlId(const QWidget* widget) {
    if (widget == nullptr) {
        return 0;
    }
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

CDialog* DialogWindow::dialogOf(const QWidget* window) {
    const auto* dialogWindow = qobject_cast<const DialogWindow*>(window);
    return dialogWindow != nullptr ? &dialogWindow->dialog_ : nullptr;
}

void DialogWindow::createControls() {
    QButtonGroup* radioGroup = nullptr;
    QWidget* previousTabStop = nullptr;
    for (std::size_t index = 0; index < template_.controls.size(); ++index) {
        const ControlTemplate& entry = template_.controls[index];
        QWidget* widget = createControl(entry, radioGroup);
        widget->setProperty(kControlIdProperty, entry.id);
        if (entry.accessibleName != nullptr || !HasCaption(entry.kind)) {
            widget->setAccessibleName(FromLatin1(AccessibleNameOf(template_, index)));
        }
        const QRect place = DialogUnitsToPixels(entry.rect, baseUnits_);
        if (entry.kind == ControlKind::kStaticIcon) {
            // An icon control takes the icon's own size, whatever the template says.
            widget->setGeometry(QRect(place.topLeft(), QSize(32, 32)));
        } else {
            widget->setGeometry(place);
        }
        if ((entry.style & WS_DISABLED) != 0) {
            widget->setEnabled(false);
        }
        // Every button of a radio group with a tab stop has its place in the chain; which one
        // Tab stops at follows the checked one.
        if ((entry.style & WS_TABSTOP) != 0 || IsTabStopRadioGroup(RadioGroupOf(widget))) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        widget->installEventFilter(this);
        controls_.push_back(widget);
    }
    for (QButtonGroup* group : findChildren<QButtonGroup*>(Qt::FindDirectChildrenOnly)) {
        if (IsTabStopRadioGroup(group)) {
            UpdateRadioTabStop(group);
            connect(group, &QButtonGroup::buttonToggled, this,
                    [group] { UpdateRadioTabStop(group); });
        }
    }
    // A group box frames controls that come after it in the template; it must not cover them.
    for (QWidget* widget : controls_) {
        if (qobject_cast<QGroupBox*>(widget) != nullptr) {
            widget->lower();
        }
    }
}

QWidget* DialogWindow::createControl(const ControlTemplate& entry, QButtonGroup*& radioGroup) {
    const QString text = FromLatin1(entry.text != nullptr ? entry.text : "");
    if (entry.kind != ControlKind::kAutoRadioButton && (entry.style & WS_GROUP) != 0) {
        radioGroup = nullptr;
    }
    switch (entry.kind) {
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton:
            return createPushButton(entry, text);
        case ControlKind::kAutoRadioButton:
            return createRadioButton(entry, text, radioGroup);
        case ControlKind::kGroupBox:
            return createGroupBox(text);
        case ControlKind::kStaticText:
            return createStaticText(text);
        case ControlKind::kStaticIcon:
            return createStaticIcon(entry);
        case ControlKind::kEdit:
            return createEdit(entry);
        case ControlKind::kListView:
            return createListView(entry);
    }
    return new QWidget(this);
}

QWidget* DialogWindow::createPushButton(const ControlTemplate& entry, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(true);
    button->setDefault(entry.kind == ControlKind::kDefPushButton);
    button->setFocusPolicy(Qt::ClickFocus);
    connect(button, &QPushButton::clicked, this,
            [this, id = entry.id] { dialog_.RouteCommand(id, BN_CLICKED); });
    return button;
}

QWidget* DialogWindow::createRadioButton(const ControlTemplate& entry, const QString& text,
                                         QButtonGroup*& radioGroup) {
    auto* radio = new RadioButton(text, this);
    radio->setAutoExclusive(false);
    radio->setFocusPolicy(Qt::ClickFocus);
    // A group of radio buttons runs from one with WS_GROUP to the next control with it.
    if (radioGroup == nullptr || (entry.style & WS_GROUP) != 0) {
        radioGroup = new QButtonGroup(this);
        radioGroup->setExclusive(true);
    }
    radioGroup->addButton(radio);
    if ((entry.style & WS_TABSTOP) != 0) {
        radioGroup->setProperty(kTabStopGroupProperty, true);
    }
    connect(radio, &QRadioButton::clicked, this,
            [this, id = entry.id] { dialog_.RouteCommand(id, BN_CLICKED); });
    return radio;
}

QWidget* DialogWindow::createGroupBox(const QString& text) {
    auto* box = new QGroupBox(text, this);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QWidget* DialogWindow::createStaticText(const QString& text) {
    auto* label = new StaticText(this);
    label->setText(text);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QWidget* DialogWindow::createStaticIcon(const ControlTemplate& entry) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    if (HICON icon = AfxLoadIcon(entry.iconId)) {
        label->setPixmap(icon->icon.pixmap(32, 32));
    }
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QWidget* DialogWindow::createEdit(const ControlTemplate& entry) {
    auto* edit = new QLineEdit(this);
    edit->setFrame((entry.style & WS_BORDER) != 0);
    edit->setFocusPolicy(Qt::ClickFocus);
    if ((entry.style & ES_NUMBER) != 0) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    // Every change of the text, typed or set by the program, is reported.
    connect(edit, &QLineEdit::textChanged, this,
            [this, id = entry.id] { dialog_.RouteCommand(id, EN_CHANGE); });
    return edit;
}

QWidget* DialogWindow::createListView(const ControlTemplate& entry) {
    auto* list = new ListView(this);
    list->setFrameShape((entry.style & WS_BORDER) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
    list->setFocusPolicy(Qt::ClickFocus);
    connect(list, &ListView::rowStateChanged, this,
            [this, id = entry.id](int row, unsigned oldState, unsigned newState) {
                NMLISTVIEW change;
                change.hdr.idFrom = id;
                change.hdr.code = LVN_ITEMCHANGED;
                change.iItem = row;
                change.uOldState = oldState;
                change.uNewState = newState;
                change.uChanged = LVIF_STATE;
                LRESULT result = 0;
                dialog_.OnNotifyMsg(&change.hdr, &result);
            });
    return list;
}

void DialogWindow::focusFirstTabStop() {
    for (QWidget* widget : controls_) {
        if (widget->focusPolicy() == Qt::StrongFocus && widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                edit->selectAll();
            }
            return;
        }
    }
}

void DialogWindow::post(std::function<void()> call) {
    if (drawn_) {
        PostCall(this, std::move(call));
    } else {
        posted_.push_back(std::move(call));
    }
}

void DialogWindow::flushPosted() {
    drawn_ = true;
    std::vector<std::function<void()>> calls;
    calls.swap(posted_);
    for (std::function<void()>& call : calls) {
        PostCall(this, std::move(call));
    }
}

void DialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (drawn_) {
        return;
    }
    // Posted commands wait until the window has been drawn once, so that a long first command
    // (a discovery) runs under a visible window rather than an empty frame.
    if (QWindow* handle = windowHandle()) {
        handle->removeEventFilter(this);
        handle->installEventFilter(this);
    }
    QTimer::singleShot(kUndrawnPostDelayMs, this, [this] {
        if (!drawn_) {
            flushPosted();
        }
    });
}

void DialogWindow::reject() {
    dialog_.RouteCommand(IDCANCEL, BN_CLICKED);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The close box, and Alt+F4 where the window manager takes it, are the system's Close.
    dialog_.OnSysCommandMsg(SC_CLOSE);
    if (isVisible()) {
        event->ignore();
    } else {
        event->accept();
    }
}

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
        QAction* action = menu.addAction(FromLatin1(item.text));
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
    QButtonGroup* group = RadioGroupOf(from);
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
        return dialog_.OnEditPaste(id, ToLatin1(QGuiApplication::clipboard()->text()));
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
    if (!dialog_.OnEditPaste(controlId(edit), ToLatin1(QGuiApplication::clipboard()->text()))) {
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
