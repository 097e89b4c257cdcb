#include "core/alerts/AlertMatcher.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/platform/AsciiCase.h"
#include "core/reception/SyslogRecord.h"

namespace {
std::string Folded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiFolded);
    return folded;
}

// libstdc++'s polynomial mode runs the expression as an automaton, without backtracking: no
// pattern can take exponential time or recurse once per character. Wrapped in "anything"
// on both sides and matched whole, a search is one pass over the text instead of one per
// starting place.
constexpr std::regex::flag_type kRegexFlags = std::regex::ECMAScript | std::regex::optimize
#if defined(__GLIBCXX__)
                                              | std::regex_constants::__polynomial
#endif
    ;
// Past this, a message is not looked at by an expression (about 15 ms of matching).
constexpr std::size_t kRegexWindow = 65536;

std::string AsSearch(const std::string& pattern) {
    return "[\\s\\S]*(?:" + pattern + ")[\\s\\S]*";
}

bool IsSpecial(char c) {
    return std::strchr("\\^$.|?*+()[]{}", c) != nullptr;
}

bool IsQuantifier(char c) {
    return c == '?' || c == '*' || c == '{';
}

// Past the class or group that starts at `i`.
std::size_t SkipBracketed(std::string_view pattern, std::size_t i) {
    const char open = pattern[i];
    const char close = open == '[' ? ']' : ')';
    int depth = 0;
    for (; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            ++i;
        } else if (pattern[i] == open && (open == '(' || depth == 0)) {
            ++depth;
        } else if (pattern[i] == close && --depth == 0) {
            return i + 1;
        }
    }
    return pattern.size();
}
} // namespace

// A text looked for in many messages: its skip table and its byte pairs (folded, as the
// message's pairs are) are made once.
struct AlertMatcher::Needle {
    explicit Needle(std::string t)
        : text(std::move(t)), searcher(text.begin(), text.end()),
          pairs(BytePairs::Of(Folded(text))) {}
    Needle(const Needle&) = delete;
    Needle& operator=(const Needle&) = delete;

    bool In(std::string_view haystack, AlertMessage& message) const {
        return message.FoldedPairs().HasAll(pairs) &&
               std::search(haystack.begin(), haystack.end(), searcher) != haystack.end();
    }

    const std::string text;
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher;
    const std::vector<std::uint16_t> pairs;
};

namespace {
std::shared_ptr<const AlertMatcher::Needle> NeedleFor(std::string text) {
    if (text.empty())
        return nullptr;
    return std::make_shared<const AlertMatcher::Needle>(std::move(text));
}
} // namespace

std::string RequiredLiteral(std::string_view pattern) {
    // Only a pattern without a top-level alternative has pieces every match contains.
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\')
            ++i;
        else if (pattern[i] == '[' || pattern[i] == '(')
            i = SkipBracketed(pattern, i) - 1;
        else if (pattern[i] == '|')
            return {};
    }
    std::string best;
    std::string run;
    auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (!IsSpecial(c)) {
            const bool optional = i + 1 < pattern.size() && IsQuantifier(pattern[i + 1]);
            if (optional)
                endRun();
            else
                run += c;
            ++i;
        } else if (c == '[' || c == '(') {
            endRun();
            i = SkipBracketed(pattern, i);
        } else {
            endRun();
            i += c == '\\' ? 2 : 1;
        }
    }
    endRun();
    return best;
}

AlertMessage::AlertMessage(const SyslogRecord& record)
    : m_record(record), m_text(record.messageText ? record.messageText : "") {}

const MessageFields& AlertMessage::Fields() {
    if (!m_fields)
        m_fields = ParseMessageFields(m_text);
    return *m_fields;
}

std::string_view AlertMessage::FoldedText() {
    if (!m_folded)
        m_folded = Folded(m_text);
    return *m_folded;
}

const BytePairs& AlertMessage::FoldedPairs() {
    if (!m_pairs)
        m_pairs.emplace(FoldedText());
    return *m_pairs;
}

std::optional<AlertMatcher> AlertMatcher::Compile(const AlertCondition& condition,
                                                  std::string& error) {
    AlertMatcher matcher;
    matcher.m_minimumSeverity = condition.minimumSeverity;
    matcher.m_facilities = condition.facilities;
    matcher.m_sender = SenderPattern(condition.address);
    matcher.m_host = AsciiLowered(condition.host);
    matcher.m_app = AsciiLowered(condition.app);
    if (!condition.textIsRegex) {
        matcher.m_foldedText = NeedleFor(Folded(condition.text));
        return matcher;
    }
    try {
        matcher.m_regex = std::make_shared<const std::regex>(AsSearch(condition.text), kRegexFlags);
    } catch (const std::regex_error& e) {
        error = e.what();
        return std::nullopt;
    }
    matcher.m_requiredLiteral = NeedleFor(RequiredLiteral(condition.text));
    return matcher;
}

bool AlertMatcher::Matches(AlertMessage& message) const {
    const SyslogRecord& record = message.Record();
    if (m_minimumSeverity != AlertCondition::kAnySeverity &&
        (record.severity < 0 || record.severity > m_minimumSeverity))
        return false;
    const int facility = FacilityCode(record);
    if (m_facilities != 0 &&
        (facility >= kAlertFacilityCount || !(m_facilities & (1u << facility))))
        return false;
    if (!m_sender.Matches(record.sourceAddress ? record.sourceAddress : ""))
        return false;
    return FieldsMatch(message) && TextMatches(message);
}

bool AlertMatcher::FieldsMatch(AlertMessage& message) const {
    if (m_host.empty() && m_app.empty())
        return true;
    const MessageFields& fields = message.Fields();
    return FieldStartsWith(fields.host, m_host) && FieldStartsWith(fields.app, m_app);
}

bool AlertMatcher::TextMatches(AlertMessage& message) const {
    if (!m_regex)
        return !m_foldedText || m_foldedText->In(message.FoldedText(), message);
    const std::string_view text = message.Text().substr(0, kRegexWindow);
    if (m_requiredLiteral && !m_requiredLiteral->In(text, message))
        return false;
    return std::regex_match(text.begin(), text.end(), *m_regex);
}
