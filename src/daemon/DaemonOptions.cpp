#include "daemon/DaemonOptions.h"

#include <charconv>

namespace {
bool ParsePort(const std::string& text, std::uint16_t& port) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// Splits "--name=value" into its name and value.
bool SplitValue(std::string& name, std::string& value) {
    const auto equals = name.find('=');
    if (equals == std::string::npos)
        return false;
    value = name.substr(equals + 1);
    name.resize(equals);
    return true;
}
} // namespace

DaemonOptions ParseDaemonOptions(const std::vector<std::string>& arguments) {
    DaemonOptions options;
    for (std::size_t i = 0; i < arguments.size() && options.error.empty(); ++i) {
        std::string name = arguments[i];
        std::string value;
        const bool inlineValue = SplitValue(name, value);
        const bool takesValue =
            name == "--dir" || name == "--port" || name == "--tcp-port" || name == "--tls-port";
        if (takesValue && !inlineValue) {
            if (i + 1 == arguments.size()) {
                options.error = name + " needs a value";
                break;
            }
            value = arguments[++i];
        }
        if (name == "--dir" && !value.empty())
            options.directory = value;
        else if (name == "--dir")
            options.error = "--dir needs a directory";
        else if (name == "--port" && !ParsePort(value, options.port))
            options.error = "bad port '" + value + "' (1 to 65535)";
        else if (name == "--tcp-port" && !ParsePort(value, options.tcpPort))
            options.error = "bad TCP port '" + value + "' (1 to 65535)";
        else if (name == "--tls-port" && !ParsePort(value, options.tlsPort))
            options.error = "bad TLS port '" + value + "' (1 to 65535)";
        else if (name == "--help" && !inlineValue)
            options.help = true;
        else if (name == "--version" && !inlineValue)
            options.version = true;
        else if (name == "--create-certificate" && !inlineValue)
            options.createCertificate = true;
        else if (name == "--force" && !inlineValue)
            options.force = true;
        else if (!takesValue)
            options.error = "unknown option '" + arguments[i] + "'";
    }
    if (options.force && !options.createCertificate && options.error.empty())
        options.error = "--force goes with --create-certificate";
    return options;
}
