#include "gui/viewer/LogFileText.h"

#include <filesystem>
#include <system_error>

#include "core/platform/ShareFile.h"

namespace {
constexpr const char* kFailedToOpen = "Failed to open document.";
constexpr qsizetype kReadChunk = qsizetype{1} << 20;

std::string MessageFor(const ShareFile& file) {
    return file.Error() == FileError::None ? kFailedToOpen : file.ErrorText();
}

// Only regular files are read. A directory is refused the way the platform refuses to open
// one as a file; a pipe, socket or device could block the program or never end.
bool CheckKind(const std::string& path, std::string& errorText) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || std::filesystem::is_regular_file(status))
        return true; // missing or unreachable: the open itself reports why
    errorText = std::filesystem::is_directory(status) ? FileErrorText(FileError::AccessDenied, path)
                                                      : kFailedToOpen;
    return false;
}

bool ReadToEnd(ShareFile& file, qsizetype expected, QByteArray& bytes) {
    bytes.clear();
    bytes.reserve(expected + kReadChunk);
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + kReadChunk);
        const auto got = file.Read(bytes.data() + used, kReadChunk);
        bytes.resize(used + (got > 0 ? got : 0));
        if (got < 0)
            return false;
        if (got == 0)
            return true;
    }
}

} // namespace

bool OpenLogFile(const std::string& path, ShareFile& file, std::string& errorText) {
    if (!CheckKind(path, errorText))
        return false;
    if (!file.OpenForRead(path)) {
        errorText = MessageFor(file);
        return false;
    }
    return true;
}

std::string LogFileReadError(const ShareFile& file) {
    return MessageFor(file);
}

bool ReadLogFile(const std::string& path, QByteArray& bytes, std::string& errorText) {
    ShareFile file;
    if (!OpenLogFile(path, file, errorText))
        return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ReadToEnd(file, ec ? 0 : static_cast<qsizetype>(size), bytes)) {
        errorText = MessageFor(file);
        bytes.clear();
        return false;
    }
    return true;
}
