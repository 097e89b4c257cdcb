#pragma once
#include <cstdint>
#include <string_view>

// How a message's header was read.
enum class HeaderFormat : std::uint8_t { None, Rfc5424, Bsd };

// The moment a sender put in its header. Only an RFC 5424 time carries its offset from UTC
// (and so a point in time); a BSD time is the sender's wall clock, often without a year.
struct SentTime {
    std::string_view text; // as sent; empty when the message has no time
    bool hasOffset = false;
    std::int64_t utcSeconds = 0; // with an offset: seconds since 1970-01-01 UTC
    std::string_view fraction;   // the digits after the seconds' point, if any
};

// The header fields of one message, each a piece of the text it was read from (so valid as
// long as that text). A field the message lacks, or sends as nil ("-"), is empty.
struct MessageFields {
    HeaderFormat format = HeaderFormat::None;
    SentTime sent;
    std::string_view host;
    std::string_view app; // RFC 5424's APP-NAME, BSD's tag, Cisco's mnemonic
    std::string_view pid;
    std::string_view msgid;
    std::string_view sd; // RFC 5424's structured data elements, as sent
    // After the header (and a UTF-8 byte order mark); the whole text when no header fits.
    std::string_view message;
};

// Reads the header of a message's text after its priority: as RFC 5424, failing that as
// the BSD format (with or without host name, Cisco's form among them), failing that as no
// header at all. Reads nothing beyond `text` and never rejects: every text gives fields.
MessageFields ParseMessageFields(std::string_view text);

// A typed host name or application as the filter bar and the alert rules take it: the field
// must be the typed text or start with it, letter case aside; an empty one matches every
// field. `typed` is in ASCII lower case (AsciiLowered of core/platform/AsciiCase.h).
bool FieldStartsWith(std::string_view field, std::string_view typed);
