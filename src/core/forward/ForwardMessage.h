#pragma once
#include <cstddef>
#include <ctime>
#include <string>

struct SyslogRecord;

// An admitted message as forwarding keeps it: a copy of what the record points at, for a worker
// thread that outlives the delivery.
struct ForwardMessage {
    std::string received;   // the bytes as they arrived, priority included
    std::size_t bodyAt = 0; // where the text after the priority starts in `received`
    std::string address;    // the sender's address
    std::time_t receivedAt = 0;
    int priority = 14;
    int severity = 6;

    static ForwardMessage From(const SyslogRecord& record);
};
