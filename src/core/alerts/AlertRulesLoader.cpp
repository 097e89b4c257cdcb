#include "core/alerts/AlertRulesLoader.h"

#include "core/alerts/AlertsFile.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"

std::string AlertRulesLoader::Path() {
    return g_programDir + kAlertsFileName;
}

std::vector<AlertRule> AlertRulesLoader::Load() {
    AlertsFileContent content = ReadAlertsFile(Path());
    if (!content.error.empty() && content.error != m_fault)
        AfxMessageBox(content.error);
    m_fault = content.error;
    return std::move(content.rules);
}
