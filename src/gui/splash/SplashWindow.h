#pragma once
#include <QBasicTimer>
#include <QDialog>
#include <QImage>
#include <QString>

// The borderless start-up window: shows the splash image, shaped to its outline by cutting
// away every magenta pixel, and closes with result 1 after three seconds, on any key press or
// on a left click on the picture. Run it modally: SplashWindow splash; splash.exec();
class SplashWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 300;
    static constexpr int kDisplayMs = 3000;
    static constexpr QRgb kKeyColour = qRgb(255, 0, 255);

    explicit SplashWindow(QWidget* parent = nullptr);
    // Shows another image instead of the built-in one (a missing file gives a plain rectangle).
    explicit SplashWindow(const QString& imagePath, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void shapeToImage();
    void centreOnScreen();
    bool isVisiblePixel(const QPoint& pos) const;

    QImage m_splashBitmap;
    QBasicTimer m_timer;
};
