#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/fields/MessageFields.h"

// The header fields an operator can show as columns, by the names the settings and the
// exports use for them.
enum class Field : std::uint8_t { Sent, Host, App, Pid, MsgId, Sd };
constexpr std::size_t kFieldCount = 6;
constexpr std::array<std::string_view, kFieldCount> kFieldNames = {"sent", "host",  "app",
                                                                   "pid",  "msgid", "sd"};

// A set of fields, one bit per Field.
class FieldSet {
public:
    constexpr FieldSet() = default;

    bool Has(Field field) const { return (m_bits >> Bit(field)) & 1u; }
    void Set(Field field, bool on) {
        m_bits = on ? m_bits | (1u << Bit(field)) : m_bits & ~(1u << Bit(field));
    }
    bool Empty() const { return m_bits == 0; }
    std::size_t Count() const;
    // The n-th field of the set in the order of Field.
    Field Nth(std::size_t n) const;
    // Where `field` stands among the set's fields (those before it).
    std::size_t IndexOf(Field field) const;
    bool operator==(const FieldSet&) const = default;

    // "host,app": the names in the order of Field. Reading skips blanks and unknown names.
    std::string Text() const;
    static FieldSet FromText(std::string_view text);

private:
    static unsigned Bit(Field field) { return static_cast<unsigned>(field); }
    unsigned m_bits = 0;
};

// The field's piece of the message (the sent time as sent); empty when it lacks it.
std::string_view FieldValue(const MessageFields& fields, Field field);
