#include "platform/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

std::string g_programDir;

char DirectorySeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string ProgramDirectory() {
    QString exe;
    if (QCoreApplication::instance())
        exe = QCoreApplication::applicationFilePath();
#ifdef __linux__
    if (exe.isEmpty())
        exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
#endif
    if (exe.isEmpty())
        return {};
    std::string path = QDir::toNativeSeparators(exe).toStdString();
    const auto last = path.find_last_of(DirectorySeparator());
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
