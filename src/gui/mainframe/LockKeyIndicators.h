#pragma once
#include <QObject>

class QLabel;

// The CAP and NUM panes of the status bar follow the lock keys where the window system
// says their state with each key event (X11's modifier mask); elsewhere, and until the
// first key, they stay greyed. SCRL has no such bit and stays greyed.
class LockKeyIndicators : public QObject {
    Q_OBJECT
public:
    LockKeyIndicators(QLabel* capsLock, QLabel* numLock, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_capsLock;
    QLabel* m_numLock;
    bool m_hasLockBits;
};
