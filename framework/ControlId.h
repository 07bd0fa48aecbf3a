#pragma once

class QWidget;

// The template identifier a dialog's window gives each of its controls, kept on the widget;
// 0 for a widget that has none.
int ControlIdOf(const QWidget* widget);
void SetControlId(QWidget* widget, int id);
