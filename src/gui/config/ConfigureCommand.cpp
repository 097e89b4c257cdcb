#include "gui/config/ConfigureCommand.h"

#include <vector>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/AddressList.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/LogFileSet.h"
#include "gui/config/CfgLogFiles.h"
#include "gui/config/CfgSecurity.h"
#include "gui/framework/PropertySheet.h"

namespace {
constexpr const char* kNoFilterForAddressLogsMessage =
    "Warning! You have requested to log info via IP ADDRESS,\n but you have not selected IP "
    "ADDRESS security.\n This means that no packets would be logged!\n Setting logging to "
    "syslog.log instead.\n Rerun the configuration to correct this error!";
constexpr int kAddressScheme = 3;

// The address list as the box shows it: every line read, empty ones too, each ending in
// CR LF. A file that cannot be opened gives an empty box.
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

// Start-up writes every key, so these only matter when the file was changed since; the
// sheet then opens on what the server is doing now.
void LoadChoices(const LogFileSet& frame, CCfgSecurity& security, CCfgLogFiles& logFiles) {
    bool filterOn = g_listener.m_filterOn;
    frame.m_settings.GetBool(kSettingsSection, "LOG_SECURITY", filterOn);
    security.m_filterChoice = filterOn ? CCfgSecurity::kListedOnly : CCfgSecurity::kAnybody;
    security.m_addressText = LoadAddressText();
    frame.m_settings.GetString(kSettingsSection, "LOG_DIR", logFiles.m_directory);
    logFiles.m_schemeChoice = frame.m_logType;
    frame.m_settings.GetInt(kSettingsSection, "LOG_TYPE", logFiles.m_schemeChoice);
}

void ApplyChoices(LogFileSet& frame, const CCfgSecurity& security, const CCfgLogFiles& logFiles,
                  const std::string& settingsPath) {
    const bool filterOn = security.m_filterChoice != CCfgSecurity::kAnybody;
    frame.m_settings.SetBool(kSettingsSection, "LOG_SECURITY", filterOn);
    g_listener.m_filterOn = filterOn;

    // Rewritten on every OK, whichever filter choice: the box keeps its text either way.
    // A list that cannot be written is left as it is, silently.
    WriteAddressList(AddressListPath(), security.m_addressText);

    frame.m_settings.SetString(kSettingsSection, "LOG_DIR",
                               WithTrailingSeparator(logFiles.m_directory));
    int scheme = logFiles.m_schemeChoice;
    if (scheme == kAddressScheme && security.m_filterChoice != CCfgSecurity::kListedOnly) {
        AfxMessageBox(kNoFilterForAddressLogsMessage);
        scheme = 0;
    }
    frame.m_settings.SetInt(kSettingsSection, "LOG_TYPE", scheme);
    frame.m_settings.Save(settingsPath);
}
} // namespace

bool RunConfigureCommand(LogFileSet& frame, QWidget* owner) {
    const std::string settingsPath = SettingsPath();
    // Declared before the sheet so that the sheet, which only borrows them, goes first.
    CCfgSecurity security;
    CCfgLogFiles logFiles;
    CPropertySheet sheet(owner);

    frame.m_settings.Load(settingsPath);
    LoadChoices(frame, security, logFiles);

    sheet.AddPage(&security);
    sheet.AddPage(&logFiles);
    sheet.SetTitle(QStringLiteral("Marovind Configuration"), 0);
    if (sheet.DoModal() != CPropertySheet::kIdOk)
        return false;

    // Nothing is read from the socket until both rebuilds are done; they read the
    // settings and the address list from disk, so those are written first.
    g_listener.m_suspended = 1;
    ApplyChoices(frame, security, logFiles, settingsPath);
    frame.OpenLogFiles();
    g_listener.ReloadSourceFilter();
    g_listener.m_suspended = 0;
    return true;
}
