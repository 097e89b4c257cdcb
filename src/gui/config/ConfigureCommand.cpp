#include "gui/config/ConfigureCommand.h"

#include "core/forward/Forwarding.h"
#include "core/storage/LogFileSet.h"
#include "core/storage/Reconfiguration.h"
#include "core/transport/NetworkReception.h"
#include "gui/config/CfgArchive.h"
#include "gui/config/CfgForward.h"
#include "gui/config/CfgLogFiles.h"
#include "gui/config/CfgNetwork.h"
#include "gui/config/CfgSecurity.h"
#include "gui/framework/PropertySheet.h"

static_assert(CCfgSecurity::kAnybody == ConfigurationChoices::kAnybody &&
              CCfgSecurity::kListedOnly == ConfigurationChoices::kListedOnly);

bool RunConfigureCommand(LogFileSet& frame, QWidget* owner) {
    // Declared before the sheet so that the sheet, which only borrows them, goes first.
    CCfgSecurity security;
    CCfgLogFiles logFiles;
    CCfgNetwork network;
    CCfgArchive archive;
    CCfgForward forward;
    CPropertySheet sheet(owner);

    ConfigurationChoices choices = LoadConfigurationChoices(frame);
    security.m_filterChoice = choices.filterChoice;
    security.m_addressText = choices.addressText;
    logFiles.m_directory = choices.directory;
    logFiles.m_schemeChoice = choices.schemeChoice;
    network.m_tcpOn = choices.tcpOn;
    network.m_tcpPort = choices.tcpPort;
    network.m_ipv6 = choices.ipv6;
    network.m_tlsOn = choices.tlsOn;
    network.m_tlsPort = choices.tlsPort;
    network.m_tlsCert = choices.tlsCert;
    network.m_tlsKey = choices.tlsKey;
    network.m_tlsClientCa = choices.tlsClientCa;
    archive.m_archive = choices.archive;
    const std::vector<std::string> targets =
        frame.m_settings.GetStrings(kForwardSection, kForwardTargetKey);
    for (const std::string& line : targets)
        forward.m_targetText += line + "\r\n";
    forward.m_loadedLines = targets;

    sheet.AddPage(&security);
    sheet.AddPage(&logFiles);
    sheet.AddPage(&network);
    sheet.AddPage(&archive);
    sheet.AddPage(&forward);
    sheet.SetTitle(QStringLiteral("Marovind Configuration"), 0);
    if (sheet.DoModal() != CPropertySheet::kIdOk)
        return false;

    choices.filterChoice = security.m_filterChoice;
    choices.addressText = security.m_addressText;
    choices.directory = logFiles.m_directory;
    choices.schemeChoice = logFiles.m_schemeChoice;
    choices.tcpOn = network.m_tcpOn;
    choices.tcpPort = network.m_tcpPort;
    choices.ipv6 = network.m_ipv6;
    choices.tlsOn = network.m_tlsOn;
    choices.tlsPort = network.m_tlsPort;
    choices.tlsCert = network.m_tlsCert;
    choices.tlsKey = network.m_tlsKey;
    choices.tlsClientCa = network.m_tlsClientCa;
    choices.archive = archive.m_archive;
    // Written only when changed: an untouched page leaves section [Forward] as it was.
    const std::vector<std::string> newTargets = ForwardTargetLines(forward.m_targetText);
    if (newTargets != targets)
        frame.m_settings.SetStrings(kForwardSection, kForwardTargetKey, newTargets);
    ApplyConfiguration(frame, choices);
    // UDP goes on as it was; TCP, IPv6 and forwarding follow the saved settings at once.
    ApplyNetworkSettings(LoadProgramNetworkSettings());
    ApplyForwardSettings();
    return true;
}
