#pragma once
#include <cstdio>
#include <string>

// Reads a file line by line the way the C library's fgets reads a text-mode stream on
// Windows, so files read the same on every platform:
//  - a CR directly before a LF is dropped, any other CR is kept;
//  - a byte 26 (Ctrl-Z) ends the file;
//  - one read takes at most kMaxPiece bytes and stops after a LF, which counts toward
//    that limit; the rest of a longer line comes with the next read;
//  - a zero byte ends the text of that read (the rest of the read is dropped).
class TextModeReader {
public:
    static constexpr std::size_t kMaxPiece = 1022;

    TextModeReader() = default;
    ~TextModeReader();
    TextModeReader(const TextModeReader&) = delete;
    TextModeReader& operator=(const TextModeReader&) = delete;

    // Opens for reading, denying nothing to other openers. With createIfMissing a missing
    // file is created empty first. False when the file cannot be opened.
    bool Open(const std::string& path, bool createIfMissing = false);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    // One read, as fgets with a limit of kMaxPiece + 1. On success `piece` holds the
    // text up to the first zero byte, without the LF that ended the read. A read that
    // meets the end after at least one byte sets Eof() and still returns true; one that
    // meets it before any byte sets Eof() and Failed() and returns false.
    bool ReadPiece(std::string& piece);

    bool Eof() const { return m_eof; }
    bool Failed() const { return m_failed; }

private:
    int NextByte(); // the next byte after text-mode translation, or EOF

    std::FILE* m_file = nullptr;
    bool m_eof = false;
    bool m_failed = false;
    bool m_ctrlZSeen = false;
};
