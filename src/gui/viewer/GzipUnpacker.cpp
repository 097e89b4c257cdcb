#include "gui/viewer/GzipUnpacker.h"

#include <cstdio>

#include <QDir>
#include <QTemporaryFile>

namespace {
// A name of our own in the temporary directory, reserved by creating the file.
std::string NewTemporaryPath() {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/marovind-view-XXXXXX.log"));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return QDir::toNativeSeparators(file.fileName()).toLocal8Bit().toStdString();
}
} // namespace

GzipUnpacker::GzipUnpacker(const std::string& compressedPath) : m_unpackedPath(NewTemporaryPath()) {
    if (m_unpackedPath.empty()) {
        m_outcome = {false, "No temporary file could be made to show " + compressedPath + "."};
        m_done = true;
        return;
    }
    m_thread = std::thread([this, compressedPath] {
        m_outcome = DecompressFile(compressedPath, m_unpackedPath, m_stop,
                                   [this](std::uint64_t done, std::uint64_t total) {
                                       m_percent = static_cast<int>(done * 100 / total);
                                   });
        m_done = true; // after the outcome: the reader's acquire sees it whole
    });
}

GzipUnpacker::~GzipUnpacker() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (!m_unpackedPath.empty())
        std::remove(m_unpackedPath.c_str());
}

bool GzipUnpacker::IsCompressed(const std::string& path) {
    return QString::fromLocal8Bit(path).endsWith(QLatin1String(".gz"), Qt::CaseInsensitive);
}
