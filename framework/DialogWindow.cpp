#include "framework/DialogWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QWindow>
#include <memory>

#include "framework/AccessibleInterfaces.h"
#include "framework/AccessibleName.h"
#include "framework/ControlId.h"
#include "framework/Dialog.h"
#include "framework/IconImage.h"
#include "framework/ListView.h"
#include "framework/PostedCall.h"
#include "framework/RadioButton.h"
#include "framework/StandardIds.h"
#include "framework/StaticText.h"
#include "framework/Translation.h"
#include "framework/Utf8Text.h"
#include "framework/WinApp.h"
#include "framework/WindowStyles.h"

namespace {

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

DialogWindow::DialogWindow(CDialog& dialog, const DialogTemplate& dialogTemplate, QWidget* owner)
    : QDialog(owner), dialog_(dialog), template_(dialogTemplate) {
    InstallAccessibleInterfaces();
    setWindowFlags(WindowFlagsFor(dialogTemplate));
    setWindowTitle(resourceText(dialogTemplate.caption));
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
    return ControlIdOf(widget);
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
        SetControlId(widget, entry.id);
        if (entry.accessibleName != nullptr || !HasCaption(entry.kind)) {
            widget->setAccessibleName(resourceText(AccessibleNameOf(template_, index).c_str()));
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
    relateLabels();
    // A group box frames controls that come after it in the template; it must not cover them.
    for (QWidget* widget : controls_) {
        if (qobject_cast<QGroupBox*>(widget) != nullptr) {
            widget->lower();
        }
    }
}

void DialogWindow::relateLabels() {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        auto* text = qobject_cast<StaticText*>(controls_[index]);
        if (text == nullptr) {
            continue;
        }
        const ControlTemplate& entry = template_.controls[index];
        text->setDecoration(IsDecoration(entry));
        // A text the program fills is a value; the caption beside it says what it is.
        const int label = entry.id != IDC_STATIC ? LabelIndexOf(template_, index) : -1;
        if (label >= 0 && template_.controls[static_cast<std::size_t>(label)].id == IDC_STATIC) {
            text->setLabel(qobject_cast<StaticText*>(controls_[static_cast<std::size_t>(label)]));
        }
    }
}

QWidget* DialogWindow::createControl(const ControlTemplate& entry, QButtonGroup*& radioGroup) {
    const QString text = resourceText(entry.text);
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
    // The group keeps one button checked; auto-exclusive is what assistive technology takes to
    // tell a radio button from a check box (a button in a group follows the group alone).
    radio->setAutoExclusive(true);
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
        // The picture drawn for the screen's scale, not the 32-pixel one enlarged.
        label->setPixmap(icon->icon.pixmap(QSize(32, 32), devicePixelRatioF()));
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

QString DialogWindow::resourceText(const char* source) const {
    if (source == nullptr || *source == '\0') {
        return {};
    }
    return FromUtf8(AfxTranslate(DialogTextContext(template_.id).c_str(), source));
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
    TieToOwner(this);
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
