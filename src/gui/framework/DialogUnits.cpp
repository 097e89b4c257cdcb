#include "gui/framework/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width over the 52 letters, rounded, as GdiGetCharDimensions takes it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top);
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(ToPixelsX(width), ToPixelsY(height));
}
