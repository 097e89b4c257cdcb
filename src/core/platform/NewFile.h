#pragma once
#include <string>
#include <string_view>

// Who may read a file that WriteNewFile creates.
enum class FileReaders {
    Usual,     // as any new file of this user: the umask on Linux, the folder's ACL on Windows
    OwnerOnly, // the current user alone, from the moment the file exists
};

// Writes `bytes` into a file created for them at `path`. An existing file is refused unless
// `replace` is true; it is then removed first, so the new file never takes over an old one's
// permissions and never follows a link planted in its place. OwnerOnly is mode 0600 on
// Linux and, on Windows, a protected DACL granting the current user full access and nobody
// else anything, both given at creation. A file that could not be written whole is removed.
// Returns empty text on success, otherwise why, naming the path.
std::string WriteNewFile(const std::string& path, std::string_view bytes, FileReaders readers,
                         bool replace);
