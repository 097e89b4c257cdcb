#pragma once
#include <QByteArray>
#include <QString>

// The bytes as text, unchanged: UTF-8 where a sequence is valid, every other byte as the
// Latin-1 character of the same value. A byte order mark stays in the text.
QString DecodeLogBytes(const QByteArray& bytes);
