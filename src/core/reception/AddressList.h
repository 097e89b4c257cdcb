#pragma once
#include <string>
#include <string_view>
#include <vector>

// Reads the address list (ipaddr.flt) by the text-mode line rules: one entry per read of
// at most 1022 bytes, LF ends a line, a CR before it is dropped, a zero byte ends the
// entry, Ctrl-Z ends the file. The file is opened shared and created empty when missing.
// With keepEmpty false empty entries are skipped. False when it cannot be opened.
bool ReadAddressList(const std::string& path, bool keepEmpty, std::vector<std::string>& entries);

// Writes the list from the text of the configuration dialog's address box: every piece
// between CR LF separators that is not empty, followed by CR LF; a piece that is an IPv6
// address is written in canonical form, every other piece verbatim. The file is
// created or emptied first. False, with nothing written, when it cannot be opened.
bool WriteAddressList(const std::string& path, std::string_view text);

// The log file name of each entry under per-address naming, in list order: IPv6 entries by
// their canonical form, so that the file is the one their sender's messages name.
std::vector<std::string> AddressLogStems(const std::vector<std::string>& entries);

// The address list's path: g_programDir followed by "ipaddr.flt".
std::string AddressListPath();
std::string SettingsPath(); // g_programDir followed by "Marovind.ini"

constexpr const char* kSettingsSection = "Marovind";
