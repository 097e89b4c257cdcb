#include "core/export/RowExport.h"

#include <array>

#include "core/fields/FieldNames.h"
#include "core/fields/MessageFields.h"
#include "core/fields/Utf8Text.h"

namespace {
constexpr std::array<std::string_view, 12> kColumns = {
    "received", "address", "facility", "severity", "sent",    "host",
    "app",      "pid",     "msgid",    "sd",       "message", "raw"};

bool NeedsQuotes(std::string_view text) {
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

void AppendCsvField(std::string& out, std::string_view bytes) {
    std::string text;
    AppendLogBytesAsUtf8(text, bytes);
    if (!NeedsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendJsonString(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    AppendLogBytesAsUtf8(text, bytes);
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}
} // namespace

std::string RowExport::Header() const {
    if (m_format != ExportFormat::Csv)
        return {};
    std::string header;
    for (std::string_view name : kColumns) {
        if (!header.empty())
            header += ',';
        header += name;
    }
    return header + "\r\n";
}

void RowExport::AppendRow(const ExportRow& row, std::string& out) const {
    const std::size_t dot = row.type.rfind('.');
    const std::string_view facility = dot == std::string_view::npos ? "" : row.type.substr(0, dot);
    const std::string_view severity =
        dot == std::string_view::npos ? row.type : row.type.substr(dot + 1);
    const MessageFields fields = ParseMessageFields(row.raw);
    const std::array<std::string_view, kColumns.size()> values = {row.received,
                                                                  row.address,
                                                                  facility,
                                                                  severity,
                                                                  FieldValue(fields, Field::Sent),
                                                                  FieldValue(fields, Field::Host),
                                                                  FieldValue(fields, Field::App),
                                                                  FieldValue(fields, Field::Pid),
                                                                  FieldValue(fields, Field::MsgId),
                                                                  FieldValue(fields, Field::Sd),
                                                                  fields.message,
                                                                  row.raw};
    if (m_format == ExportFormat::JsonLines)
        out += '{';
    for (std::size_t i = 0; i < values.size(); ++i)
        AppendValue(out, kColumns[i], values[i], i == 0);
    out += m_format == ExportFormat::Csv ? "\r\n" : "}\n";
}

// In JSON a missing value is null; the message part and the raw text are never missing.
void RowExport::AppendValue(std::string& out, std::string_view name, std::string_view value,
                            bool first) const {
    if (m_format == ExportFormat::Csv) {
        if (!first)
            out += ',';
        AppendCsvField(out, value);
        return;
    }
    if (!first)
        out += ',';
    out += '"';
    out += name;
    out += "\":";
    if (value.empty() && name != "message" && name != "raw")
        out += "null";
    else
        AppendJsonString(out, value);
}
