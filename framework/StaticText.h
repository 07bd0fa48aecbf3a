#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>

// A static text control: left-aligned plain text from the top-left corner, a new line at each
// line feed, tabs expanded to stops every eight average characters, long lines wrapped at word
// boundaries, and whatever does not fit cut off. Markup is never interpreted, and no '&' is
// taken for a mnemonic.
class StaticText final : public QFrame {
    Q_OBJECT
public:
    explicit StaticText(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }

    // The caption that says what this text's value is, related both ways for assistive
    // technology (labelled-by and label-for).
    void setLabel(StaticText* label);
    StaticText* label() const { return label_; }
    StaticText* labelled() const { return labelled_; }
    // Punctuation between other controls, drawn but no item of its own for assistive technology.
    void setDecoration(bool decoration) { decoration_ = decoration; }
    bool isDecoration() const { return decoration_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QPointer<StaticText> label_;
    QPointer<StaticText> labelled_;
    bool decoration_ = false;
};
