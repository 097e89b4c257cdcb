#pragma once
#include <QVariant>

// How a message row of a given severity is drawn when severity colours are on: a
// half-transparent tint over the list's own base colour, so it reads on light and dark
// palettes alike and the text keeps the palette's colour. Red, orange, yellow and blue
// also differ in strength, so the order shows without telling hues apart. Debug rows are
// dimmed; info rows and rows without a named severity stay plain. Selected rows keep the
// palette's highlight, so their text stays readable. (Bold would outgrow the fitted
// column widths.)
QVariant SeverityStyle(int severity, int role);
