#pragma once
#include <fstream>
#include <sstream>
#include <string>

#include "core/alerts/ProgramRunner.h"
#include "core/platform/EventLoop.h"
#include "core/reception/Decode.h"

// For the alert tests on both systems.

// A message as the receiver decodes it from a datagram.
struct Decoded {
    explicit Decoded(const std::string& datagram, const char* address = "10.1.2.3")
        : text(datagram) {
        DecodeDatagram(text.c_str(), address, 0, time, record);
    }
    std::string text;
    ReceiveTimeText time;
    SyslogRecord record;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool AllEnded(ProgramRunner& runner, int timeoutMs = 20000) {
    return PumpEventsUntil([&runner] { return runner.Running() == 0; }, timeoutMs);
}
