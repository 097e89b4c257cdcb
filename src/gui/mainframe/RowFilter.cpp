#include "gui/mainframe/RowFilter.h"

#include <algorithm>

#include <QByteArray>

#include "core/fields/MessageFields.h"
#include "gui/framework/DisplayText.h"

namespace {
bool IsAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string TypedField(const QString& typed) {
    std::string text = typed.trimmed().toStdString();
    std::transform(text.begin(), text.end(), text.begin(), AsciiLower);
    return text;
}

// The typed start of a field: empty lets every row through, otherwise the field must
// have it.
bool FieldStartsWith(std::string_view field, const std::string& typed) {
    return typed.empty() || (field.size() >= typed.size() &&
                             std::equal(typed.begin(), typed.end(), field.begin(),
                                        [](char t, char f) { return AsciiLower(f) == t; }));
}
} // namespace

RowFilter::RowFilter(int minimumSeverity, const QString& address, const QString& text,
                     const QString& host, const QString& app)
    : m_minimumSeverity(minimumSeverity), m_address(address.trimmed().toStdString()),
      m_host(TypedField(host)), m_app(TypedField(app)) {
    // IPv6 addresses are shown in lower case and split into groups by colons.
    const bool ipv6 = m_address.find(':') != std::string::npos;
    if (ipv6)
        std::transform(m_address.begin(), m_address.end(), m_address.begin(), AsciiLower);
    const char separator = ipv6 ? ':' : '.';
    if (!m_address.empty() && m_address.back() == separator) {
        m_addressIsPrefix = true;
    } else if (!m_address.empty()) {
        m_address += separator; // the typed parts must end where a part ends
    }
    if (IsAscii(text)) {
        m_asciiText = text.toLower().toStdString();
    } else {
        m_text = text;
    }
}

bool RowFilter::IsSet() const {
    return m_minimumSeverity != kAnySeverity || !m_address.empty() || !m_asciiText.empty() ||
           !m_text.isEmpty() || !m_host.empty() || !m_app.empty();
}

bool RowFilter::Matches(int severity, std::string_view address, std::string_view message) const {
    if (m_minimumSeverity != kAnySeverity && severity > m_minimumSeverity)
        return false;
    return AddressMatches(address) && TextMatches(message) && FieldsMatch(message);
}

bool RowFilter::FieldsMatch(std::string_view message) const {
    if (m_host.empty() && m_app.empty())
        return true;
    const MessageFields fields = ParseMessageFields(message);
    return FieldStartsWith(fields.host, m_host) && FieldStartsWith(fields.app, m_app);
}

bool RowFilter::AddressMatches(std::string_view address) const {
    if (m_address.empty() || address.starts_with(m_address))
        return true;
    // Typed without a trailing dot: the whole address matches too.
    return !m_addressIsPrefix && address.size() + 1 == m_address.size() &&
           std::string_view(m_address).starts_with(address);
}

bool RowFilter::TextMatches(std::string_view message) const {
    if (!m_text.isEmpty()) {
        const QByteArray bytes = QByteArray::fromRawData(message.data(), qsizetype(message.size()));
        return DecodeFlattened(bytes).contains(m_text, Qt::CaseInsensitive);
    }
    if (m_asciiText.empty())
        return true;
    // An ASCII character is the same byte however the rest of the message decodes; a line
    // break is matched as the blank it is shown as.
    return std::search(message.begin(), message.end(), m_asciiText.begin(), m_asciiText.end(),
                       [](char a, char b) {
                           return AsciiLower(a == '\r' || a == '\n' ? ' ' : a) == b;
                       }) != message.end();
}
