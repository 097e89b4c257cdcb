#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Why a file operation failed, in the framework's own categories.
enum class FileError {
    None,
    DiskFull,
    AccessDenied,
    SharingViolation,
    NotFound,
    Hardware,
    Generic,
};

// The framework's text for a failure, with the file's path in place of its "%1".
std::string FileErrorText(FileError error, const std::string& path);

// A file opened with a sharing mode, as the framework's file class opens it. Operations
// return false on failure and keep the cause for Error() and ErrorText().
class ShareFile {
public:
    ShareFile() = default;
    ~ShareFile();
    ShareFile(const ShareFile&) = delete;
    ShareFile& operator=(const ShareFile&) = delete;

    // Opens for appending: created when missing, never truncated, positioned at its end.
    // Other openers may read it; a second writer, in this process or another, is refused.
    bool OpenForAppend(const std::string& path);
    // Opens for reading, denying nothing to other openers.
    bool OpenForRead(const std::string& path);

    // Hands the bytes to the operating system. Either all of them reach the file or, on
    // failure, the file is cut back to where it was, so no torn piece stays behind.
    bool Write(const void* data, std::size_t size);
    // Reads up to `size` bytes; -1 on failure, 0 at the end of the file.
    std::int64_t Read(void* data, std::size_t size);
    // Forces the file's data to disk. Free when nothing was written since the last time:
    // rebuilding a set of thousands of per-address files must not wait on each of them.
    bool Flush();
    void Close();

    bool IsOpen() const;
    // The file's length in bytes as the operating system has it; -1 when unknown.
    std::int64_t Size() const;
    // Whether the open file is still the one its path names (same device and inode): false
    // once it was renamed or deleted away. One stat of the path; always true on Windows,
    // where an open log file can be neither renamed nor deleted.
    bool IsStillAtPath() const;
    const std::string& Path() const { return m_path; }
    FileError Error() const { return m_error; }
    std::string ErrorText() const { return FileErrorText(m_error, m_path); }

private:
    bool Fail(FileError error);
    bool FailFromSystem();
    bool ForceToDisk();

#ifdef _WIN32
    void* m_handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
    int m_fd = -1;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
#endif
    std::string m_path;
    FileError m_error = FileError::None;
    bool m_unsynced = false; // written to since opened or last forced to disk
};

// The framework's store-mode archive over a file: bytes gather in a 4096-byte buffer and
// Flush hands them to the operating system in one write. After a failed write the
// buffered bytes are dropped, never carried into a later write.
class ArchiveWriter {
public:
    static constexpr std::size_t kBufferSize = 4096;

    explicit ArchiveWriter(ShareFile& file) : m_file(file) {}
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    bool Write(std::string_view bytes);
    bool Flush();
    // Flushes what is left; the file stays open.
    bool Close() { return Flush(); }

    std::size_t Pending() const { return m_used; }

private:
    ShareFile& m_file;
    std::array<char, kBufferSize> m_buffer{};
    std::size_t m_used = 0;
};
