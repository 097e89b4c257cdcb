#include "core/platform/ChildProcess.h"

namespace {
// The rules of CommandLineToArgvW: backslashes are literal unless they come before a
// quote, where each pair stands for one backslash and an odd one escapes the quote.
void AppendQuoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\'); // before the closing quote
    line += '"';
}
} // namespace

std::string WindowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments) {
    // The program name is read with simpler rules: quoted whole, it cannot hold a quote.
    std::string line = '"' + program + '"';
    for (const std::string& argument : arguments) {
        line += ' ';
        AppendQuoted(line, argument);
    }
    return line;
}
