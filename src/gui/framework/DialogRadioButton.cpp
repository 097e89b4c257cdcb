#include "gui/framework/DialogRadioButton.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

DialogRadioButton::DialogRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {}

void DialogRadioButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton indicator = option;
    indicator.rect = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
    painter.drawPrimitive(QStyle::PE_IndicatorRadioButton, indicator);

    const QRect contents = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    painter.drawItemText(contents, kTextFlags, option.palette, isEnabled(), text(),
                         QPalette::WindowText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = option.fontMetrics.boundingRect(contents, kTextFlags, text())
                         .adjusted(-1, 0, 1, 0)
                         .intersected(rect());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool DialogRadioButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}
