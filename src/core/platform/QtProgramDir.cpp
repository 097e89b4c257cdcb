#include "core/platform/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
    return DirectoryOf(QDir::toNativeSeparators(exe).toStdString());
}

std::string UserDataDirectory() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return {};
        base = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base + QStringLiteral("/marovind")).toStdString() + '/';
}
