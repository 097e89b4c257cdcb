#pragma once
#include <ctime>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/archive/ArchiveSettings.h"
#include "core/reception/SyslogRecord.h"
#include "core/settings/SettingsFile.h"

class LogFileEntry; // core/storage/LogFileEntry.h
class LogArchiving; // core/storage/LogArchiving.h
class LoopTimer;    // core/platform/EventLoop.h

// The log file for a record under a naming scheme (0 to 3); any other scheme counts as 0.
std::string LogFileNameFor(const SyslogRecord& record, int logType);

// The main window's log file set and the settings it is built from. The main frame
// derives from it, so these are the frame's members.
class LogFileSet {
public:
    LogFileSet();
    virtual ~LogFileSet();

    // Rebuilds the set from the settings file, writing missing keys back with defaults.
    void OpenLogFiles();
    // Flushes every file to disk, closes it and empties the set.
    void CloseLogFiles();
    // Appends the record's line to the file its scheme chooses, if that file is open.
    // Once a second of receive time a file that was renamed or deleted away is closed
    // and its path opened again.
    void WriteLogLine(const SyslogRecord& record);
    // While held, lines wait in their files' buffers; releasing hands them all to the
    // operating system. For the messages of one read from a stream.
    void HoldFlushes(bool hold);
    // The archive's periodic work (see LogArchiving::Tick); a timer calls it while the
    // archive settings are on.
    void ArchiveTick(std::time_t now);
    // Null while every archive setting is off.
    LogArchiving* Archiving() { return m_archiving.get(); }

    SettingsFile m_settings;
    std::string m_logDir;
    int m_logType = 0;
    ArchiveSettings m_archiveSettings;
    std::vector<std::unique_ptr<LogFileEntry>> m_logFiles;

private:
    // Loads the settings into m_settings, writes missing keys back with their defaults
    // and takes LOG_DIR and LOG_TYPE from them.
    void LoadLogSettings();
    // Keeps the entry writing to the file at its path; false while that cannot be opened.
    bool FollowPath(LogFileEntry& entry, std::time_t now);
    // Starts or ends the archive's work to match m_archiveSettings.
    void StartArchiving();

    // The entry each name finds: the first in set order among entries of the same name.
    std::unordered_map<std::string, LogFileEntry*> m_byName;
    std::size_t m_lostFiles = 0; // entries whose path could not be opened again
    bool m_holdFlushes = false;
    std::vector<LogFileEntry*> m_unflushed; // written to while flushes were held
    std::string m_line;                     // the line being written, reused
    std::unique_ptr<LogArchiving> m_archiving;
    std::unique_ptr<LoopTimer> m_archiveTimer;
};
