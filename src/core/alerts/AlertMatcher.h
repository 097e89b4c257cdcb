#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "core/alerts/AlertRule.h"
#include "core/alerts/BytePairs.h"
#include "core/fields/MessageFields.h"
#include "core/reception/SenderPattern.h"

struct SyslogRecord;

// One message as the rules look at it. What more than one rule may need (the header
// fields, the text in lower case) is worked out once, on first use.
class AlertMessage {
public:
    explicit AlertMessage(const SyslogRecord& record);

    const SyslogRecord& Record() const { return m_record; }
    std::string_view Text() const { return m_text; }
    const MessageFields& Fields();
    // ASCII letters in lower case, CR and LF as the blanks the list shows.
    std::string_view FoldedText();
    // The byte pairs of the folded text.
    const BytePairs& FoldedPairs();

private:
    const SyslogRecord& m_record;
    std::string_view m_text;
    std::optional<MessageFields> m_fields;
    std::optional<std::string> m_folded;
    std::optional<BytePairs> m_pairs;
};

// A rule's condition made ready once: the typed texts folded, the regular expression
// compiled together with a piece of plain text every match must contain, which is looked
// for first. The cheap parts (severity, facility, sender) are tried before the text.
class AlertMatcher {
public:
    struct Needle;

    // Nothing, with the reason in `error`, when the regular expression is not valid.
    static std::optional<AlertMatcher> Compile(const AlertCondition& condition, std::string& error);

    bool Matches(AlertMessage& message) const;

private:
    AlertMatcher() = default;
    bool FieldsMatch(AlertMessage& message) const;
    bool TextMatches(AlertMessage& message) const;

    int m_minimumSeverity = AlertCondition::kAnySeverity;
    std::uint32_t m_facilities = 0;
    SenderPattern m_sender;
    std::string m_host; // folded
    std::string m_app;
    std::shared_ptr<const Needle> m_foldedText; // null when no text is asked for
    std::shared_ptr<const std::regex> m_regex;
    std::shared_ptr<const Needle> m_requiredLiteral; // of the regular expression; may be null
};

// Plain text that every match of the ECMAScript `pattern` contains, as long as can be
// found cheaply; empty when nothing certain is found.
std::string RequiredLiteral(std::string_view pattern);
