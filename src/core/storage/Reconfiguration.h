#pragma once
#include <cstdint>
#include <string>

#include "core/archive/ArchiveSettings.h"
#include "core/settings/NetworkSettings.h"

class LogFileSet;

// What the configuration sheet edits, with the sheet's own values: the filter and scheme
// choices are the checked radio button, -1 when none is.
struct ConfigurationChoices {
    static constexpr int kAnybody = 0;
    static constexpr int kListedOnly = 1;

    int filterChoice = -1;
    std::string addressText; // the address list, every line ending in CR LF
    std::string directory;
    int schemeChoice = -1;
    // The "Network" group; its keys are written only when they differ from `loadedNetwork`,
    // the settings the sheet opened with.
    bool tcpOn = false;
    std::uint16_t tcpPort = kSuggestedTcpPort; // kept while TCP is off, for the port box
    bool ipv6 = false;
    bool tlsOn = false;
    std::uint16_t tlsPort = NetworkSettings::kDefaultTlsPort; // kept while TLS is off
    std::string tlsCert;
    std::string tlsKey;
    std::string tlsClientCa;
    NetworkSettings loadedNetwork;
    // The "Archive" group; likewise written only where it differs from `loadedArchive`.
    ArchiveSettings archive;
    ArchiveSettings loadedArchive;

    static constexpr std::uint16_t kSuggestedTcpPort = 514;
};

// Loads the settings file into the set's m_settings and reads the choices the sheet opens
// with: the settings and ipaddr.flt as they stand on disk, and where a key is missing what
// the server is doing now.
ConfigurationChoices LoadConfigurationChoices(LogFileSet& set);

// The sheet's OK: writes the choices to ipaddr.flt and the settings file (per-address logs
// without the filter are refused with a warning and become one file), then rebuilds the log
// file set and reloads the source filter. Nothing is read from the socket meanwhile.
void ApplyConfiguration(LogFileSet& set, const ConfigurationChoices& choices);
