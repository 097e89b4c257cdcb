#pragma once
#include <atomic>
#include <string>
#include <thread>

#include "core/archive/GzipFile.h"

// A compressed log being unpacked on a worker thread into a temporary file of its own,
// which the viewer then shows like any large file. The temporary file is removed when the
// unpacker goes, so whoever shows it must close it first.
class GzipUnpacker {
public:
    explicit GzipUnpacker(const std::string& compressedPath);
    ~GzipUnpacker();
    GzipUnpacker(const GzipUnpacker&) = delete;
    GzipUnpacker& operator=(const GzipUnpacker&) = delete;

    bool IsDone() const { return m_done; }
    // How much of the compressed file was read, 0 to 100.
    int Percent() const { return m_percent; }
    // Once done: whether the temporary file is complete, and why not.
    const GzipOutcome& Outcome() const { return m_outcome; }
    const std::string& UnpackedPath() const { return m_unpackedPath; }

    // Whether a path names a compressed log (".gz").
    static bool IsCompressed(const std::string& path);

private:
    std::string m_unpackedPath;
    GzipOutcome m_outcome;
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};
