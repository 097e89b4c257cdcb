#include "gui/framework/GuiHelp.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"

namespace {
constexpr const char* kHelpFileName = "marovind.html";
constexpr const char* kHelpTitle = "Marovind Help";
constexpr int kHelpWidth = 640;
constexpr int kHelpHeight = 520;

QTextBrowser* CreateHelpWindow(QWidget* owner) {
    // A window of its own that closes with its owner.
    auto* browser = new QTextBrowser(owner);
    browser->setWindowFlags(Qt::Window);
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setWindowTitle(QString::fromLatin1(kHelpTitle));
    browser->setOpenExternalLinks(true);
    browser->resize(kHelpWidth, kHelpHeight);
    return browser;
}
} // namespace

std::string FindHelpFile(const std::string& executableDir, const std::string& installedDir) {
    for (const std::string& dir : {executableDir, installedDir}) {
        const std::string path = dir + kHelpFileName;
        if (QFileInfo(QString::fromLocal8Bit(path.c_str())).isFile())
            return path;
    }
    return executableDir + kHelpFileName;
}

std::string HelpFilePath() {
    // The build defines where the data directory lies as seen from the program's own, so
    // an installed tree finds its help wherever it was unpacked.
    const std::string exeDir = ProgramDirectory();
    return FindHelpFile(exeDir, exeDir + MAROVIND_DATA_FROM_BINDIR + '/');
}

void ShowHelpFinder(QWidget* owner) {
    ShowHelpFinder(owner, HelpFilePath());
}

void ShowHelpFinder(QWidget* owner, const std::string& path) {
    const QString file = QString::fromLocal8Bit(path.c_str());
    if (!QFileInfo(file).isFile()) {
        AfxMessageBox("Cannot find the help file " + path + ".");
        return;
    }
    static QPointer<QTextBrowser> window;
    if (!window || window->parentWidget() != owner)
        window = CreateHelpWindow(owner);
    window->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    window->show();
    window->raise();
    window->activateWindow();
}
