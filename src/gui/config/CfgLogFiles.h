#pragma once
#include <QString>
#include <functional>
#include <string>

#include "gui/framework/PropertyPage.h"

class QButtonGroup;
class QLineEdit;

// The "Log File Destinations" page: the directory that receives the log files and the
// naming scheme (LOG_TYPE) of the files in it.
class CCfgLogFiles : public CPropertyPage {
    Q_OBJECT
public:
    enum { IDD = 107 };

    // Asks the operator for a folder; empty text when none was chosen. Replaceable so
    // that tests need no file dialog.
    using FolderChooser = std::function<QString(QWidget* owner, const QString& caption)>;
    static FolderChooser s_chooseFolder;
    static QString ChooseFolderWithDialog(QWidget* owner, const QString& caption);

    CCfgLogFiles();

    bool OnKillActive() override;

    std::string m_directory; // the directory box
    int m_schemeChoice = -1; // the LOG_TYPE button checked, -1 for none

protected:
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();
    void CreateSchemeButtons();
    void OnBrowse();
    bool RefuseDirectory(const char* message);

    QLineEdit* m_directoryBox;
    QButtonGroup* m_schemeGroup;
};
