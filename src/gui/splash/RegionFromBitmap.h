#pragma once
#include <QImage>
#include <QRect>
#include <QRegion>
#include <optional>
#include <vector>

// Turns the opaque runs of an image into a window region. Each run becomes one rectangle one
// pixel high; the rectangles are gathered in one growable buffer and turned into a region only
// once per batch, so that no region operation is made per run.
class RunRegionBuilder {
public:
    static constexpr int kBatchSize = 2000; // rectangles per region merge
    static constexpr int kGrowStep = 100;   // buffer growth, in rectangles

    RunRegionBuilder();

    // Adds the run of pixels x0 to x - 1 on row y.
    void addRun(int x0, int x, int y);

    // Merges what is left (also an empty batch) and returns the union of all runs.
    QRegion finish();

    // Number of rectangles of each merged batch, in order; the last one is the final batch.
    const std::vector<int>& batchSizes() const { return m_batchSizes; }

private:
    void mergeBatch();

    std::vector<QRect> m_batch;
    QRegion m_result;
    std::vector<int> m_batchSizes;
};

// The region covering every pixel of the bitmap that is not of the key colour, in coordinates
// with (0, 0) at the image's top-left corner; none for a null image.
//
// keyColour and tolerance are QRgb values (qRgb(r, g, b)); alpha is ignored. Per channel a pixel
// counts as key colour when its value lies in [key, min(key + tolerance, 255)], and it is cut
// away only when red, green and blue all do.
std::optional<QRegion> CreateRegionFromBitmap(const QImage& bitmap, QRgb keyColour, QRgb tolerance);

// The same scan, feeding the given builder (whose batches the caller may then inspect).
std::optional<QRegion> CreateRegionFromBitmap(const QImage& bitmap, QRgb keyColour, QRgb tolerance,
                                              RunRegionBuilder& builder);
