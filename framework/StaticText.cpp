#include "framework/StaticText.h"

#include <QAccessible>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include "framework/AccessibleInterfaces.h"
#include "framework/DialogUnits.h"

StaticText::StaticText(QWidget* parent) : QFrame(parent) {
    InstallAccessibleInterfaces();
}

void StaticText::setLabel(StaticText* label) {
    label_ = label;
    if (label != nullptr) {
        label->labelled_ = this;
    }
}

void StaticText::setText(const QString& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    if (QAccessible::isActive() && accessibleName().isEmpty()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    update();
}

void StaticText::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QString shown = text_;
    shown.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    shown.replace(QLatin1Char('\r'), QChar::LineSeparator);

    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WordWrap);
    option.setTabStopDistance(8.0 * BaseUnitsOf(font()).x);

    QTextLayout layout(shown, font());
    layout.setTextOption(option);
    const QRect area = contentsRect();
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();

    QPainter painter(this);
    painter.setClipRect(area);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    layout.draw(&painter, area.topLeft());
}
