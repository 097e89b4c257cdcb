#pragma once
#include <fstream>
#include <sstream>
#include <string>

#include "core/alerts/ProgramRunner.h"
#include "core/platform/EventLoop.h"

// For the alert program tests on both systems.
inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline bool AllEnded(ProgramRunner& runner, int timeoutMs = 20000) {
    return PumpEventsUntil([&runner] { return runner.Running() == 0; }, timeoutMs);
}
