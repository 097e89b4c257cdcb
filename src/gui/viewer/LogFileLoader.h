#pragma once
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QString>

#include "core/platform/ShareFile.h"

// Reads a log file piece by piece for a view that fills while the program goes on. Only
// the length given is read, so a file the server appends to is shown as it was when opened. Pieces
// are cut after a line end where there is one and never inside a UTF-8 sequence or a CR LF pair, so
// they decode to exactly the text of the whole file.
class LogFileLoader {
public:
    static constexpr qsizetype kBlockSize = qsizetype{256} << 10;

    // Reads the first `length` bytes, or fewer if the file is shorter. False with the message
    // to show when the file cannot be opened for reading.
    bool Open(const std::string& path, std::int64_t length, std::string& errorText);
    // The next piece of text, at most about one block long; false on a read failure.
    bool Next(QString& piece, std::string& errorText);
    bool AtEnd() const { return m_done >= m_length && m_carry.isEmpty(); }
    // 0 to 100.
    int Percent() const;
    std::int64_t Length() const { return m_length; }

private:
    qsizetype CutPoint(bool last) const;

    ShareFile m_file;
    std::int64_t m_length = 0;
    std::int64_t m_done = 0;
    QByteArray m_carry;
};
