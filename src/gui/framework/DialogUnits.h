#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog-template coordinates to pixels the way the dialog manager does: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height. Layouts drawn for one font then keep their proportions in another.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int ToPixelsX(int units) const { return Scale(units, m_baseX, 4); }
    int ToPixelsY(int units) const { return Scale(units, m_baseY, 8); }
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

private:
    static int Scale(int units, int base, int divisor) {
        return (units * base + divisor / 2) / divisor;
    }

    int m_baseX;
    int m_baseY;
};
