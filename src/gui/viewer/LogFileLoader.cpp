#include "gui/viewer/LogFileLoader.h"

#include <algorithm>

#include "gui/framework/DisplayText.h"
#include "gui/viewer/LogFileText.h"

namespace {
bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}
} // namespace

bool LogFileLoader::Open(const std::string& path, std::int64_t length, std::string& errorText) {
    if (!OpenLogFile(path, m_file, errorText))
        return false;
    m_length = length;
    return true;
}

int LogFileLoader::Percent() const {
    return m_length == 0 ? 100 : static_cast<int>(m_done * 100 / m_length);
}

qsizetype LogFileLoader::CutPoint(bool last) const {
    if (last)
        return m_carry.size();
    const qsizetype lineEnd = m_carry.lastIndexOf('\n');
    if (lineEnd >= 0)
        return lineEnd + 1;
    // No line end: the last byte waits for the next block, which may hold its LF or the
    // rest of its sequence, and so does a sequence begun just before it.
    qsizetype cut = m_carry.size() - 1;
    for (int back = 0; back < 3 && cut > 0 && IsContinuation(m_carry[cut]); ++back)
        --cut;
    return cut;
}

bool LogFileLoader::Next(QString& piece, std::string& errorText) {
    piece.clear();
    while (piece.isEmpty() && !AtEnd()) {
        const qsizetype want =
            static_cast<qsizetype>(std::min<std::int64_t>(kBlockSize, m_length - m_done));
        const qsizetype used = m_carry.size();
        m_carry.resize(used + want);
        const auto got = want > 0 ? m_file.Read(m_carry.data() + used, want) : 0;
        if (got < 0) {
            errorText = LogFileReadError(m_file);
            m_carry.clear();
            return false;
        }
        m_carry.resize(used + got);
        m_done = got == 0 ? m_length : m_done + got; // a file cut short ends where it ends
        const qsizetype cut = CutPoint(m_done >= m_length);
        piece = DecodeLogBytes(m_carry.first(cut));
        m_carry.remove(0, cut);
    }
    return true;
}
