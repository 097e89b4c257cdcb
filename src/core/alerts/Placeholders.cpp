#include "core/alerts/Placeholders.h"

#include <utility>

#include "core/fields/MessageFields.h"
#include "core/reception/SyslogRecord.h"

AlertValues AlertValues::Of(const SyslogRecord& record, const MessageFields& fields) {
    auto text = [](const char* p) { return std::string(p ? p : ""); };
    AlertValues values;
    values.time = text(record.receiveTime);
    values.address = text(record.sourceAddress);
    values.facility =
        record.facilityName ? record.facilityName : std::to_string(FacilityCode(record));
    values.severity = text(record.severityName);
    values.host = std::string(fields.host);
    values.app = std::string(fields.app);
    values.message = text(record.messageText);
    return values;
}

std::string ExpandPlaceholders(std::string_view argument, const AlertValues& values) {
    const std::pair<std::string_view, const std::string*> names[] = {
        {"%time%", &values.time},         {"%address%", &values.address},
        {"%facility%", &values.facility}, {"%severity%", &values.severity},
        {"%host%", &values.host},         {"%app%", &values.app},
        {"%message%", &values.message}};
    std::string out;
    std::size_t i = 0;
    while (i < argument.size()) {
        bool replaced = false;
        if (argument[i] == '%') {
            for (const auto& [name, value] : names) {
                if (argument.substr(i).starts_with(name)) {
                    out += *value;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += argument[i++];
    }
    return out;
}
