#pragma once
#include <QString>

#include "core/fields/FieldNames.h"

// A field column's header ("Host") and its View > Columns item ("&Host").
QString FieldHeader(Field field);
QString FieldMenuText(Field field);
// The field as the list shows it: a sent time with an offset in local time, everything
// else as sent, decoded as the list decodes bytes.
QString FieldText(const MessageFields& fields, Field field);
// A sent time carrying its offset as local time, "2003-10-11 23:14:15.003".
QString LocalSentTime(const SentTime& sent);
