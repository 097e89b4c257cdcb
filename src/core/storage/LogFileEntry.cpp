#include "core/storage/LogFileEntry.h"

#include <algorithm>
#include <utility>

#include "core/platform/FileMoves.h"
#include "core/platform/MessageBox.h"

LogFileEntry::LogFileEntry(std::string name, std::string path)
    : m_path(std::move(path)), m_name(std::move(name)) {}

LogFileEntry::~LogFileEntry() {
    Close();
}

bool LogFileEntry::OpenPath() {
    if (!m_file.OpenForAppend(m_path))
        return false;
    m_size = static_cast<std::uint64_t>(std::max<std::int64_t>(m_file.Size(), 0));
    return true;
}

bool LogFileEntry::Open() {
    if (OpenPath())
        return true;
    AfxMessageBox("Could not open file");
    return false;
}

bool LogFileEntry::WriteLine(std::string_view line, bool flush) {
    if (!m_file.IsOpen())
        return false;
    if (m_writer.Write(line) && (!flush || m_writer.Flush())) {
        m_failureShown = false;
        m_size += line.size();
        return true;
    }
    // The writer dropped what it held: the file's own length is what is left.
    m_size = static_cast<std::uint64_t>(std::max<std::int64_t>(m_file.Size(), 0));
    ReportFailure();
    return false;
}

bool LogFileEntry::Flush() {
    if (!m_file.IsOpen() || m_writer.Flush())
        return true;
    ReportFailure();
    return false;
}

void LogFileEntry::Close() {
    if (!m_file.IsOpen())
        return;
    // Data that never reached the disk is news unless this file's failure is still shown.
    if (!(m_writer.Close() && m_file.Flush()))
        ReportFailure();
    m_file.Close();
}

void LogFileEntry::ReportFailure() {
    if (m_failureShown)
        return;
    m_failureShown = true;
    AfxMessageBox(m_file.ErrorText());
}

bool LogFileEntry::FollowPath(std::time_t now) {
    if (now == m_checkedAt)
        return !m_lost;
    m_checkedAt = now;
    if (!m_lost && m_file.IsStillAtPath())
        return true;
    Close();
    m_rotation = {};
    m_lost = !OpenPath();
    return !m_lost;
}

bool LogFileEntry::MoveAside(const std::string& to, std::string& reason) {
    // Not forced to disk: at midnight that would stall reception once per file, and the
    // compressed copy is forced before the renamed file is ever deleted.
    if (m_file.IsOpen() && !m_writer.Close())
        ReportFailure();
    m_file.Close();
    const bool renamed = RenameWithoutReplacing(m_path, to, reason);
    if (renamed)
        m_rotation = {};
    if (!OpenPath())
        m_checkedAt = -1; // FollowPath tries the path again at the next line
    return renamed;
}
