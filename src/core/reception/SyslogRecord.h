#pragma once
#include <ctime>
#include <string>

// One received message. The texts belong to the receive handler and live only while
// the record is being delivered; receivers copy what they keep.
struct SyslogRecord {
    const char* sourceAddress = "";     // dotted IPv4, e.g. 10.1.1.1
    const char* receiveTime = "";       // local time, "%b %d %H:%M:%S"
    const char* facilityName = nullptr; // null when the facility has no name
    const char* severityName = "";
    int severity = -1; // the value severityName names, 0 (emerg) to 7; -1 when not decoded
    const char* messageText = "";
    const char* receivedText = ""; // the whole message as it arrived, priority included
    int priority = 14;             // the decoded priority; user.info when none was sent
    std::time_t receivedAt = 0;    // the clock reading receiveTime was formed from
};

// The facility code the priority carries, 0 (kern) to 127, whether it has a name or not.
inline int FacilityCode(const SyslogRecord& record) {
    return (record.priority & 0x3F8) >> 3;
}

// Sent synchronously to the main window with lParam pointing at a SyslogRecord.
constexpr unsigned WM_USER = 1024;
constexpr unsigned WM_SYSLOG_MESSAGE = WM_USER + 1001;
// Sent around the messages of one read from a stream: wParam 1 before them, 0 after. Log
// lines written in between may wait in their file's buffer until the 0, which hands them to
// the operating system; a datagram's line is handed over at once.
constexpr unsigned WM_SYSLOG_BATCH = WM_USER + 1002;

// The message text as the list shows it and the log line holds it: every CR and then
// every LF replaced by one blank.
std::string FlattenLineBreaks(const char* messageText);
// The same, appended to `out` without a copy of its own.
void AppendFlattened(std::string& out, const char* messageText);
