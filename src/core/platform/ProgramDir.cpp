#include "core/platform/ProgramDir.h"

// ProgramDirectory() itself is the platform's: WinProgramDir.cpp or QtProgramDir.cpp.

std::string g_programDir;

char DirectorySeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string DirectoryOf(const std::string& executablePath) {
    const auto last = executablePath.find_last_of(DirectorySeparator());
    return last == std::string::npos ? std::string() : executablePath.substr(0, last + 1);
}
