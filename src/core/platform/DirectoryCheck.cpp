#include "core/platform/DirectoryCheck.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "core/platform/ProgramDir.h"
#endif

#ifdef _WIN32

std::string CreateUniqueFile(const std::string& directory, const std::string& prefix) {
    char path[MAX_PATH] = {};
    if (GetTempFileNameA(directory.c_str(), prefix.c_str(), 0, path) == 0)
        return {};
    return path;
}

namespace {
bool OpenExclusively(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}
} // namespace

#else

namespace {
constexpr unsigned kUniqueNumbers = 0x10000; // four hexadecimal digits

// Where the search for a free number starts. GetTempFileNameA starts from the clock; a
// process-wide counter on top keeps quick successive calls from colliding.
unsigned NextStartingNumber() {
    static std::atomic<unsigned> calls{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<unsigned>(ticks) + static_cast<unsigned>(getpid()) + calls++;
}

// Read and write access that no other opener shares, as CreateFileA with share mode 0.
bool OpenExclusively(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = fcntl(fd, F_OFD_SETLK, &lock) == 0;
#else
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
#endif
    ::close(fd);
    return locked;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}
} // namespace

std::string CreateUniqueFile(const std::string& directory, const std::string& prefix) {
    std::string base = directory;
    if (!base.empty() && base.back() != DirectorySeparator())
        base += DirectorySeparator();
    base += prefix.substr(0, 3);
    const unsigned start = NextStartingNumber();
    for (unsigned i = 0; i < kUniqueNumbers; ++i) {
        char unique[16];
        std::snprintf(unique, sizeof unique, "%04X.TMP", (start + i) % kUniqueNumbers);
        const std::string path = base + unique;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

#endif

bool IsDirectoryWritable(const std::string& directory) {
    const std::string path = CreateUniqueFile(directory, "NEW");
    if (path.empty())
        return false;
    // The file is removed even when it cannot be reopened, so a failed test leaves nothing.
    const bool opened = OpenExclusively(path);
    const bool removed = RemoveFile(path);
    return opened && removed;
}
