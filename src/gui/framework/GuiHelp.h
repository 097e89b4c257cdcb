#pragma once
#include <string>

class QWidget;

// The platform help's finder for the application's help file: the file at `helpFile`
// (by default HelpFilePath()), shown in a help window that belongs to `owner`. A missing
// file gives a message box naming it.
void ShowHelpFinder(QWidget* owner);
void ShowHelpFinder(QWidget* owner, const std::string& helpFile);

// "marovind.html" in `executableDir` when it is there, else in `installedDir`
// (<prefix>/share/marovind/) when it is there, else in `executableDir`.
std::string FindHelpFile(const std::string& executableDir, const std::string& installedDir);

// FindHelpFile for the running program: its executable's directory, and the installed
// data directory reached from it.
std::string HelpFilePath();
