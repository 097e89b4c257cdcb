#include "gui/mainframe/LockKeyIndicators.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {
// X11 modifier mask bits: LockMask is Caps Lock; Num Lock sits on Mod2 on common layouts.
constexpr quint32 kX11LockMask = 0x02;
constexpr quint32 kX11Mod2Mask = 0x10;
} // namespace

LockKeyIndicators::LockKeyIndicators(QLabel* capsLock, QLabel* numLock, QObject* parent)
    : QObject(parent), m_capsLock(capsLock), m_numLock(numLock),
      m_hasLockBits(QGuiApplication::platformName() == QLatin1String("xcb")) {
    m_capsLock->setEnabled(false);
    m_numLock->setEnabled(false);
}

bool LockKeyIndicators::eventFilter(QObject* watched, QEvent* event) {
    if (m_hasLockBits &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        // The mask tells the state before this event, so a lock key's own press shows
        // the old state and its release the new one.
        const quint32 mask = static_cast<QKeyEvent*>(event)->nativeModifiers();
        m_capsLock->setEnabled(mask & kX11LockMask);
        m_numLock->setEnabled(mask & kX11Mod2Mask);
    }
    return QObject::eventFilter(watched, event);
}
