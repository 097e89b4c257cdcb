#include "core/archive/GzipFile.h"

#include <cstdio>
#include <vector>
#include <zlib.h>

#include "core/platform/ShareFile.h"

namespace {
constexpr std::size_t kChunk = 256 * 1024;
constexpr int kGzipWindow = 15 + 16;      // deflate with a gzip header and trailer
constexpr int kAnyHeaderWindow = 15 + 32; // inflate gzip or zlib, told by the header

GzipOutcome Failed(std::string error) {
    return {false, std::move(error)};
}

std::string StoppedText(const std::string& path) {
    return "Stopped before " + path + " was complete.";
}

// The zlib stream and the two files of one run; the output is removed unless kept.
class GzipRun {
public:
    GzipRun(const std::string& from, const std::string& to) : m_to(to) {
        m_stream.zalloc = Z_NULL;
        m_stream.zfree = Z_NULL;
        m_stream.opaque = Z_NULL;
        m_inOpen = m_in.OpenForRead(from);
    }
    ~GzipRun() {
        m_out.Close();
        if (!m_keep)
            std::remove(m_to.c_str());
    }
    GzipRun(const GzipRun&) = delete;
    GzipRun& operator=(const GzipRun&) = delete;

    // Opens the output afresh; a stale one from an earlier run is removed first.
    std::string OpenOutput() {
        if (!m_inOpen)
            return m_in.ErrorText();
        std::remove(m_to.c_str());
        return m_out.OpenForAppend(m_to) ? std::string() : m_out.ErrorText();
    }

    // Reads the next piece of the input into the stream; -1 on failure.
    std::int64_t ReadPiece() {
        const std::int64_t got = m_in.Read(m_inBuffer.data(), m_inBuffer.size());
        m_stream.next_in = reinterpret_cast<Bytef*>(m_inBuffer.data());
        m_stream.avail_in = got > 0 ? static_cast<uInt>(got) : 0;
        return got;
    }

    void PrepareOutput() {
        m_stream.next_out = reinterpret_cast<Bytef*>(m_outBuffer.data());
        m_stream.avail_out = static_cast<uInt>(m_outBuffer.size());
    }

    bool WriteProduced() {
        const std::size_t produced = m_outBuffer.size() - m_stream.avail_out;
        return produced == 0 || m_out.Write(m_outBuffer.data(), produced);
    }

    bool FinishOutput() {
        if (!m_out.Flush())
            return false;
        m_out.Close();
        m_keep = true;
        return true;
    }

    z_stream& Stream() { return m_stream; }
    ShareFile& Input() { return m_in; }
    ShareFile& Output() { return m_out; }

private:
    std::string m_to;
    z_stream m_stream{};
    ShareFile m_in;
    ShareFile m_out;
    bool m_inOpen = false;
    bool m_keep = false;
    std::vector<char> m_inBuffer = std::vector<char>(kChunk);
    std::vector<char> m_outBuffer = std::vector<char>(kChunk);
};

// Deflates everything available, and with `flush` Z_FINISH the end of the stream.
bool DeflatePiece(GzipRun& run, int flush) {
    do {
        run.PrepareOutput();
        if (deflate(&run.Stream(), flush) == Z_STREAM_ERROR || !run.WriteProduced())
            return false;
    } while (run.Stream().avail_out == 0);
    return true;
}
bool IsInflateFailure(int status) {
    return status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR;
}

// Inflates everything available into the output; members follow one another. False when the
// output could not be written; a damaged stream is left in `status`.
bool InflatePiece(GzipRun& run, int& status) {
    z_stream& stream = run.Stream();
    for (bool more = true; more;) {
        if (status == Z_STREAM_END) {
            if (stream.avail_in == 0)
                break;
            inflateReset(&stream);
        }
        run.PrepareOutput();
        status = inflate(&stream, Z_NO_FLUSH);
        if (IsInflateFailure(status))
            return true;
        if (!run.WriteProduced())
            return false;
        more = stream.avail_out == 0 || (status == Z_STREAM_END && stream.avail_in > 0);
    }
    return true;
}
} // namespace

GzipOutcome CompressFile(const std::string& from, const std::string& to,
                         const std::atomic<bool>& stop) {
    GzipRun run(from, to);
    if (std::string error = run.OpenOutput(); !error.empty())
        return Failed(error);
    z_stream& stream = run.Stream();
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return Failed("zlib could not start compressing " + from + ".");
    GzipOutcome outcome{true, {}};
    for (;;) {
        if (stop) {
            outcome = Failed(StoppedText(to));
            break;
        }
        const std::int64_t got = run.ReadPiece();
        if (got < 0) {
            outcome = Failed(run.Input().ErrorText());
            break;
        }
        if (!DeflatePiece(run, got == 0 ? Z_FINISH : Z_NO_FLUSH)) {
            outcome = Failed(run.Output().ErrorText());
            break;
        }
        if (got == 0)
            break;
    }
    deflateEnd(&stream);
    if (outcome.ok && !run.FinishOutput())
        return Failed(run.Output().ErrorText());
    return outcome;
}

GzipOutcome DecompressFile(const std::string& from, const std::string& to,
                           const std::atomic<bool>& stop, const GzipProgress& progress) {
    GzipRun run(from, to);
    if (std::string error = run.OpenOutput(); !error.empty())
        return Failed(error);
    z_stream& stream = run.Stream();
    if (inflateInit2(&stream, kAnyHeaderWindow) != Z_OK)
        return Failed("zlib could not start decompressing " + from + ".");
    const std::int64_t total = run.Input().Size();
    std::uint64_t done = 0;
    GzipOutcome outcome{true, {}};
    int status = Z_OK;
    for (;;) {
        if (stop) {
            outcome = Failed(StoppedText(to));
            break;
        }
        const std::int64_t got = run.ReadPiece();
        if (got <= 0) {
            // The input ended: complete only at the end of a member.
            if (got < 0 || status != Z_STREAM_END)
                outcome = Failed(got < 0 ? run.Input().ErrorText()
                                         : from + " is not a complete gzip file.");
            break;
        }
        done += static_cast<std::uint64_t>(got);
        if (!InflatePiece(run, status)) {
            outcome = Failed(run.Output().ErrorText());
            break;
        }
        if (IsInflateFailure(status)) {
            outcome = Failed(from + " is not a complete gzip file.");
            break;
        }
        if (progress)
            progress(done, total > 0 ? static_cast<std::uint64_t>(total) : done);
    }
    inflateEnd(&stream);
    if (outcome.ok && !run.FinishOutput())
        return Failed(run.Output().ErrorText());
    return outcome;
}
