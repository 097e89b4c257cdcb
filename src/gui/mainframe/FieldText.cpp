#include "gui/mainframe/FieldText.h"

#include <QByteArray>
#include <QDateTime>

#include "gui/framework/DisplayText.h"

namespace {
constexpr const char* kHeaders[kFieldCount] = {"Sent Time",  "Host",       "Application",
                                               "Process ID", "Message ID", "Structured Data"};
constexpr const char* kMenuTexts[kFieldCount] = {"&Sent Time",  "&Host",       "&Application",
                                                 "&Process ID", "&Message ID", "Structured &Data"};
} // namespace

QString FieldHeader(Field field) {
    return QString::fromLatin1(kHeaders[static_cast<std::size_t>(field)]);
}

QString FieldMenuText(Field field) {
    return QString::fromLatin1(kMenuTexts[static_cast<std::size_t>(field)]);
}

QString LocalSentTime(const SentTime& sent) {
    QString text = QDateTime::fromSecsSinceEpoch(sent.utcSeconds)
                       .toLocalTime()
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!sent.fraction.empty())
        text += QLatin1Char('.') +
                QString::fromLatin1(sent.fraction.data(), qsizetype(sent.fraction.size()));
    return text;
}

QString FieldText(const MessageFields& fields, Field field) {
    if (field == Field::Sent && fields.sent.hasOffset)
        return LocalSentTime(fields.sent);
    const std::string_view bytes = FieldValue(fields, field);
    return DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
}
