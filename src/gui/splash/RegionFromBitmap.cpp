#include "gui/splash/RegionFromBitmap.h"

#include <algorithm>

RunRegionBuilder::RunRegionBuilder() {
    m_batch.reserve(kGrowStep);
}

void RunRegionBuilder::addRun(int x0, int x, int y) {
    // Grow in fixed steps: after the first batch the buffer simply stays at batch size.
    if (m_batch.size() == m_batch.capacity())
        m_batch.reserve(m_batch.capacity() + kGrowStep);
    m_batch.emplace_back(x0, y, x - x0, 1);
    if (m_batch.size() == kBatchSize)
        mergeBatch();
}

QRegion RunRegionBuilder::finish() {
    mergeBatch();
    return m_result;
}

void RunRegionBuilder::mergeBatch() {
    // The runs arrive row by row, left to right, never touching: exactly the banded,
    // sorted form that setRects takes without any region arithmetic.
    QRegion batch;
    batch.setRects(m_batch.data(), static_cast<int>(m_batch.size()));
    m_result |= batch;
    m_batchSizes.push_back(static_cast<int>(m_batch.size()));
    m_batch.clear();
}

namespace {

struct ChannelRange {
    int low;
    int high;

    ChannelRange(int key, int tolerance) : low(key), high(std::min(key + tolerance, 255)) {}
    bool contains(int value) const { return value >= low && value <= high; }
};

class KeyColourTest {
public:
    KeyColourTest(QRgb key, QRgb tolerance)
        : m_red(qRed(key), qRed(tolerance)), m_green(qGreen(key), qGreen(tolerance)),
          m_blue(qBlue(key), qBlue(tolerance)) {}

    bool isTransparent(QRgb pixel) const {
        return m_red.contains(qRed(pixel)) && m_green.contains(qGreen(pixel)) &&
               m_blue.contains(qBlue(pixel));
    }

private:
    ChannelRange m_red;
    ChannelRange m_green;
    ChannelRange m_blue;
};

void ScanRow(const QRgb* row, int width, int y, const KeyColourTest& key,
             RunRegionBuilder& builder) {
    for (int x = 0; x < width; ++x) {
        const int x0 = x;
        while (x < width && !key.isTransparent(row[x]))
            ++x;
        if (x > x0)
            builder.addRun(x0, x, y);
        // x now stands on a transparent pixel (or the width), which the loop steps past.
    }
}

} // namespace

std::optional<QRegion> CreateRegionFromBitmap(const QImage& bitmap, QRgb keyColour, QRgb tolerance,
                                              RunRegionBuilder& builder) {
    if (bitmap.isNull())
        return std::nullopt;
    const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        return std::nullopt;
    const KeyColourTest key(keyColour, tolerance);
    for (int y = 0; y < pixels.height(); ++y)
        ScanRow(reinterpret_cast<const QRgb*>(pixels.constScanLine(y)), pixels.width(), y, key,
                builder);
    return builder.finish();
}

std::optional<QRegion> CreateRegionFromBitmap(const QImage& bitmap, QRgb keyColour,
                                              QRgb tolerance) {
    RunRegionBuilder builder;
    return CreateRegionFromBitmap(bitmap, keyColour, tolerance, builder);
}
