// Reads a log file written from loadgen's datagrams and reports which sequence numbers
// arrived: received, lost, duplicated, out of order, and whether every line is complete.
//
//   logcheck [--count N] [--start FIRST_SEQ] [--eol crlf|lf] FILE
//
// A line is complete when it ends with the line end (CR LF by default, as Marovind writes;
// lf for servers that end lines with LF alone). Lines without "seq=" or with a number out
// of the expected range count as foreign. Without --count nothing counts as lost.
// Exit status: 0 when every line is complete and, with --count, every number arrived
// exactly once; 1 otherwise; 2 when the file cannot be read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options {
    std::uint64_t count = 0;
    bool countGiven = false;
    std::uint64_t start = 0;
    bool crlf = true;
    std::string path;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--count" && i + 1 < argc) {
            o.count = std::strtoull(argv[++i], nullptr, 10);
            o.countGiven = true;
        } else if (name == "--start" && i + 1 < argc) {
            o.start = std::strtoull(argv[++i], nullptr, 10);
        } else if (name == "--eol" && i + 1 < argc) {
            const std::string eol = argv[++i];
            if (eol != "crlf" && eol != "lf")
                return false;
            o.crlf = eol == "crlf";
        } else if (o.path.empty() && name.rfind("--", 0) != 0) {
            o.path = name;
        } else {
            return false;
        }
    }
    return !o.path.empty();
}

// The number after the first "seq=", or false when there is none.
bool FindSequence(std::string_view line, std::uint64_t& seq) {
    const std::size_t at = line.find("seq=");
    if (at == std::string_view::npos)
        return false;
    std::size_t i = at + 4;
    if (i >= line.size() || line[i] < '0' || line[i] > '9')
        return false;
    seq = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        seq = seq * 10 + static_cast<std::uint64_t>(line[i] - '0');
    return true;
}

class SequenceTally {
public:
    SequenceTally(std::uint64_t start, std::uint64_t count, bool bounded)
        : m_start(start), m_bounded(bounded), m_seen(bounded ? count : 0, 0) {}

    void Line(std::string_view line, bool complete) {
        ++lines;
        if (!complete)
            ++incomplete;
        std::uint64_t seq = 0;
        if (!FindSequence(line, seq) || seq < m_start ||
            (m_bounded && seq - m_start >= m_seen.size())) {
            ++foreign;
            return;
        }
        const std::uint64_t index = seq - m_start;
        if (index >= m_seen.size()) {
            if (index >= kMaxUnbounded) {
                ++foreign;
                return;
            }
            m_seen.resize(index + 1, 0); // without --count the range grows as numbers come
        }
        ++received;
        if (m_seen[index]) {
            ++duplicated;
            return;
        }
        m_seen[index] = 1;
        if (m_any && seq < m_highest)
            ++outOfOrder;
        if (!m_any || seq > m_highest)
            m_highest = seq;
        m_any = true;
        ++distinct;
    }

    std::uint64_t Lost() const { return m_bounded ? m_seen.size() - distinct : 0; }

    std::uint64_t lines = 0, incomplete = 0, foreign = 0, received = 0, distinct = 0,
                  duplicated = 0, outOfOrder = 0;

private:
    static constexpr std::uint64_t kMaxUnbounded = 100000000;
    std::uint64_t m_start;
    bool m_bounded;
    std::vector<std::uint8_t> m_seen;
    std::uint64_t m_highest = 0;
    bool m_any = false;
};

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--count N] [--start SEQ] [--eol crlf|lf] FILE\n", argv[0]);
        return 2;
    }
    std::ifstream in(o.path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "logcheck: cannot read %s\n", o.path.c_str());
        return 2;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SequenceTally tally(o.start, o.count, o.countGiven);
    bool lastComplete = true;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t lf = text.find('\n', begin);
        const std::size_t end = lf == std::string::npos ? text.size() : lf;
        std::string_view line(text.data() + begin, end - begin);
        bool complete = lf != std::string::npos;
        if (o.crlf) {
            complete = complete && !line.empty() && line.back() == '\r';
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
        tally.Line(line, complete);
        lastComplete = complete;
        begin = end + 1;
    }
    const std::uint64_t lost = tally.Lost();
    const double lossPercent =
        o.count ? 100.0 * static_cast<double>(lost) / static_cast<double>(o.count) : 0.0;
    std::printf(
        "logcheck: lines=%llu received=%llu distinct=%llu lost=%llu loss_pct=%.2f "
        "duplicated=%llu out_of_order=%llu foreign=%llu incomplete=%llu "
        "last_line=%s\n",
        static_cast<unsigned long long>(tally.lines),
        static_cast<unsigned long long>(tally.received),
        static_cast<unsigned long long>(tally.distinct), static_cast<unsigned long long>(lost),
        lossPercent, static_cast<unsigned long long>(tally.duplicated),
        static_cast<unsigned long long>(tally.outOfOrder),
        static_cast<unsigned long long>(tally.foreign),
        static_cast<unsigned long long>(tally.incomplete), lastComplete ? "complete" : "torn");
    const bool whole =
        tally.incomplete == 0 && (!o.countGiven || (lost == 0 && tally.duplicated == 0));
    return whole ? 0 : 1;
}
