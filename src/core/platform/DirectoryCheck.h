#pragma once
#include <string>

// Creates an empty file with a unique name in `directory`, made of the first three
// characters of `prefix`, four hexadecimal digits and ".TMP", as GetTempFileNameA does
// with unique number 0. Returns its full path, or empty text when no file could be made.
std::string CreateUniqueFile(const std::string& directory, const std::string& prefix);

// Whether log files can be written in `directory`: a unique file "NEW....TMP" is created
// there, opened for reading and writing with no sharing, closed and deleted. Any failure
// means not writable. The file is removed in either case.
bool IsDirectoryWritable(const std::string& directory);
