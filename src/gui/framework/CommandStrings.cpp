#include "gui/framework/CommandStrings.h"

#include "gui/framework/CommandIds.h"

namespace {
struct CommandString {
    int id;
    const char* text;
};

constexpr CommandString kCommandStrings[] = {
    {ID_FILE_CONFIGURE, "Configure this application.\nConfigure."},
    {ID_FILE_CLOSE_VIEWER, "Quit this document\nQuit."},
    {ID_EDIT_WORDWRAP, "WordWrap\nWordWrap"},
    {ID_VIEW_SEVERITY_COLOURS, "Tint message rows by their severity\nSeverity Colours"},
    {ID_VIEW_FILTER_BAR, "Show or hide the bar that filters the list\nFilter Bar"},
    {ID_FILE_EXPORT, "Write the rows shown to a CSV or JSON Lines file\nExport"},
    {ID_VIEW_FIELD_FIRST + 0, "Show or hide the time the sender gave\nSent Time"},
    {ID_VIEW_FIELD_FIRST + 1, "Show or hide the host name the sender gave\nHost"},
    {ID_VIEW_FIELD_FIRST + 2, "Show or hide the sending program\nApplication"},
    {ID_VIEW_FIELD_FIRST + 3, "Show or hide the sending program's process ID\nProcess ID"},
    {ID_VIEW_FIELD_FIRST + 4, "Show or hide the message ID\nMessage ID"},
    {ID_VIEW_FIELD_FIRST + 5, "Show or hide the structured data\nStructured Data"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
    {ID_FILE_PRINT, "Print the active document\nPrint"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_FIND, "Find the specified text\nFind"},
    {ID_EDIT_SELECT_ALL, "Select the entire document\nSelect All"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_TOOLS_ALERTS,
     "Set up the alert rules: notifications, sounds, highlights and programs\nAlerts"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
};

QString Part(int commandId, int index) {
    for (const auto& entry : kCommandStrings)
        if (entry.id == commandId)
            return QString::fromLatin1(entry.text).section(QLatin1Char('\n'), index, index);
    return {};
}
} // namespace

QString CommandPrompt(int commandId) {
    return Part(commandId, 0);
}
QString CommandToolTip(int commandId) {
    return Part(commandId, 1);
}
