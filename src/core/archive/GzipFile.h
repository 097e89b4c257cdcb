#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Whole-file gzip with zlib, in the format Python's gzip and gunzip read.

// Called with the bytes of the source read so far and its size; may be called often.
using GzipProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct GzipOutcome {
    bool ok = false;
    std::string error; // the reason, naming the file, when not ok
};

// Compresses `from` into a new file `to`, forced to disk before this returns ok. On any
// failure, `stop` included, `to` is removed and `from` is untouched.
GzipOutcome CompressFile(const std::string& from, const std::string& to,
                         const std::atomic<bool>& stop);

// Decompresses `from` (one or more gzip members) into a new file `to`. On failure `to` is
// removed.
GzipOutcome DecompressFile(const std::string& from, const std::string& to,
                           const std::atomic<bool>& stop, const GzipProgress& progress = {});
