#include "core/forward/Rfc5424Writer.h"

#include <cstdio>
#include <string_view>

#include "core/fields/MessageFields.h"
#include "core/platform/Clock.h"

namespace {
constexpr int kHighestPriority = 191; // local7.debug
constexpr int kUserFacility = 8;

// A header field of at most `limit` visible US-ASCII characters, or the nil value.
void AppendField(std::string& out, std::string_view value, std::size_t limit) {
    std::size_t taken = 0;
    for (char c : value.substr(0, limit))
        if (c > ' ' && c < '\x7F') {
            out += c;
            ++taken;
        }
    if (taken == 0)
        out += '-';
    out += ' ';
}

void AppendReceiptTime(std::string& out, std::time_t when) {
    std::tm parts{};
    if (!ToUtcParts(when, parts)) {
        out += "- ";
        return;
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    out += text;
}

int ForwardedPriority(const ForwardMessage& message) {
    if (message.priority >= 0 && message.priority <= kHighestPriority)
        return message.priority;
    return kUserFacility + (message.severity & 7);
}
} // namespace

std::string Rfc5424Text(const ForwardMessage& message) {
    const std::string_view body = std::string_view(message.received).substr(message.bodyAt);
    const MessageFields fields = ParseMessageFields(body);
    std::string out;
    out.reserve(message.received.size() + 64);
    out += '<' + std::to_string(ForwardedPriority(message)) + ">1 ";
    if (fields.format == HeaderFormat::Rfc5424 && fields.sent.hasOffset)
        AppendField(out, fields.sent.text, 64);
    else
        AppendReceiptTime(out, message.receivedAt);
    AppendField(out, fields.host.empty() ? std::string_view(message.address) : fields.host, 255);
    AppendField(out, fields.app, 48);
    AppendField(out, fields.pid, 128);
    AppendField(out, fields.msgid, 32);
    if (fields.sd.empty())
        out += '-';
    else
        out += fields.sd;
    if (!fields.message.empty()) {
        out += ' ';
        out += fields.message;
    }
    return out;
}
