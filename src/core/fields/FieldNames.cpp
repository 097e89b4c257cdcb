#include "core/fields/FieldNames.h"

std::size_t FieldSet::Count() const {
    std::size_t count = 0;
    for (unsigned bits = m_bits; bits; bits &= bits - 1)
        ++count;
    return count;
}

Field FieldSet::Nth(std::size_t n) const {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (Has(field) && n-- == 0)
            return field;
    }
    return Field::Sent;
}

std::size_t FieldSet::IndexOf(Field field) const {
    std::size_t index = 0;
    for (std::size_t i = 0; i < Bit(field); ++i)
        index += Has(static_cast<Field>(i)) ? 1 : 0;
    return index;
}

std::string FieldSet::Text() const {
    std::string text;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (!Has(static_cast<Field>(i)))
            continue;
        if (!text.empty())
            text += ',';
        text += kFieldNames[i];
    }
    return text;
}

FieldSet FieldSet::FromText(std::string_view text) {
    FieldSet set;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view name = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        for (std::size_t i = 0; i < kFieldCount; ++i)
            if (name == kFieldNames[i])
                set.Set(static_cast<Field>(i), true);
    }
    return set;
}

std::string_view FieldValue(const MessageFields& fields, Field field) {
    switch (field) {
    case Field::Sent:
        return fields.sent.text;
    case Field::Host:
        return fields.host;
    case Field::App:
        return fields.app;
    case Field::Pid:
        return fields.pid;
    case Field::MsgId:
        return fields.msgid;
    case Field::Sd:
        return fields.sd;
    }
    return {};
}
