#pragma once
#include <ctime>

#include "core/reception/SyslogRecord.h"

// Room for the receive time text of one record.
struct ReceiveTimeText {
    char text[128] = "";
};

// Takes one datagram apart. `datagram` is zero-terminated (at most 1024 bytes of text);
// the record's texts point into `datagram`, `address`, `time` and the static name tables.
// Every datagram yields a record.
void DecodeDatagram(const char* datagram, const char* address, std::time_t receivedAt,
                    ReceiveTimeText& time, SyslogRecord& record);
