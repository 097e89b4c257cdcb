#pragma once
#include <string>

// Gives the file at `from` the name `to`, never replacing a file already called `to`. False
// with the system's reason in `reason` when the file keeps its name: `to` exists, or on
// Windows another program holds `from` open without letting it be renamed.
bool RenameWithoutReplacing(const std::string& from, const std::string& to, std::string& reason);
