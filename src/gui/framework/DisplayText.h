#pragma once
#include <QByteArray>
#include <QString>

// The bytes as text, unchanged: UTF-8 where a sequence is valid, every other byte as the
// Latin-1 character of the same value. A byte order mark stays in the text.
QString DecodeLogBytes(const QByteArray& bytes);

// The same, with each CR and LF shown as a blank, as the list and the log files show a
// message: the held bytes keep their line breaks.
QString DecodeFlattened(const QByteArray& bytes);
