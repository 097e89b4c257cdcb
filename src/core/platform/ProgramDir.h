#pragma once
#include <string>

// The directory that holds the running executable, as a full path ending in the
// platform's directory separator; empty when it cannot be found.
std::string ProgramDirectory();

// The user's own data directory for Marovind, ending in the separator:
// $XDG_DATA_HOME/marovind/ (by default ~/.local/share/marovind/) on Linux,
// %LOCALAPPDATA%\Marovind\ on Windows. Empty when the environment names no such place.
std::string UserDataDirectory();

// The file that an installer puts beside the executables: a copy whose folder holds it is
// installed, and never writes into that folder.
inline constexpr const char* kInstalledMarker = "installed.txt";

// The program directory: `executableDir` while the user may write there (a build tree, a
// copied folder) and it holds no kInstalledMarker, else `userDataDir`, created when missing
// (an installed program). A data
// directory that cannot be created is named in a message box and is still the result: the
// program starts, and each file named from it fails with its own message.
std::string ChooseProgramDirectory(const std::string& executableDir,
                                   const std::string& userDataDir);

// ChooseProgramDirectory(ProgramDirectory(), UserDataDirectory()), for start-up.
std::string ResolveProgramDirectory();

// The platform's directory separator ('\\' on Windows, '/' elsewhere).
char DirectorySeparator();

// Everything of a path up to and including its last directory separator; empty when it
// has none.
std::string DirectoryOf(const std::string& executablePath);

// The program directory in force; set once at start-up. The settings file and the
// address list are this text followed directly by their names.
extern std::string g_programDir;
