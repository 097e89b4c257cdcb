#include "core/forward/ForwardMessage.h"

#include <cstdint>

#include "core/reception/SyslogRecord.h"

ForwardMessage ForwardMessage::From(const SyslogRecord& record) {
    ForwardMessage message;
    message.received = record.receivedText;
    // A record made elsewhere than by decoding may point its text somewhere else.
    const auto start = reinterpret_cast<std::uintptr_t>(record.receivedText);
    const auto body = reinterpret_cast<std::uintptr_t>(record.messageText);
    const bool inside = body >= start && body - start <= message.received.size();
    message.bodyAt = inside ? body - start : 0;
    message.address = record.sourceAddress;
    message.receivedAt = record.receivedAt;
    message.priority = record.priority;
    message.severity = record.severity;
    return message;
}
