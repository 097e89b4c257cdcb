#pragma once
#include <QStringView>
#include <QTextDocument>

// One search through a whole text, with the options and the start rules of a document's
// Find: forward from `from` on, backward from just before `from`; whole words are bounded
// by characters that are not letters or digits. The index of the hit, or -1.
qsizetype FindInText(QStringView text, QStringView what, qsizetype from,
                     QTextDocument::FindFlags flags);
