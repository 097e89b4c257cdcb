#include "core/platform/TextModeReader.h"

namespace {
constexpr int kCtrlZ = 26;

std::FILE* OpenForReading(const std::string& path) {
#ifdef _WIN32
    return _fsopen(path.c_str(), "rb", 0x40 /* _SH_DENYNO */);
#else
    return std::fopen(path.c_str(), "rb");
#endif
}
} // namespace

TextModeReader::~TextModeReader() {
    Close();
}

bool TextModeReader::Open(const std::string& path, bool createIfMissing) {
    Close();
    m_eof = m_failed = m_ctrlZSeen = false;
    m_file = OpenForReading(path);
    if (!m_file && createIfMissing) {
        if (std::FILE* created = std::fopen(path.c_str(), "ab"))
            std::fclose(created);
        m_file = OpenForReading(path);
    }
    return m_file != nullptr;
}

void TextModeReader::Close() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

int TextModeReader::NextByte() {
    if (m_ctrlZSeen || !m_file)
        return EOF;
    const int c = std::fgetc(m_file);
    if (c == kCtrlZ) {
        m_ctrlZSeen = true;
        return EOF;
    }
    if (c == '\r') {
        const int next = std::fgetc(m_file);
        if (next == '\n')
            return '\n';
        // Put the byte back rather than hold it aside, so it is translated in turn: in
        // CR CR LF the second CR sits directly before the LF and must be dropped.
        if (next != EOF)
            std::ungetc(next, m_file);
    }
    return c;
}

bool TextModeReader::ReadPiece(std::string& piece) {
    piece.clear();
    if (!m_file) {
        m_eof = m_failed = true;
        return false;
    }
    std::size_t count = 0;
    bool zeroSeen = false;
    while (count < kMaxPiece) {
        const int c = NextByte();
        if (c == EOF) {
            m_eof = true;
            if (count == 0) {
                m_failed = true;
                return false;
            }
            return true;
        }
        ++count;
        if (c == '\n')
            return true;
        if (c == '\0')
            zeroSeen = true;
        if (!zeroSeen)
            piece.push_back(static_cast<char>(c));
    }
    return true;
}
