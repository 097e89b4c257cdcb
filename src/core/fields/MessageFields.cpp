#include "core/fields/MessageFields.h"

#include <algorithm>
#include <array>

#include "core/platform/AsciiCase.h"

namespace {
// Limits of RFC 5424's header fields; BSD's fields are held to the same.
constexpr std::size_t kHostMax = 255;
constexpr std::size_t kAppMax = 48;
constexpr std::size_t kPidMax = 128;
constexpr std::size_t kMsgIdMax = 32;
constexpr std::size_t kSdNameMax = 32;
constexpr std::size_t kFractionMax = 6;
constexpr std::string_view kNil = "-";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Visible US-ASCII, what RFC 5424's header fields are made of.
bool IsPrintable(char c) {
    return c > ' ' && c < '\x7F';
}

// A read position in the text; every look goes through it, so nothing is read past the end.
class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    std::size_t Pos() const { return m_pos; }
    char Peek(std::size_t ahead = 0) const {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0';
    }
    bool Take(char c) {
        if (AtEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    void Skip(std::size_t n = 1) { m_pos = m_pos + n < m_text.size() ? m_pos + n : m_text.size(); }
    std::string_view From(std::size_t start) const { return m_text.substr(start, m_pos - start); }
    std::string_view Rest() const {
        return m_text.substr(m_pos < m_text.size() ? m_pos : m_text.size());
    }

    // Exactly `count` digits as a number; -1 (and nothing taken) when they are not there.
    int Number(std::size_t count) {
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!IsDigit(Peek(i)))
                return -1;
            value = value * 10 + (Peek(i) - '0');
        }
        m_pos += count;
        return value;
    }
    // One to `most` digits.
    std::string_view Digits(std::size_t most) {
        const std::size_t start = m_pos;
        while (m_pos - start < most && IsDigit(Peek()))
            ++m_pos;
        return From(start);
    }
    // Up to the next blank (or the end): RFC 5424's printable, non-empty field of at most
    // `most` bytes.
    bool HeaderField(std::size_t most, std::string_view& field) {
        const std::size_t start = m_pos;
        while (IsPrintable(Peek()) && m_pos - start <= most)
            ++m_pos;
        field = From(start);
        return !field.empty() && field.size() <= most;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// hh:mm:ss, each part in its range.
bool TakeClock(Cursor& c, int& hour, int& minute, int& second) {
    hour = c.Number(2);
    if (!InRange(hour, 0, 23) || !c.Take(':'))
        return false;
    minute = c.Number(2);
    if (!InRange(minute, 0, 59) || !c.Take(':'))
        return false;
    second = c.Number(2);
    return InRange(second, 0, 60);
}

bool TakeFraction(Cursor& c, SentTime& sent) {
    if (c.Peek() != '.' || !IsDigit(c.Peek(1)))
        return true;
    c.Skip();
    sent.fraction = c.Digits(kFractionMax);
    return !IsDigit(c.Peek());
}

// RFC 5424's TIMESTAMP: YYYY-MM-DDThh:mm:ss[.ffffff](Z|+hh:mm|-hh:mm), the whole token.
bool ParseIsoTime(std::string_view token, SentTime& sent) {
    Cursor c(token);
    const int year = c.Number(4);
    if (year < 0 || !c.Take('-'))
        return false;
    const int month = c.Number(2);
    if (!InRange(month, 1, 12) || !c.Take('-'))
        return false;
    const int day = c.Number(2);
    int hour = 0, minute = 0, second = 0;
    if (!InRange(day, 1, 31) || !c.Take('T') || !TakeClock(c, hour, minute, second) ||
        !TakeFraction(c, sent))
        return false;
    int offset = 0;
    if (!c.Take('Z')) {
        const char sign = c.Peek();
        if (sign != '+' && sign != '-')
            return false;
        c.Skip();
        const int offsetHours = c.Number(2);
        if (!InRange(offsetHours, 0, 23) || !c.Take(':'))
            return false;
        const int offsetMinutes = c.Number(2);
        if (!InRange(offsetMinutes, 0, 59))
            return false;
        offset = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes) * 60;
    }
    if (!c.AtEnd())
        return false;
    sent.text = token;
    sent.hasOffset = true;
    sent.utcSeconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    return true;
}

// STRUCTURED-DATA: one or more [SD-ID *(SP PARAM-NAME="value")], values with \" \\ \]
// escaped. Leaves the cursor after the last "]".
bool TakeSdName(Cursor& c) {
    const std::size_t start = c.Pos();
    for (char ch = c.Peek(); IsPrintable(ch) && ch != '=' && ch != ']' && ch != '"'; ch = c.Peek())
        c.Skip();
    const std::size_t length = c.Pos() - start;
    return length > 0 && length <= kSdNameMax;
}

bool TakeSdValue(Cursor& c) {
    if (!c.Take('"'))
        return false;
    while (!c.AtEnd()) {
        const char ch = c.Peek();
        c.Skip(ch == '\\' ? 2 : 1);
        if (ch == '"')
            return true;
    }
    return false;
}

bool TakeSdElements(Cursor& c) {
    if (c.Peek() != '[')
        return false;
    while (c.Take('[')) {
        if (!TakeSdName(c))
            return false;
        while (c.Take(' '))
            if (!TakeSdName(c) || !c.Take('=') || !TakeSdValue(c))
                return false;
        if (!c.Take(']'))
            return false;
    }
    return true;
}

std::string_view NilIsEmpty(std::string_view field) {
    return field == kNil ? std::string_view() : field;
}

bool TakeHeaderField(Cursor& c, std::size_t most, std::string_view& field) {
    if (!c.HeaderField(most, field) || !c.Take(' '))
        return false;
    field = NilIsEmpty(field);
    return true;
}

// VERSION SP TIMESTAMP SP HOSTNAME SP APP-NAME SP PROCID SP MSGID SP STRUCTURED-DATA [SP MSG]
bool ParseRfc5424(std::string_view text, MessageFields& f) {
    Cursor c(text);
    if (c.Peek() < '1' || c.Peek() > '9')
        return false;
    c.Digits(3);
    if (!c.Take(' '))
        return false;
    std::string_view time;
    if (!TakeHeaderField(c, text.size(), time) || (!time.empty() && !ParseIsoTime(time, f.sent)))
        return false;
    if (!TakeHeaderField(c, kHostMax, f.host) || !TakeHeaderField(c, kAppMax, f.app) ||
        !TakeHeaderField(c, kPidMax, f.pid) || !TakeHeaderField(c, kMsgIdMax, f.msgid))
        return false;
    const std::size_t sdStart = c.Pos();
    if (!c.Take('-') && !TakeSdElements(c))
        return false;
    f.sd = NilIsEmpty(c.From(sdStart));
    if (!c.AtEnd() && !c.Take(' '))
        return false;
    f.message = c.Rest();
    if (f.message.starts_with(kByteOrderMark))
        f.message.remove_prefix(kByteOrderMark.size());
    f.format = HeaderFormat::Rfc5424;
    return true;
}

bool TakeMonth(Cursor& c) {
    for (std::string_view month : kMonths)
        if (c.Peek() == month[0] && c.Peek(1) == month[1] && c.Peek(2) == month[2]) {
            c.Skip(3);
            return true;
        }
    return false;
}

// A day of one or two digits, padded with a blank or a zero to two places or not at all.
bool TakeDay(Cursor& c) {
    c.Take(' ');
    const std::string_view day = c.Digits(2);
    return !day.empty() && day != "0" && day != "00";
}

bool TakeYear(Cursor& c) {
    if (!IsDigit(c.Peek()) || !IsDigit(c.Peek(3)) || c.Peek(4) != ' ')
        return false;
    return c.Number(4) >= 0 && c.Take(' ');
}

// Mmm dd [yyyy] hh:mm:ss[.fff] [yyyy]; the cursor stays on what follows it.
bool TakeBsdTime(Cursor& c, SentTime& sent) {
    const std::size_t start = c.Pos();
    if (!TakeMonth(c) || !c.Take(' ') || !TakeDay(c) || !c.Take(' '))
        return false;
    TakeYear(c);
    int hour = 0, minute = 0, second = 0;
    if (!TakeClock(c, hour, minute, second) || !TakeFraction(c, sent))
        return false;
    Cursor year = c;
    if (year.Take(' ') && IsDigit(year.Peek()) && year.Number(4) >= 0 && year.Peek() == ' ')
        c = year;
    sent.text = c.From(start);
    return true;
}

// TAG[PID]: or TAG: and the blank after it; false (and the cursor where it was) otherwise.
bool TakeTag(Cursor& c, MessageFields& f) {
    Cursor tag = c;
    const std::size_t start = tag.Pos();
    for (char ch = tag.Peek(); ch && ch != '[' && ch != ':' && ch != ' '; ch = tag.Peek())
        tag.Skip();
    const std::string_view app = tag.From(start);
    if (app.empty() || app.size() > kAppMax)
        return false;
    std::string_view pid;
    if (tag.Take('[')) {
        const std::size_t pidStart = tag.Pos();
        while (!tag.AtEnd() && tag.Peek() != ']' && tag.Pos() - pidStart <= kPidMax)
            tag.Skip();
        pid = tag.From(pidStart);
        if (pid.empty() || pid.size() > kPidMax || !tag.Take(']'))
            return false;
    }
    if (!tag.Take(':'))
        return false;
    tag.Take(' ');
    c = tag;
    f.app = app;
    f.pid = pid;
    return true;
}

// The word at the cursor, when it is followed by a blank and is no tag: the host name.
bool TakeHost(Cursor& c, MessageFields& f) {
    Cursor host = c;
    const std::size_t start = host.Pos();
    for (char ch = host.Peek(); IsPrintable(ch) && ch != '['; ch = host.Peek())
        host.Skip();
    const std::string_view name = host.From(start);
    if (name.empty() || name.size() > kHostMax || name.back() == ':' || !host.Take(' '))
        return false;
    c = host;
    f.host = name;
    return true;
}

// Cisco's "seq: " before the time and its "*" or "." (a clock not in sync) on it.
void TakeCiscoPrefix(Cursor& c) {
    Cursor seq = c;
    if (!seq.Digits(10).empty() && seq.Take(':') && seq.Take(' '))
        c = seq;
    if (c.Peek() == '*' || c.Peek() == '.')
        c.Skip();
}

// Cisco's ": %FAC-SEV-MNEMONIC: " after the time.
bool TakeCiscoMnemonic(Cursor& c, MessageFields& f) {
    Cursor m = c;
    if (!m.Take(':') || !m.Take(' ') || !m.Take('%'))
        return false;
    const std::size_t start = m.Pos();
    for (char ch = m.Peek(); IsPrintable(ch) && ch != ':'; ch = m.Peek())
        m.Skip();
    const std::string_view mnemonic = m.From(start);
    if (mnemonic.empty() || mnemonic.size() > kAppMax || !m.Take(':'))
        return false;
    m.Take(' ');
    c = m;
    f.app = mnemonic;
    return true;
}

// Mmm dd hh:mm:ss [HOSTNAME] TAG[PID]: MSG, and Cisco's seq: *Mmm dd hh:mm:ss.mmm: %MNEMONIC: MSG
bool ParseBsd(std::string_view text, MessageFields& f) {
    Cursor c(text);
    TakeCiscoPrefix(c);
    SentTime sent;
    if (!TakeBsdTime(c, sent))
        return false;
    MessageFields fields;
    if (!TakeCiscoMnemonic(c, fields)) {
        if (!c.Take(' ') && !c.AtEnd())
            return false;
        if (!TakeTag(c, fields) && TakeHost(c, fields))
            TakeTag(c, fields);
    }
    fields.format = HeaderFormat::Bsd;
    fields.sent = sent;
    fields.message = c.Rest();
    f = fields;
    return true;
}
} // namespace

MessageFields ParseMessageFields(std::string_view text) {
    MessageFields fields;
    if (ParseRfc5424(text, fields))
        return fields;
    fields = MessageFields();
    if (ParseBsd(text, fields))
        return fields;
    fields = MessageFields();
    fields.message = text;
    return fields;
}

bool FieldStartsWith(std::string_view field, std::string_view typed) {
    return typed.empty() || (field.size() >= typed.size() &&
                             std::equal(typed.begin(), typed.end(), field.begin(),
                                        [](char t, char f) { return AsciiLower(f) == t; }));
}
