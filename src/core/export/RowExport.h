#pragma once
#include <string>
#include <string_view>

// One row of the live list as held: its cells, the message as received after the priority.
struct ExportRow {
    std::string_view received; // the receive time as the list shows it
    std::string_view address;
    std::string_view type; // "facility.severity"; the facility may be missing
    std::string_view raw;
};

enum class ExportFormat { Csv, JsonLines };

// Writes rows as CSV (RFC 4180: a header line, CRLF line ends, fields quoted when needed)
// or as JSON Lines (one flat object a line), UTF-8 either way. Every row carries the same
// named values: received, address, facility, severity, sent, host, app, pid, msgid, sd,
// message (the message part) and raw (all of it); a value the row lacks is an empty CSV
// field or a JSON null. Bytes that are not UTF-8 are written as the list shows them.
class RowExport {
public:
    explicit RowExport(ExportFormat format) : m_format(format) {}

    // What the file starts with: CSV's header line; nothing for JSON Lines.
    std::string Header() const;
    void AppendRow(const ExportRow& row, std::string& out) const;

private:
    void AppendValue(std::string& out, std::string_view name, std::string_view value,
                     bool first) const;

    ExportFormat m_format;
};
