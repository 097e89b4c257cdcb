#include "core/platform/ShareFile.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string FileErrorText(FileError error, const std::string& path) {
    std::string text;
    switch (error) {
    case FileError::None:
        return {};
    case FileError::DiskFull:
        text = "Disk full while accessing %1.";
        break;
    case FileError::AccessDenied:
        text = "Access to %1 was denied.";
        break;
    case FileError::SharingViolation:
        text = "A sharing violation occurred while accessing %1.";
        break;
    case FileError::NotFound:
        text = "%1 was not found.";
        break;
    case FileError::Hardware:
        text = "A hardware I/O error was reported while accessing %1.";
        break;
    case FileError::Generic:
        text = "An unexpected error occurred while accessing %1.";
        break;
    }
    return text.replace(text.find("%1"), 2, path);
}

ShareFile::~ShareFile() {
    Close();
}

bool ShareFile::Flush() {
    if (IsOpen() && !m_unsynced)
        return true;
    if (!ForceToDisk())
        return false;
    m_unsynced = false;
    return true;
}

bool ShareFile::Fail(FileError error) {
    m_error = error;
    return false;
}

#ifdef _WIN32

namespace {
FileError FromSystemError(DWORD code) {
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return FileError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileError::SharingViolation;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FileError::NotFound;
    case ERROR_CRC:
    case ERROR_NOT_READY: // also what wine reports for a Linux EIO
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return FileError::Hardware;
    default:
        return FileError::Generic;
    }
}

bool Seek(HANDLE handle, LONGLONG offset, DWORD from, LONGLONG* position = nullptr) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(handle, distance, &result, from))
        return false;
    if (position)
        *position = result.QuadPart;
    return true;
}
} // namespace

bool ShareFile::FailFromSystem() {
    return Fail(FromSystemError(GetLastError()));
}

bool ShareFile::IsOpen() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

bool ShareFile::OpenForAppend(const std::string& path) {
    Close();
    m_path = path;
    m_error = FileError::None;
    m_handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!IsOpen())
        return FailFromSystem();
    if (!Seek(m_handle, 0, FILE_END)) {
        FailFromSystem();
        Close();
        return false;
    }
    return true;
}

bool ShareFile::OpenForRead(const std::string& path) {
    Close();
    m_path = path;
    m_error = FileError::None;
    m_handle = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen() || FailFromSystem();
}

bool ShareFile::Write(const void* data, std::size_t size) {
    m_unsynced = true;
    LONGLONG start = -1;
    Seek(m_handle, 0, FILE_CURRENT, &start);
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        if (!WriteFile(m_handle, next, chunk, &written, nullptr) || written == 0) {
            const DWORD code = GetLastError();
            if (start >= 0 && Seek(m_handle, start, FILE_BEGIN))
                SetEndOfFile(m_handle);
            return Fail(code == ERROR_SUCCESS ? FileError::DiskFull : FromSystemError(code));
        }
        next += written;
        size -= written;
    }
    return true;
}

std::int64_t ShareFile::Read(void* data, std::size_t size) {
    DWORD got = 0;
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!ReadFile(m_handle, data, chunk, &got, nullptr)) {
        FailFromSystem();
        return -1;
    }
    return got;
}

bool ShareFile::ForceToDisk() {
    return FlushFileBuffers(m_handle) || FailFromSystem();
}

bool ShareFile::IsStillAtPath() const {
    return IsOpen();
}

std::int64_t ShareFile::Size() const {
    LARGE_INTEGER size{};
    return IsOpen() && GetFileSizeEx(m_handle, &size) ? size.QuadPart : -1;
}

void ShareFile::Close() {
    if (IsOpen())
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_unsynced = false;
}

#else // POSIX

namespace {
FileError FromErrno(int code) {
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return FileError::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileError::AccessDenied;
    case ENOENT:
    case ENOTDIR:
        return FileError::NotFound;
    case EIO:
        return FileError::Hardware;
    default:
        return FileError::Generic;
    }
}

// An exclusive lock held by the open file description, so a second open of the same
// file is refused even inside this process. 0 when locked, otherwise the errno.
int LockForWriting(int fd) {
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // the whole file, however long it grows
    return fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
#else
    return flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
#endif
}

bool IsLockHeldElsewhere(int code) {
    return code == EAGAIN || code == EACCES || code == EWOULDBLOCK;
}
} // namespace

bool ShareFile::FailFromSystem() {
    return Fail(FromErrno(errno));
}

bool ShareFile::IsOpen() const {
    return m_fd >= 0;
}

bool ShareFile::OpenForAppend(const std::string& path) {
    Close();
    m_path = path;
    m_error = FileError::None;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return FailFromSystem();
    // A file system without locks still takes log lines; only another holder refuses.
    const int lockError = LockForWriting(fd);
    if (lockError != 0 && IsLockHeldElsewhere(lockError)) {
        ::close(fd);
        return Fail(FileError::SharingViolation);
    }
    if (::lseek(fd, 0, SEEK_END) < 0) {
        FailFromSystem();
        ::close(fd);
        return false;
    }
    struct stat status {};
    m_device = m_inode = 0;
    if (::fstat(fd, &status) == 0) {
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
    m_fd = fd;
    return true;
}

bool ShareFile::IsStillAtPath() const {
    struct stat status {};
    return IsOpen() && ::stat(m_path.c_str(), &status) == 0 && status.st_dev == m_device &&
           status.st_ino == m_inode;
}

std::int64_t ShareFile::Size() const {
    struct stat status {};
    return IsOpen() && ::fstat(m_fd, &status) == 0 ? status.st_size : -1;
}

bool ShareFile::OpenForRead(const std::string& path) {
    Close();
    m_path = path;
    m_error = FileError::None;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return IsOpen() || FailFromSystem();
}

bool ShareFile::Write(const void* data, std::size_t size) {
    if (!IsOpen())
        return Fail(FileError::Generic);
    m_unsynced = true;
    const off_t start = ::lseek(m_fd, 0, SEEK_CUR);
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, next, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A full disk can take part of the bytes; cut them off again so the file
            // keeps ending on a whole line.
            const int code = written < 0 ? errno : ENOSPC;
            if (start >= 0 && next != data && ::ftruncate(m_fd, start) == 0)
                ::lseek(m_fd, start, SEEK_SET);
            return Fail(FromErrno(code));
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::int64_t ShareFile::Read(void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(m_fd, data, size);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            FailFromSystem();
            return -1;
        }
    }
}

bool ShareFile::ForceToDisk() {
    if (::fsync(m_fd) == 0 || errno == EINVAL || errno == EROFS)
        return true; // devices and pipes have nothing to force to disk
    return FailFromSystem();
}

void ShareFile::Close() {
    if (IsOpen())
        ::close(m_fd); // closing the description releases its lock
    m_fd = -1;
    m_unsynced = false;
}

#endif

bool ArchiveWriter::Write(std::string_view bytes) {
    if (m_used + bytes.size() > kBufferSize && !Flush())
        return false;
    if (bytes.size() >= kBufferSize)
        return m_file.Write(bytes.data(), bytes.size());
    std::memcpy(m_buffer.data() + m_used, bytes.data(), bytes.size());
    m_used += bytes.size();
    return true;
}

bool ArchiveWriter::Flush() {
    if (m_used == 0)
        return true;
    const std::size_t size = m_used;
    m_used = 0; // written or not, these bytes must never lead a later write
    return m_file.Write(m_buffer.data(), size);
}
