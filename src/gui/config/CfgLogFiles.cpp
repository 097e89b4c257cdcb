#include "gui/config/CfgLogFiles.h"

#include <algorithm>

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/platform/DirectoryCheck.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "gui/framework/DataExchange.h"
#include "gui/framework/DialogRadioButton.h"

namespace {
constexpr const char* kEmptyDirectoryMessage =
    "Directory field cannot be empty.\r\nPlease select a directory!";
constexpr const char* kUnwritableMessage =
    "Cannot write to this directory.\r\nPlease select a different directory!";

struct SchemeButton {
    const char* text;
    int x, y, width, height;
};

// In LOG_TYPE order: the index of a button is its scheme.
constexpr SchemeButton kSchemeButtons[] = {
    {"Log to one file: syslog.log", 14, 85, 226, 13},
    {"Log to files based on message priority. For example, DEBUG messages go to debug.log.", 14,
     102, 226, 27},
    {"Log to files based on message facility. For example, LOCAL1 messages go to local1.log.", 14,
     136, 226, 27},
    {"Log to files based on IP address. For example, messages from 10.1.1.1 go to "
     "10_1_1_1.log. This requires that you use IP address security on the \"Security "
     "Settings\" page.",
     13, 174, 226, 27},
};
} // namespace

CCfgLogFiles::FolderChooser CCfgLogFiles::s_chooseFolder = &CCfgLogFiles::ChooseFolderWithDialog;

QString CCfgLogFiles::ChooseFolderWithDialog(QWidget* owner, const QString& caption) {
    return QFileDialog::getExistingDirectory(owner, caption, QString(), QFileDialog::ShowDirsOnly);
}

CCfgLogFiles::CCfgLogFiles() : CPropertyPage(QStringLiteral("Log File Destinations"), 298, 221) {
    CreateControls();
}

// The controls in template order, which is also their tab order.
void CCfgLogFiles::CreateControls() {
    auto* label = new QLabel(QStringLiteral("Directory for Log Files:"), this);
    Place(label, 7, 13, 71, 8);
    // Fonts wider than the template's would cut the text; the box starts well to its right.
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    m_directoryBox = new QLineEdit(this);
    m_directoryBox->setObjectName(QStringLiteral("directoryBox"));
    Place(m_directoryBox, 94, 7, 197, 14);

    auto* browse = new QPushButton(QStringLiteral("Browse For Directory"), this);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setAutoDefault(false);
    Place(browse, 94, 30, 85, 17);
    connect(browse, &QPushButton::clicked, this, &CCfgLogFiles::OnBrowse);

    auto* group = new QGroupBox(QStringLiteral("Log File Names"), this);
    Place(group, 7, 65, 284, 149);
    CreateSchemeButtons();
}

void CCfgLogFiles::CreateSchemeButtons() {
    m_schemeGroup = new QButtonGroup(this);
    int scheme = 0;
    for (const SchemeButton& entry : kSchemeButtons) {
        auto* button = new DialogRadioButton(QString::fromLatin1(entry.text), this);
        button->setObjectName(QStringLiteral("scheme%1").arg(scheme));
        Place(button, entry.x, entry.y, entry.width, entry.height);
        m_schemeGroup->addButton(button, scheme++);
    }
}

void CCfgLogFiles::DoDataExchange(bool saveAndValidate) {
    DDX_Text(saveAndValidate, m_directoryBox, m_directory);
    DDX_Radio(saveAndValidate, m_schemeGroup, m_schemeChoice);
}

bool CCfgLogFiles::OnKillActive() {
    const std::string directory = m_directoryBox->text().toLocal8Bit().toStdString();
    if (directory.empty())
        return RefuseDirectory(kEmptyDirectoryMessage);
    if (!IsDirectoryWritable(directory))
        return RefuseDirectory(kUnwritableMessage);
    return CPropertyPage::OnKillActive();
}

bool CCfgLogFiles::RefuseDirectory(const char* message) {
    AfxMessageBox(message);
    m_directoryBox->setFocus();
    return false;
}

void CCfgLogFiles::OnBrowse() {
    const QString chosen =
        s_chooseFolder
            ? s_chooseFolder(this, QStringLiteral("Select a Directory for storing SYSLOG files"))
            : QString();
    if (chosen.isEmpty())
        return;
    std::string directory = QDir::toNativeSeparators(chosen).toLocal8Bit().toStdString();
    if (directory.back() != DirectorySeparator())
        directory += DirectorySeparator();
    if (!IsDirectoryWritable(directory)) {
        AfxMessageBox(kUnwritableMessage);
        return;
    }
    m_directoryBox->setText(QString::fromLocal8Bit(directory));
}
