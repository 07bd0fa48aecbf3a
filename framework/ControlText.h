#pragma once

#include <QString>
#include <optional>

class QWidget;

// The one place that knows where each kind of control keeps its text: a static text's or a
// label's text, a button's or an edit's, a group box's title, and a top-level window's caption.
// Empty for a widget that shows no text.
std::optional<QString> ControlText(const QWidget* widget);
// Does nothing to a widget that shows no text.
void SetControlText(QWidget* widget, const QString& text);
