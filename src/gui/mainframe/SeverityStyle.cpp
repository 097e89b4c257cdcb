#include "gui/mainframe/SeverityStyle.h"

#include <QBrush>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace {
constexpr int kCritical = 2; // emergency, alert and critical: 0 to 2
constexpr int kError = 3;
constexpr int kWarning = 4;
constexpr int kNotice = 5;
constexpr int kDebug = 7;

// Half-transparent, so the base shows through: light on a light base, dark on a dark one.
QColor Tint(int severity) {
    if (severity <= kCritical)
        return QColor(215, 30, 30, 130); // red, strongest
    if (severity == kError)
        return QColor(240, 120, 0, 100); // orange
    if (severity == kWarning)
        return QColor(235, 200, 0, 85); // yellow
    if (severity == kNotice)
        return QColor(40, 120, 235, 60); // blue
    return {};
}
} // namespace

QVariant SeverityStyle(int severity, int role) {
    switch (role) {
    case Qt::BackgroundRole: {
        const QColor tint = Tint(severity);
        return tint.isValid() ? QVariant(QBrush(tint)) : QVariant();
    }
    case Qt::ForegroundRole:
        if (severity == kDebug) {
            QColor dimmed = QGuiApplication::palette().color(QPalette::Text);
            dimmed.setAlphaF(0.6f);
            return QBrush(dimmed);
        }
        return {};
    default:
        return {};
    }
}
