#pragma once

#include <QRadioButton>

// A radio button of a dialog: a click anywhere in its rectangle counts, not only on the mark
// and the caption, as a dialog's layout in dialog units leaves room after the caption.
class RadioButton final : public QRadioButton {
    Q_OBJECT
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};
