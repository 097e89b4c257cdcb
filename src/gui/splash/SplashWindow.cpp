#include "gui/splash/SplashWindow.h"

#include "gui/splash/RegionFromBitmap.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

// The resources live in a static library; referencing their initialiser keeps them linked in.
// (Q_INIT_RESOURCE must not stand inside a namespace.)
static QString BuiltInSplashImage() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(marovind);
        return true;
    }();
    (void)registered;
    return QStringLiteral(":/splash.png");
}

SplashWindow::SplashWindow(QWidget* parent) : SplashWindow(BuiltInSplashImage(), parent) {}

SplashWindow::SplashWindow(const QString& imagePath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_splashBitmap(imagePath) {
    setFixedSize(kWidth, kHeight);
    shapeToImage();
    centreOnScreen();
}

void SplashWindow::centreOnScreen() {
    // QDialog's own placement makes room for a title bar this window does not have, which
    // would leave it 40 pixels above the middle; placing it here also stops that adjustment.
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::shapeToImage() {
    // Without an image there is no region and the window stays a plain rectangle.
    const auto region = CreateRegionFromBitmap(m_splashBitmap, kKeyColour, qRgb(0, 0, 0));
    if (!region)
        return;
    // Qt reads an empty mask as "no mask"; a picture that is all key colour gets a mask lying
    // wholly outside the window instead, so that nothing of it shows or takes clicks.
    setMask(region->isEmpty() ? QRegion(-1, -1, 1, 1) : *region);
}

void SplashWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_timer.isActive())
        m_timer.start(kDisplayMs, Qt::PreciseTimer, this); // a coarse timer may end it early
}

void SplashWindow::hideEvent(QHideEvent* event) {
    // Once closed the dialog must not be ended a second time by a late tick.
    m_timer.stop();
    QDialog::hideEvent(event);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    if (m_splashBitmap.isNull())
        return; // the dialog's own background stands in for the picture
    QPainter painter(this);
    painter.drawImage(0, 0, m_splashBitmap);
}

void SplashWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId()) {
        QDialog::timerEvent(event);
        return;
    }
    m_timer.stop();
    done(Accepted);
}

void SplashWindow::keyPressEvent(QKeyEvent* event) {
    // Every key closes, Escape included, and always with result 1.
    event->accept();
    done(Accepted);
}

void SplashWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isVisiblePixel(event->position().toPoint())) {
        event->accept();
        done(Accepted);
        return;
    }
    QDialog::mousePressEvent(event);
}

bool SplashWindow::isVisiblePixel(const QPoint& pos) const {
    // Shaped windows get no clicks on cut-away pixels from the window system; where a platform
    // delivers them anyway (offscreen, some compositors) they are ignored here all the same.
    const QRegion shape = mask();
    return shape.isEmpty() ? rect().contains(pos) : shape.contains(pos);
}
