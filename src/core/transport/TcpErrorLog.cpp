#include "core/transport/TcpErrorLog.h"

#include <numeric>

namespace {
const char* KindText(TcpError kind) {
    switch (kind) {
    case TcpError::kReset:
        return "connections reset or failed";
    case TcpError::kFraming:
        return "framing errors";
    case TcpError::kRefused:
        return "senders refused by the source filter";
    case TcpError::kOverLimit:
        return "connections over the limit closed";
    case TcpError::kAccept:
        return "connections that could not be accepted";
    case TcpError::kHandshake:
        return "handshakes failed";
    case TcpError::kHandshakeTimeout:
        return "handshakes not finished within 10 seconds";
    }
    return "errors";
}
} // namespace

void TcpErrorLog::Count(TcpError kind, std::time_t now, const std::string& detail) {
    Kind& entry = m_kinds[Index(kind)];
    ++entry.count;
    if (!m_reporter || (entry.everReported && now - entry.reportedAt < kReportInterval))
        return;
    m_reporter(TcpErrorReport(kind, entry.count - entry.reported, entry.count, m_name, detail));
    entry.reported = entry.count;
    entry.reportedAt = now;
    entry.everReported = true;
}

std::uint64_t TcpErrorLog::Total() const {
    return std::accumulate(m_kinds.begin(), m_kinds.end(), std::uint64_t{0},
                           [](std::uint64_t sum, const Kind& kind) { return sum + kind.count; });
}

std::string TcpErrorReport(TcpError kind, std::uint64_t sinceLast, std::uint64_t total,
                           const std::string& name, const std::string& detail) {
    std::string report = name + ": " + std::to_string(sinceLast) + " " + KindText(kind) +
                         " since the last report, " + std::to_string(total) + " in all";
    if (!detail.empty())
        report += "; the last: " + detail;
    return report;
}
