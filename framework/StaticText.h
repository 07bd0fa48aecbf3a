#pragma once

#include <QFrame>
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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};
