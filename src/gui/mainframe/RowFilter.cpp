#include "gui/mainframe/RowFilter.h"

#include <algorithm>

#include <QByteArray>

#include "core/fields/MessageFields.h"
#include "core/platform/AsciiCase.h"
#include "gui/framework/DisplayText.h"

namespace {
bool IsAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

std::string TypedField(const QString& typed) {
    return AsciiLowered(typed.trimmed().toStdString());
}
} // namespace

RowFilter::RowFilter(int minimumSeverity, const QString& address, const QString& text,
                     const QString& host, const QString& app)
    : m_minimumSeverity(minimumSeverity), m_sender(address.trimmed().toStdString()),
      m_host(TypedField(host)), m_app(TypedField(app)) {
    if (IsAscii(text)) {
        m_asciiText = text.toLower().toStdString();
    } else {
        m_text = text;
    }
}

bool RowFilter::IsSet() const {
    return m_minimumSeverity != kAnySeverity || m_sender.IsSet() || !m_asciiText.empty() ||
           !m_text.isEmpty() || !m_host.empty() || !m_app.empty();
}

bool RowFilter::Matches(int severity, std::string_view address, std::string_view message) const {
    if (m_minimumSeverity != kAnySeverity && severity > m_minimumSeverity)
        return false;
    return m_sender.Matches(address) && TextMatches(message) && FieldsMatch(message);
}

bool RowFilter::FieldsMatch(std::string_view message) const {
    if (m_host.empty() && m_app.empty())
        return true;
    const MessageFields fields = ParseMessageFields(message);
    return FieldStartsWith(fields.host, m_host) && FieldStartsWith(fields.app, m_app);
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
                       [](char a, char b) { return AsciiFolded(a) == b; }) != message.end();
}
