#pragma once

class LogFileSet;
class QWidget;

// File > Configure: shows the configuration sheet over `owner`, loaded from the settings
// file and the address list on disk. On OK it writes both, rebuilds the frame's log file
// set and reloads the source filter, so the new settings are in force on return. Any
// other way of closing the sheet changes nothing. True when the operator chose OK.
bool RunConfigureCommand(LogFileSet& frame, QWidget* owner);
