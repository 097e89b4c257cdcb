#pragma once
#include <string>
#include <string_view>

#include <QString>

#include "core/reception/SenderPattern.h"

// What the filter bar asks of a message row: a severity at least as high as the minimum,
// a sender address that is the typed address or starts with its typed first parts (whole
// numbers of an IPv4 address, whole groups of an IPv6 one), and
// the typed text anywhere in the message, letter case aside, and a host name and an
// application (header fields of the message) that are the typed ones or start with them,
// letter case aside; a row without the field does not match. Every part left empty lets
// every row through.
class RowFilter {
public:
    static constexpr int kAnySeverity = -1;
    static constexpr int kNoSeverity = 255; // a row whose severity has no name

    // `minimumSeverity` counts as syslog does: 0 (emergency) is the highest.
    RowFilter(int minimumSeverity, const QString& address, const QString& text,
              const QString& host = {}, const QString& app = {});
    RowFilter() : RowFilter(kAnySeverity, {}, {}) {}

    bool IsSet() const;
    bool Matches(int severity, std::string_view address, std::string_view message) const;

private:
    bool TextMatches(std::string_view message) const;
    bool FieldsMatch(std::string_view message) const;

    int m_minimumSeverity;
    SenderPattern m_sender;
    std::string m_asciiText; // lower case; used while the typed text is ASCII
    QString m_text;          // used otherwise, against the text as shown
    std::string m_host;      // UTF-8, ASCII letters in lower case
    std::string m_app;
};
