#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/platform/MessageTarget.h"
#include "core/reception/SyslogRecord.h"

#ifdef _WIN32
// windows.h turns this name into a macro; here it is the main window's own.
#undef SendMessage
#endif

struct ReceivedRecord {
    std::string address, time, facility, severity, text;
};

// Stands in for the main frame: keeps a copy of every record while the send lasts.
class RecordingWindow : public MessageTarget {
public:
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override {
        if (message != WM_SYSLOG_MESSAGE || wParam != 0)
            return 0;
        const auto* record = reinterpret_cast<const SyslogRecord*>(lParam);
        records.push_back({record->sourceAddress, record->receiveTime,
                           record->facilityName ? record->facilityName : "(absent)",
                           record->severityName, record->messageText});
        if (onRecord)
            onRecord();
        return 0;
    }
    std::vector<ReceivedRecord> records;
    std::function<void()> onRecord;
};
