#pragma once
#include <ctime>
#include <string>
#include <string_view>

#include "core/platform/ShareFile.h"

// One open log file of the set: where it lies, the name messages are matched against,
// the file itself and the buffered writer over it.
class LogFileEntry {
public:
    LogFileEntry(std::string name, std::string path);
    ~LogFileEntry();
    LogFileEntry(const LogFileEntry&) = delete;
    LogFileEntry& operator=(const LogFileEntry&) = delete;

    // Opens the file for appending. A failure shows "Could not open file".
    bool Open();
    // Writes the line and hands it to the operating system at once, or with `flush` false
    // when the buffer is full or Flush is called (lines are never split). A failure is shown
    // once, with its cause and the path, and shown again only after a write succeeded.
    bool WriteLine(std::string_view line, bool flush = true);
    bool Flush();
    // Flushes the writer, forces the data to disk and closes the file.
    void Close();
    // At most once per second of `now`: when the open file is no longer the one at the
    // path (renamed or deleted away), or the path could not be opened last time, closes
    // it and opens the path again, silently. False while the path cannot be opened; the
    // entry is then lost and its lines go nowhere until a later second finds the path.
    bool FollowPath(std::time_t now);
    bool IsLost() const { return m_lost; }

    const std::string& Name() const { return m_name; }
    const std::string& Path() const { return m_path; }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    void ReportFailure();

    std::string m_path;
    std::string m_name;
    ShareFile m_file;
    ArchiveWriter m_writer{m_file};
    bool m_failureShown = false;
    bool m_lost = false;
    std::time_t m_checkedAt = -1;
};
