#include "gui/splash/RegionFromBitmap.h"
#include "gui/splash/SplashWindow.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

static void LoadResources() {
    Q_INIT_RESOURCE(marovind);
}

namespace {

const QRgb kMagenta = qRgb(255, 0, 255);
const QRgb kInk = qRgb(20, 40, 80);

// '#' is a picture pixel, '.' the key colour.
QImage ImageOf(const QStringList& rows) {
    QImage image(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixel(x, y, rows[y][x] == '#' ? kInk : kMagenta);
    return image;
}

// `count` runs of one pixel each, 100 to a row, every run followed by a key pixel.
QImage ImageWithRuns(int count, QRegion& expected) {
    const int perRow = 100;
    QImage image(2 * perRow, std::max(1, (count + perRow - 1) / perRow), QImage::Format_RGB32);
    image.fill(kMagenta);
    for (int i = 0; i < count; ++i) {
        const QPoint at(2 * (i % perRow), i / perRow);
        image.setPixel(at, kInk);
        expected |= QRect(at, QSize(1, 1));
    }
    return image;
}

QList<QRect> RectsOf(const QRegion& region) {
    return QList<QRect>(region.begin(), region.end());
}

bool SameArea(const QRegion& a, const QRegion& b) {
    return a.xored(b).isEmpty();
}

QPoint EmblemCentre() {
    return QPoint(106, 152);
}

} // namespace

class SplashTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LoadResources(); }

    void runsBecomeRectangles_data();
    void runsBecomeRectangles();
    void imageFormatDoesNotMatter();
    void nullImageGivesNoRegion();
    void batches_data();
    void batches();
    void tolerance_data();
    void tolerance();
    void splashImageIsShapedByMagenta();

    void windowIsCentredAndShaped();
    void closesOnAnyKey_data();
    void closesOnAnyKey();
    void mouse_data();
    void mouse();
    void closesAfterTimer();
    void missingImageGivesPlainRectangle();
    void allKeyColourShowsNothingButStillCloses();
};

void SplashTest::runsBecomeRectangles_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<QRect>>("rects");
    QTest::newRow("no magenta: one full row each")
        << QStringList{"####", "####", "####"}
        << QList<QRect>{{0, 0, 4, 1}, {0, 1, 4, 1}, {0, 2, 4, 1}};
    QTest::newRow("all magenta") << QStringList{"...", "..."} << QList<QRect>{};
    QTest::newRow("several runs, last to the right edge")
        << QStringList{"##.#..###"} << QList<QRect>{{0, 0, 2, 1}, {3, 0, 1, 1}, {6, 0, 3, 1}};
    QTest::newRow("runs one key pixel apart stay separate")
        << QStringList{"#.#.#"} << QList<QRect>{{0, 0, 1, 1}, {2, 0, 1, 1}, {4, 0, 1, 1}};
    QTest::newRow("key pixels at both edges") << QStringList{".##."} << QList<QRect>{{1, 0, 2, 1}};
    QTest::newRow("rows differ") << QStringList{"#..", ".#.", "..#", "..."}
                                 << QList<QRect>{{0, 0, 1, 1}, {1, 1, 1, 1}, {2, 2, 1, 1}};
    QTest::newRow("single picture pixel") << QStringList{"#"} << QList<QRect>{{0, 0, 1, 1}};
}

void SplashTest::runsBecomeRectangles() {
    QFETCH(QStringList, rows);
    QFETCH(QList<QRect>, rects);
    const auto region = CreateRegionFromBitmap(ImageOf(rows), kMagenta, qRgb(0, 0, 0));
    QVERIFY(region.has_value());
    QCOMPARE(RectsOf(*region), rects);
}

void SplashTest::imageFormatDoesNotMatter() {
    const QImage rgb = ImageOf({"#..##.", ".####.", "......", "######"});
    const QRegion expected = *CreateRegionFromBitmap(rgb, kMagenta, 0);
    for (const auto format : {QImage::Format_Indexed8, QImage::Format_ARGB32, QImage::Format_RGB888,
                              QImage::Format_ARGB32_Premultiplied}) {
        const auto region = CreateRegionFromBitmap(rgb.convertToFormat(format), kMagenta, 0);
        QVERIFY2(region && SameArea(*region, expected), qPrintable(QString::number(format)));
    }
    QVERIFY(SameArea(expected, QRegion(0, 0, 1, 1) + QRect(3, 0, 2, 1) + QRect(1, 1, 4, 1) +
                                   QRect(0, 3, 6, 1)));
}

