#include "gui/viewer/TextSearch.h"

namespace {
bool IsWholeWord(QStringView text, qsizetype at, qsizetype length) {
    const qsizetype end = at + length;
    return (at == 0 || !text[at - 1].isLetterOrNumber()) &&
           (end == text.size() || !text[end].isLetterOrNumber());
}
} // namespace

qsizetype FindInText(QStringView text, QStringView what, qsizetype from,
                     QTextDocument::FindFlags flags) {
    if (what.isEmpty())
        return -1;
    const auto cs = flags.testFlag(QTextDocument::FindCaseSensitively) ? Qt::CaseSensitive
                                                                       : Qt::CaseInsensitive;
    const bool backward = flags.testFlag(QTextDocument::FindBackward);
    qsizetype at = backward ? from - 1 : from;
    while (at >= 0 && at <= text.size()) {
        at = backward ? text.lastIndexOf(what, at, cs) : text.indexOf(what, at, cs);
        if (at < 0)
            return -1;
        if (!flags.testFlag(QTextDocument::FindWholeWords) || IsWholeWord(text, at, what.size()))
            return at;
        at += backward ? -1 : 1;
    }
    return -1;
}
