#pragma once
#include <string>

class QWidget;

// The platform help's finder for the application's help file: the file "marovind.html"
// beside the executable, shown in a help window that belongs to `owner`. A missing file
// gives a message box naming it.
void ShowHelpFinder(QWidget* owner);

// Where the help file is looked for: g_programDir followed by "marovind.html".
std::string HelpFilePath();
