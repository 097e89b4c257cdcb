#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "core/archive/CalendarDay.h"
#include "core/platform/ShareFile.h"

// What rotation knows of an entry's current file.
struct RotationState {
    bool dayKnown = false;                   // firstLineDay was looked for
    std::optional<CalendarDay> firstLineDay; // the day of the file's first line
    std::time_t retryAt = 0;                 // after a failed rename: not before this
    bool failureShown = false;               // the failed rename was reported
};

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
    // Closes the file, gives it the name `to` and opens a new one at the path. When the
    // rename fails (`reason` says why) the same file is opened again and goes on.
    bool MoveAside(const std::string& to, std::string& reason);

    // Bytes in the file, those waiting in the writer included.
    std::uint64_t Size() const { return m_size; }
    RotationState& Rotation() { return m_rotation; }

    const std::string& Name() const { return m_name; }
    const std::string& Path() const { return m_path; }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    void ReportFailure();
    bool OpenPath();

    std::string m_path;
    std::string m_name;
    ShareFile m_file;
    ArchiveWriter m_writer{m_file};
    bool m_failureShown = false;
    bool m_lost = false;
    std::time_t m_checkedAt = -1;
    std::uint64_t m_size = 0;
    RotationState m_rotation;
};
