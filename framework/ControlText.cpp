#include "framework/ControlText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "framework/StaticText.h"

namespace {

// Where the text of a widget lives: read, or replaced when `replacement` is given.
std::optional<QString> AccessText(QWidget* widget, const QString* replacement) {
    auto use = [replacement](auto* holder, auto get, auto set) -> std::optional<QString> {
        if (replacement != nullptr) {
            (holder->*set)(*replacement);
        }
        return (holder->*get)();
    };
    if (auto* label = qobject_cast<StaticText*>(widget)) {
        return use(label, &StaticText::text, &StaticText::setText);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return use(button, &QAbstractButton::text, &QAbstractButton::setText);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return use(edit, &QLineEdit::text, &QLineEdit::setText);
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        return use(box, &QGroupBox::title, &QGroupBox::setTitle);
    }
    if (auto* plain = qobject_cast<QLabel*>(widget)) {
        return use(plain, &QLabel::text, &QLabel::setText);
    }
    if (widget != nullptr && widget->isWindow()) {
        return use(widget, &QWidget::windowTitle, &QWidget::setWindowTitle);
    }
    return std::nullopt;
}

}  // namespace

std::optional<QString> ControlText(const QWidget* widget) {
    // Only read: the replacement is null.
    return AccessText(const_cast<QWidget*>(widget), nullptr);
}

void SetControlText(QWidget* widget, const QString& text) {
    AccessText(widget, &text);
}
