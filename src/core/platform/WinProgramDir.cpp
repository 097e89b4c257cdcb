#include "core/platform/ProgramDir.h"

#include <windows.h>

#include <cstdlib>

std::string ProgramDirectory() {
    // MAX_PATH is only where the search starts: a long path (\\?\ or a deep install) is
    // cut to the buffer's size, so the buffer grows until the whole path fits.
    constexpr DWORD kLongestPath = 32768;
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return DirectoryOf(path);
        }
        if (path.size() >= kLongestPath)
            return {};
        path.resize(path.size() * 2);
    }
}

std::string UserDataDirectory() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || *local == '\0')
        return {};
    std::string dir = local;
    if (dir.back() != '\\')
        dir += '\\';
    return dir + "Marovind\\";
}
