#include "core/reception/AddressList.h"

#include <cstdio>

#include "core/platform/AddressText.h"
#include "core/platform/ProgramDir.h"
#include "core/platform/TextModeReader.h"

bool ReadAddressList(const std::string& path, bool keepEmpty, std::vector<std::string>& entries) {
    entries.clear();
    TextModeReader reader;
    if (!reader.Open(path, true))
        return false;
    std::string entry;
    while (!reader.Eof() && !reader.Failed()) {
        if (reader.ReadPiece(entry) && (keepEmpty || !entry.empty()))
            entries.push_back(entry);
    }
    return true;
}

bool WriteAddressList(const std::string& path, std::string_view text) {
    // Binary, with the CR LF spelled out, so the file is the same on every platform.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    constexpr std::string_view kLineEnd = "\r\n";
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(kLineEnd, start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view piece = text.substr(start, end - start);
        std::string canonical;
        if (piece.find(':') != std::string_view::npos && CanonicalIpv6Text(piece, canonical))
            piece = canonical;
        if (!piece.empty()) {
            std::fwrite(piece.data(), 1, piece.size(), file);
            std::fwrite(kLineEnd.data(), 1, kLineEnd.size(), file);
        }
        start = end + kLineEnd.size();
    }
    return std::fclose(file) == 0;
}

std::vector<std::string> AddressLogStems(const std::vector<std::string>& entries) {
    std::vector<std::string> stems;
    for (const std::string& entry : entries) {
        std::string canonical = entry;
        if (entry.find(':') != std::string::npos)
            CanonicalIpv6Text(entry, canonical);
        stems.push_back(AddressFileStem(canonical));
    }
    return stems;
}

std::string AddressListPath() {
    return g_programDir + "ipaddr.flt";
}
std::string SettingsPath() {
    return g_programDir + "Marovind.ini";
}
