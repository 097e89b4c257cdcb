#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

// What goes wrong on TCP (and TLS) connections, counted by kind. Such errors come from the
// network, not from the operator, so they never open a message box: the counts are shown by
// the window program and reported by the server without windows, at most once a minute per
// kind. The last two are TLS's: a handshake that failed, and one not finished in time.
enum class TcpError {
    kReset,
    kFraming,
    kRefused,
    kOverLimit,
    kAccept,
    kHandshake,
    kHandshakeTimeout
};

class TcpErrorLog {
public:
    using Reporter = std::function<void(const std::string& line)>;
    static constexpr std::time_t kReportInterval = 60;

    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }
    // What the reports start with: "TCP" or "TLS".
    void SetName(std::string name) { m_name = std::move(name); }
    // Counts one error at `now`; reports it when its kind was not reported in the last minute,
    // with `detail` (the last such error's sender and reason) when there is one.
    void Count(TcpError kind, std::time_t now, const std::string& detail = {});

    std::uint64_t CountOf(TcpError kind) const { return m_kinds[Index(kind)].count; }
    std::uint64_t Total() const;

private:
    struct Kind {
        std::uint64_t count = 0;
        std::uint64_t reported = 0; // the count at the last report
        std::time_t reportedAt = 0;
        bool everReported = false;
    };
    static std::size_t Index(TcpError kind) { return static_cast<std::size_t>(kind); }

    std::array<Kind, 7> m_kinds{};
    Reporter m_reporter;
    std::string m_name = "TCP";
};

// "TCP: 3 framing errors since the last report, 7 in all" and the like; the detail, when
// given, follows as "; the last: ...".
std::string TcpErrorReport(TcpError kind, std::uint64_t sinceLast, std::uint64_t total,
                           const std::string& name = "TCP", const std::string& detail = {});
