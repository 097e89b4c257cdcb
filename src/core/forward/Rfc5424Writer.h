#pragma once
#include <string>

#include "core/forward/ForwardMessage.h"

// The message rewritten as RFC 5424: "<PRI>1 TIMESTAMP HOSTNAME APP-NAME PROCID MSGID SD MSG".
// PRI as received; the sender's RFC 5424 time as sent, else the time of receipt in UTC (a BSD
// time has neither year nor zone); HOSTNAME the host the header names, else the sender's
// address; APP-NAME, PROCID, MSGID and structured data from the header where it has them ("-"
// where not); MSG the message part, unchanged.
std::string Rfc5424Text(const ForwardMessage& message);
