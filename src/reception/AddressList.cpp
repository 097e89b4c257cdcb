#include "reception/AddressList.h"

#include "platform/ProgramDir.h"
#include "platform/TextModeReader.h"

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

std::string AddressListPath() { return g_programDir + "ipaddr.flt"; }
std::string SettingsPath() { return g_programDir + "Marovind.ini"; }