void SplashTest::nullImageGivesNoRegion() {
    QVERIFY(!CreateRegionFromBitmap(QImage(), kMagenta, 0).has_value());
    QVERIFY(!CreateRegionFromBitmap(QImage(":/no-such-image.png"), kMagenta, 0).has_value());
}

void SplashTest::batches_data() {
    QTest::addColumn<int>("runs");
    QTest::addColumn<std::vector<int>>("batchSizes");
    QTest::newRow("none") << 0 << std::vector<int>{0};
    QTest::newRow("one") << 1 << std::vector<int>{1};
    QTest::newRow("one short of a batch") << 1999 << std::vector<int>{1999};
    QTest::newRow("exactly one batch") << 2000 << std::vector<int>{2000, 0};
    QTest::newRow("one over") << 2001 << std::vector<int>{2000, 1};
    QTest::newRow("several batches") << 4500 << std::vector<int>{2000, 2000, 500};
}

void SplashTest::batches() {
    QFETCH(int, runs);
    QFETCH(std::vector<int>, batchSizes);
    QRegion expected;
    const QImage image = ImageWithRuns(runs, expected);
    RunRegionBuilder builder;
    const auto region = CreateRegionFromBitmap(image, kMagenta, 0, builder);
    QVERIFY(region.has_value());
    QCOMPARE(builder.batchSizes(), batchSizes);
    QVERIFY(SameArea(*region, expected));
}

void SplashTest::tolerance_data() {
    QTest::addColumn<QRgb>("key");
    QTest::addColumn<QRgb>("tolerance");
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<bool>("cutAway");
    const QRgb none = qRgb(0, 0, 0);
    const QRgb sixteen = qRgb(16, 16, 16);
    QTest::newRow("exact key") << kMagenta << none << kMagenta << true;
    QTest::newRow("green 1 stays") << kMagenta << none << qRgb(255, 1, 255) << false;
    QTest::newRow("red 254 stays") << kMagenta << none << qRgb(254, 0, 255) << false;
    QTest::newRow("blue 254 stays") << kMagenta << none << qRgb(255, 0, 254) << false;
    QTest::newRow("16: green 16 cut") << kMagenta << sixteen << qRgb(255, 16, 255) << true;
    QTest::newRow("16: green 17 stays") << kMagenta << sixteen << qRgb(255, 17, 255) << false;
    QTest::newRow("16: only above the key") << kMagenta << sixteen << qRgb(250, 0, 255) << false;
    QTest::newRow("16: one channel off is enough")
        << kMagenta << sixteen << qRgb(255, 16, 200) << false;
    QTest::newRow("range stops at 255, no wrap")
        << qRgb(250, 0, 250) << sixteen << qRgb(255, 0, 255) << true;
    QTest::newRow("no wrap to low values")
        << qRgb(250, 0, 250) << sixteen << qRgb(5, 0, 250) << false;
    QTest::newRow("per channel tolerance")
        << kMagenta << qRgb(0, 40, 0) << qRgb(255, 40, 255) << true;
    QTest::newRow("per channel tolerance, other channel")
        << qRgb(200, 0, 255) << qRgb(0, 40, 0) << qRgb(201, 0, 255) << false;
    QTest::newRow("full tolerance cuts everything")
        << qRgb(0, 0, 0) << qRgb(255, 255, 255) << qRgb(123, 45, 67) << true;
    QTest::newRow("alpha of key and tolerance ignored")
        << qRgba(255, 0, 255, 0) << qRgba(0, 0, 0, 255) << kMagenta << true;
}

