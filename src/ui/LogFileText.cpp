#include "ui/LogFileText.h"

#include <filesystem>
#include <system_error>

#include <QStringDecoder>

#include "platform/ShareFile.h"

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

// Length of the valid UTF-8 sequence at `p` (at most `left` bytes), or 0 when invalid.
int Utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& code) {
    const unsigned char lead = p[0];
    int length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (code < min || code > 0x10FFFF || surrogate) ? 0 : length;
}

QString DecodeMixed(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length = p[i] < 0x80 ? 0 : Utf8SequenceLength(p + i, size - i, code);
        if (length == 0) {
            text.append(QChar(p[i])); // ASCII, or a byte outside any valid sequence
            ++i;
            continue;
        }
        text.append(QString::fromUcs4(&code, 1));
        i += length;
    }
    return text;
}
} // namespace

bool ReadLogFile(const std::string& path, QByteArray& bytes, std::string& errorText) {
    if (!CheckKind(path, errorText))
        return false;
    ShareFile file;
    if (!file.OpenForRead(path)) {
        errorText = MessageFor(file);
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ReadToEnd(file, ec ? 0 : static_cast<qsizetype>(size), bytes)) {
        errorText = MessageFor(file);
        bytes.clear();
        return false;
    }
    return true;
}

QString DecodeLogBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? DecodeMixed(bytes) : text;
}
