#pragma once

// Command numbers of the menus, keys and toolbar buttons. They index the command
// strings (CommandStrings.h), which both windows' menus share.
enum CommandId : int {
    ID_FILE_CONFIGURE = 32771,
    ID_FILE_CLOSE_VIEWER = 32773,
    ID_EDIT_WORDWRAP = 32774,
    ID_VIEW_SEVERITY_COLOURS = 32775,
    ID_VIEW_FILTER_BAR = 32776,
    ID_FILE_EXPORT = 32777,
    // View > Columns: one item per header field, in the order of Field.
    ID_VIEW_FIELD_FIRST = 32780,
    ID_TOOLS_ALERTS = 32790,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_EDIT_COPY = 57634,
    ID_EDIT_FIND = 57636,
    ID_EDIT_SELECT_ALL = 57642,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_INDEX = 57666,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};