void SplashTest::tolerance() {
    QFETCH(QRgb, key);
    QFETCH(QRgb, tolerance);
    QFETCH(QRgb, pixel);
    QFETCH(bool, cutAway);
    QImage image(1, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, pixel);
    const auto region = CreateRegionFromBitmap(image, key, tolerance);
    QVERIFY(region.has_value());
    QCOMPARE(region->isEmpty(), cutAway);
}

void SplashTest::splashImageIsShapedByMagenta() {
    const QImage image(":/splash.png");
    QCOMPARE(image.size(), QSize(400, 300));
    const auto region = CreateRegionFromBitmap(image, kMagenta, 0);
    QVERIFY(region.has_value());
    for (const QPoint corner : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)})
        QVERIFY2(!region->contains(corner),
                 qPrintable(QString("%1,%2").arg(corner.x()).arg(corner.y())));
    QVERIFY(region->contains(EmblemCentre()));
    // A hard outline: no blended near-magenta pixels that would show as a pink fringe.
    int fringe = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if ((p & 0xffffff) != (kMagenta & 0xffffff) && qRed(p) >= 195 && qGreen(p) <= 60 &&
                qBlue(p) >= 195)
                ++fringe;
        }
    QCOMPARE(fringe, 0);
}

void SplashTest::windowIsCentredAndShaped() {
    SplashWindow splash;
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.size(), QSize(400, 300));
    QVERIFY(SameArea(splash.mask(), *CreateRegionFromBitmap(QImage(":/splash.png"), kMagenta, 0)));
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    const QPoint offset =
        splash.geometry().center() - splash.screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
}

void SplashTest::closesOnAnyKey_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("letter") << int(Qt::Key_A);
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("F1") << int(Qt::Key_F1);
}

void SplashTest::closesOnAnyKey() {
    QFETCH(int, key);
    SplashWindow splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::keyClick(&splash, Qt::Key(key));
    QVERIFY(!splash.isVisible());
    QCOMPARE(splash.result(), 1);
}

void SplashTest::mouse_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("closes");
    QTest::newRow("left on the picture") << int(Qt::LeftButton) << EmblemCentre() << true;
    QTest::newRow("left on a cut-away corner") << int(Qt::LeftButton) << QPoint(2, 2) << false;
    QTest::newRow("right on the picture") << int(Qt::RightButton) << EmblemCentre() << false;
    QTest::newRow("middle on the picture") << int(Qt::MiddleButton) << EmblemCentre() << false;
}

void SplashTest::mouse() {
    QFETCH(int, button);
    QFETCH(QPoint, at);
    QFETCH(bool, closes);
    SplashWindow splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::mouseClick(&splash, Qt::MouseButton(button), {}, at);
    QCOMPARE(splash.isVisible(), !closes);
    QCOMPARE(splash.result(), closes ? 1 : 0);
}

void SplashTest::closesAfterTimer() {
    SplashWindow splash;
    QTimer::singleShot(10000, &splash, [&splash] { splash.done(99); }); // watchdog
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(splash.exec(), 1);
    QVERIFY2(clock.elapsed() >= 2990, qPrintable(QString::number(clock.elapsed())));
}

void SplashTest::missingImageGivesPlainRectangle() {
    SplashWindow splash(QStringLiteral("/nonexistent/splash.png"));
    QCOMPARE(splash.size(), QSize(400, 300));
    QVERIFY(splash.mask().isEmpty());
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(1, 1));
    QVERIFY(!splash.isVisible());
    QCOMPARE(splash.result(), 1);
}

void SplashTest::allKeyColourShowsNothingButStillCloses() {
    QTemporaryDir dir;
    QImage blank(400, 300, QImage::Format_RGB32);
    blank.fill(kMagenta);
    const QString path = dir.filePath("blank.png");
    QVERIFY(blank.save(path));
    SplashWindow splash(path);
    QVERIFY(!splash.mask().isEmpty()); // empty would mean "unshaped" to Qt
    QVERIFY(splash.mask().intersected(splash.rect()).isEmpty());
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(200, 150));
    QVERIFY(splash.isVisible());
    QTest::keyClick(&splash, Qt::Key_A);
    QVERIFY(!splash.isVisible());
    QCOMPARE(splash.result(), 1);
}

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
