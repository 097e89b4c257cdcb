#include "core/forward/ForwardTarget.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "core/reception/NameTables.h"

namespace {
using Transport = ForwardTarget::Transport;

std::vector<std::string_view> SplitOnBlanks(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

template <class Number> bool ParseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseTransport(std::string_view scheme, Transport& transport) {
    const std::pair<std::string_view, Transport> schemes[] = {
        {"udp", Transport::Udp}, {"tcp", Transport::Tcp}, {"tls", Transport::Tls}};
    for (const auto& [name, value] : schemes)
        if (scheme == name) {
            transport = value;
            return true;
        }
    return false;
}

// "HOST:PORT" or "[IPV6]:PORT".
bool ParseHostPort(std::string_view text, ForwardTarget& target, std::string& error) {
    std::size_t colon = text.rfind(':');
    std::string_view host = text.substr(0, colon == std::string_view::npos ? 0 : colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find_first_of(":[]") != std::string_view::npos)
        host = {};
    if (colon != std::string_view::npos && host.empty()) {
        error = "no host in \"" + std::string(text) + "\"";
        return false;
    }
    if (colon == std::string_view::npos || !ParseNumber(text.substr(colon + 1), target.port) ||
        target.port == 0) {
        error = "no port (1 to 65535) in \"" + std::string(text) + "\"";
        return false;
    }
    target.host = host;
    return true;
}

bool ParseAddress(std::string_view word, ForwardTarget& target, std::string& error) {
    const std::size_t separator = word.find("://");
    if (separator == std::string_view::npos ||
        !ParseTransport(word.substr(0, separator), target.transport)) {
        error = "\"" + std::string(word) + "\" is not udp://, tcp:// or tls://HOST:PORT";
        return false;
    }
    return ParseHostPort(word.substr(separator + 3), target, error);
}

bool ParseSeverity(std::string_view name, int& severity) {
    for (const SyslogName* row = SeverityNameTable; row->name; ++row)
        if (name == row->name && row->value <= 7) {
            severity = row->value;
            return true;
        }
    return false;
}

bool ParseOption(std::string_view word, ForwardTarget& target) {
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view name = word.substr(0, equals);
    const std::string_view value = word.substr(equals + 1);
    const bool tls = target.transport == Transport::Tls;
    if (name == "format" && (value == "as-received" || value == "rfc5424")) {
        target.format =
            value == "rfc5424" ? ForwardTarget::Format::Rfc5424 : ForwardTarget::Format::AsReceived;
        return true;
    }
    if (name == "min-severity")
        return ParseSeverity(value, target.minSeverity);
    std::uint64_t megabytes = 0;
    if (name == "queue-mb" && ParseNumber(value, megabytes) && megabytes > 0 &&
        megabytes <= 1024 * 1024) {
        target.queueBytes = megabytes * 1024 * 1024;
        return true;
    }
    if (tls && name == "ca" && !value.empty() && target.fingerprint.empty()) {
        target.caFile = value;
        return true;
    }
    if (tls && name == "fingerprint" && value.starts_with("SHA256:") && target.caFile.empty()) {
        target.fingerprint = value;
        return true;
    }
    return false;
}

bool IsFileNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}
} // namespace

std::string ForwardTarget::Address() const {
    const char* scheme = transport == Transport::Udp   ? "udp://"
                         : transport == Transport::Tcp ? "tcp://"
                                                       : "tls://";
    const bool ipv6 = host.find(':') != std::string::npos;
    return scheme + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string ForwardTarget::QueueName() const {
    std::string name = Address();
    name.replace(name.find("://"), 3, "_");
    for (char& c : name)
        if (!IsFileNameCharacter(c))
            c = '_';
    return name;
}

bool ParseForwardTarget(std::string_view value, ForwardTarget& target, std::string& error) {
    target = ForwardTarget();
    const std::vector<std::string_view> words = SplitOnBlanks(value);
    if (words.empty()) {
        error = "no address";
        return false;
    }
    if (!ParseAddress(words.front(), target, error))
        return false;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (!ParseOption(words[i], target)) {
            error = "option \"" + std::string(words[i]) + "\" not understood";
            return false;
        }
    return true;
}
