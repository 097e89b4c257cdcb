#include "core/storage/Reconfiguration.h"

#include <vector>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/AddressList.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/LogFileSet.h"

namespace {
constexpr const char* kNoFilterForAddressLogsMessage =
    "Warning! You have requested to log info via IP ADDRESS,\n but you have not selected IP "
    "ADDRESS security.\n This means that no packets would be logged!\n Setting logging to "
    "syslog.log instead.\n Rerun the configuration to correct this error!";
constexpr int kAddressScheme = 3;

// The address list as the sheet shows it: every line read, empty ones too, each ending in
// CR LF. A file that cannot be opened gives an empty text.
std::string LoadAddressText() {
    std::vector<std::string> lines;
    ReadAddressList(AddressListPath(), /*keepEmpty=*/true, lines);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string WithTrailingSeparator(std::string directory) {
    if (!directory.empty() && directory.back() != DirectorySeparator())
        directory += DirectorySeparator();
    return directory;
}

void WriteChangedText(SettingsFile& settings, const char* key, const std::string& chosen,
                      const std::string& loaded) {
    if (chosen != loaded)
        settings.SetString(kSettingsSection, key, chosen);
}

// Only what the operator changed: a settings file without these keys keeps without them.
void WriteNetworkChoices(SettingsFile& settings, const ConfigurationChoices& choices) {
    const int port = choices.tcpOn ? choices.tcpPort : 0;
    if (port != choices.loadedNetwork.tcpPort)
        settings.SetInt(kSettingsSection, NetworkSettings::kTcpPortKey, port);
    if (choices.ipv6 != choices.loadedNetwork.ipv6)
        settings.SetBool(kSettingsSection, NetworkSettings::kIpv6Key, choices.ipv6);
    const int tlsPort = choices.tlsOn ? choices.tlsPort : 0;
    if (tlsPort != choices.loadedNetwork.tlsPort)
        settings.SetInt(kSettingsSection, NetworkSettings::kTlsPortKey, tlsPort);
    const NetworkSettings& loaded = choices.loadedNetwork;
    WriteChangedText(settings, NetworkSettings::kTlsCertKey, choices.tlsCert, loaded.tlsCert);
    WriteChangedText(settings, NetworkSettings::kTlsKeyKey, choices.tlsKey, loaded.tlsKey);
    WriteChangedText(settings, NetworkSettings::kTlsClientCaKey, choices.tlsClientCa,
                     loaded.tlsClientCa);
}

void WriteChoices(LogFileSet& set, const ConfigurationChoices& choices) {
    const bool filterOn = choices.filterChoice != ConfigurationChoices::kAnybody;
    set.m_settings.SetBool(kSettingsSection, "LOG_SECURITY", filterOn);
    g_listener.m_filterOn = filterOn;

    // Rewritten every time, whichever filter choice: the list is kept either way. A list
    // that cannot be written is left as it is, silently.
    WriteAddressList(AddressListPath(), choices.addressText);

    set.m_settings.SetString(kSettingsSection, "LOG_DIR", WithTrailingSeparator(choices.directory));
    int scheme = choices.schemeChoice;
    if (scheme == kAddressScheme && choices.filterChoice != ConfigurationChoices::kListedOnly) {
        AfxMessageBox(kNoFilterForAddressLogsMessage);
        scheme = 0;
    }
    set.m_settings.SetInt(kSettingsSection, "LOG_TYPE", scheme);
    WriteNetworkChoices(set.m_settings, choices);
    choices.archive.WriteChanged(set.m_settings, choices.loadedArchive);
    set.m_settings.Save(SettingsPath());
}
} // namespace

// Start-up writes every key, so the defaults here only matter when the file was changed
// since; the choices are then what the server is doing now.
ConfigurationChoices LoadConfigurationChoices(LogFileSet& set) {
    set.m_settings.Load(SettingsPath());
    ConfigurationChoices choices;
    bool filterOn = g_listener.m_filterOn;
    set.m_settings.GetBool(kSettingsSection, "LOG_SECURITY", filterOn);
    choices.filterChoice =
        filterOn ? ConfigurationChoices::kListedOnly : ConfigurationChoices::kAnybody;
    choices.addressText = LoadAddressText();
    set.m_settings.GetString(kSettingsSection, "LOG_DIR", choices.directory);
    choices.schemeChoice = set.m_logType;
    set.m_settings.GetInt(kSettingsSection, "LOG_TYPE", choices.schemeChoice);
    choices.loadedNetwork = ReadNetworkSettings(set.m_settings);
    choices.tcpOn = choices.loadedNetwork.tcpPort != 0;
    if (choices.tcpOn)
        choices.tcpPort = choices.loadedNetwork.tcpPort;
    choices.ipv6 = choices.loadedNetwork.ipv6;
    choices.tlsOn = choices.loadedNetwork.tlsPort != 0;
    if (choices.tlsOn)
        choices.tlsPort = choices.loadedNetwork.tlsPort;
    choices.tlsCert = choices.loadedNetwork.tlsCert;
    choices.tlsKey = choices.loadedNetwork.tlsKey;
    choices.tlsClientCa = choices.loadedNetwork.tlsClientCa;
    choices.loadedArchive = ArchiveSettings::Read(set.m_settings);
    choices.archive = choices.loadedArchive;
    return choices;
}

void ApplyConfiguration(LogFileSet& set, const ConfigurationChoices& choices) {
    // Both rebuilds read the settings and the address list from disk, so those are
    // written first.
    g_listener.m_suspended = 1;
    WriteChoices(set, choices);
    set.OpenLogFiles();
    g_listener.ReloadSourceFilter();
    g_listener.m_suspended = 0;
}
