#pragma once
#include <QString>

// The status-bar prompt and the tooltip of a command: its string is the prompt, a line
// feed, then the tooltip. A command without a string has neither.
QString CommandPrompt(int commandId);
QString CommandToolTip(int commandId);

// The status bar's idle text and the application's name.
inline constexpr const char* kIdleStatusText = "Ready";
inline constexpr const char* kApplicationName = "Marovind";
