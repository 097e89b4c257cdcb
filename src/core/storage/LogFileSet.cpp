#include "core/storage/LogFileSet.h"

#include <algorithm>

#include "core/reception/AddressList.h"
#include "core/reception/NameTables.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/LogArchiving.h"
#include "core/storage/LogFileEntry.h"

#include "core/platform/AddressText.h"
#include "core/platform/EventLoop.h"
#include "core/platform/MessageBox.h"
#include "core/platform/OpenFileLimit.h"
#include "core/platform/ProgramDir.h"

namespace {
constexpr const char* kLogExtension = ".log";
constexpr const char* kSingleLogName = "syslog.log";
constexpr int kArchiveTickMs = 100;

const char* TextOrEmpty(const char* text) {
    return text ? text : "";
}

std::string AddressLogName(const std::string& address) {
    return AddressFileStem(address) + kLogExtension;
}

std::vector<std::string> TableLogNames(const SyslogName* table) {
    std::vector<std::string> names;
    for (const SyslogName* row = table; row->name; ++row)
        names.push_back(std::string(row->name) + kLogExtension);
    return names;
}

std::vector<std::string> AddressLogNames() {
    std::vector<std::string> addresses;
    ReadAddressList(AddressListPath(), false, addresses);
    std::vector<std::string> names = AddressLogStems(addresses);
    for (std::string& name : names)
        name += kLogExtension;
    return names;
}

// Every file the scheme can choose, in the order the set holds them.
std::vector<std::string> LogNamesOfScheme(int logType) {
    switch (logType) {
    case 1:
        return TableLogNames(SeverityNameTable);
    case 2:
        return TableLogNames(FacilityNameTable);
    case 3:
        return AddressLogNames();
    default:
        return {kSingleLogName};
    }
}

// Into `line`, whose capacity is kept from line to line.
void FormatLogLine(const SyslogRecord& record, std::string& line) {
    line.assign(TextOrEmpty(record.receiveTime));
    line += ' ';
    line += TextOrEmpty(record.sourceAddress);
    line += ' ';
    AppendFlattened(line, record.messageText);
    line += "\r\n";
}
} // namespace

std::string LogFileNameFor(const SyslogRecord& record, int logType) {
    switch (logType) {
    case 1:
        return std::string(TextOrEmpty(record.severityName)) + kLogExtension;
    case 2:
        return std::string(TextOrEmpty(record.facilityName)) + kLogExtension;
    case 3:
        return AddressLogName(TextOrEmpty(record.sourceAddress));
    default:
        return kSingleLogName;
    }
}

LogFileSet::LogFileSet() = default;

LogFileSet::~LogFileSet() {
    m_archiveTimer.reset();
    CloseLogFiles();
}

void LogFileSet::OpenLogFiles() {
    g_listener.m_suspended = 1;
    CloseLogFiles();
    LoadLogSettings();
    if (m_logType < 0 || m_logType > 3)
        m_logType = 0; // the settings file keeps what it says
    const std::vector<std::string> names = LogNamesOfScheme(m_logType);
    m_byName.reserve(names.size());
    {
        const DescriptorReserve reserve;
        for (const std::string& name : names) {
            // The directory is taken as it is stored, ending in its separator.
            auto entry = std::make_unique<LogFileEntry>(name, m_logDir + name);
            if (!entry->Open())
                continue;
            m_byName.emplace(name, entry.get()); // an earlier entry of the name stays
            m_logFiles.push_back(std::move(entry));
        }
    }
    StartArchiving();
    g_listener.m_suspended = 0;
}

void LogFileSet::StartArchiving() {
    m_archiveTimer.reset();
    m_archiving.reset();
    if (!m_archiveSettings.IsOn())
        return;
    m_archiving = std::make_unique<LogArchiving>(m_archiveSettings, m_logDir);
    m_archiving->Start(std::time(nullptr));
    m_archiveTimer =
        std::make_unique<LoopTimer>(kArchiveTickMs, [this] { ArchiveTick(std::time(nullptr)); });
    m_archiveTimer->Start();
}

void LogFileSet::ArchiveTick(std::time_t now) {
    if (m_archiving)
        m_archiving->Tick(m_logFiles, now);
}

void LogFileSet::LoadLogSettings() {
    const std::string path = SettingsPath();
    m_settings.Load(path);
    bool security = false;
    if (!m_settings.GetBool(kSettingsSection, "LOG_SECURITY", security))
        m_settings.SetBool(kSettingsSection, "LOG_SECURITY", false);
    if (!m_settings.GetString(kSettingsSection, "LOG_DIR", m_logDir)) {
        m_logDir = g_programDir;
        m_settings.SetString(kSettingsSection, "LOG_DIR", m_logDir);
    }
    if (!m_settings.GetInt(kSettingsSection, "LOG_TYPE", m_logType)) {
        m_logType = 0;
        m_settings.SetInt(kSettingsSection, "LOG_TYPE", m_logType);
    }
    m_archiveSettings = ArchiveSettings::Read(m_settings);
    m_settings.Save(path);
}

void LogFileSet::CloseLogFiles() {
    for (auto& entry : m_logFiles)
        entry->Close();
    m_byName.clear();
    m_unflushed.clear();
    m_logFiles.clear();
    m_lostFiles = 0;
}

void LogFileSet::WriteLogLine(const SyslogRecord& record) {
    const std::string name = LogFileNameFor(record, m_logType);
    const auto found = m_byName.find(name);
    if (found == m_byName.end() || !FollowPath(*found->second, record.receivedAt))
        return;
    LogFileEntry& entry = *found->second;
    FormatLogLine(record, m_line);
    if (m_archiving)
        m_archiving->BeforeLine(entry, record.receivedAt, m_line.size());
    entry.WriteLine(m_line, !m_holdFlushes);
    if (m_holdFlushes &&
        std::find(m_unflushed.begin(), m_unflushed.end(), &entry) == m_unflushed.end())
        m_unflushed.push_back(&entry);
}

void LogFileSet::HoldFlushes(bool hold) {
    m_holdFlushes = hold;
    if (hold)
        return;
    std::vector<LogFileEntry*> unflushed;
    unflushed.swap(m_unflushed);
    for (LogFileEntry* entry : unflushed)
        entry->Flush();
}

bool LogFileSet::FollowPath(LogFileEntry& entry, std::time_t now) {
    const bool wasLost = entry.IsLost();
    if (entry.FollowPath(now)) {
        if (wasLost)
            --m_lostFiles;
        return true;
    }
    // A removed log directory loses every file in it: one message for the lot.
    if (!wasLost && m_lostFiles++ == 0)
        AfxMessageBox("Could not open file");
    return false;
}
