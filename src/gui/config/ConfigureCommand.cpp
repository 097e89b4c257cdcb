#include "gui/config/ConfigureCommand.h"

#include "core/storage/LogFileSet.h"
#include "core/storage/Reconfiguration.h"
#include "gui/config/CfgLogFiles.h"
#include "gui/config/CfgSecurity.h"
#include "gui/framework/PropertySheet.h"

static_assert(CCfgSecurity::kAnybody == ConfigurationChoices::kAnybody &&
              CCfgSecurity::kListedOnly == ConfigurationChoices::kListedOnly);

bool RunConfigureCommand(LogFileSet& frame, QWidget* owner) {
    // Declared before the sheet so that the sheet, which only borrows them, goes first.
    CCfgSecurity security;
    CCfgLogFiles logFiles;
    CPropertySheet sheet(owner);

    ConfigurationChoices choices = LoadConfigurationChoices(frame);
    security.m_filterChoice = choices.filterChoice;
    security.m_addressText = choices.addressText;
    logFiles.m_directory = choices.directory;
    logFiles.m_schemeChoice = choices.schemeChoice;

    sheet.AddPage(&security);
    sheet.AddPage(&logFiles);
    sheet.SetTitle(QStringLiteral("Marovind Configuration"), 0);
    if (sheet.DoModal() != CPropertySheet::kIdOk)
        return false;

    choices.filterChoice = security.m_filterChoice;
    choices.addressText = security.m_addressText;
    choices.directory = logFiles.m_directory;
    choices.schemeChoice = logFiles.m_schemeChoice;
    ApplyConfiguration(frame, choices);
    return true;
}
