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
