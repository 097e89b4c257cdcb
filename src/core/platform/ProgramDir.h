#pragma once
#include <string>

// The directory that holds the running executable, as a full path ending in the
// platform's directory separator; empty when it cannot be found.
std::string ProgramDirectory();

// The platform's directory separator ('\\' on Windows, '/' elsewhere).
char DirectorySeparator();

// Everything of a path up to and including its last directory separator; empty when it
// has none.
std::string DirectoryOf(const std::string& executablePath);

// The program directory in force; set once at start-up. The settings file and the
// address list are this text followed directly by their names.
extern std::string g_programDir;
