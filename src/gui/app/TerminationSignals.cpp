#include "gui/app/TerminationSignals.h"

#include "core/platform/SignalPipe.h"

#ifndef _WIN32
#include <csignal>

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent),
      m_pipe(std::make_unique<SignalPipe>(std::initializer_list<int>{SIGINT, SIGTERM},
                                          [this](const std::vector<int>&) { emit Requested(); })) {}

TerminationSignals::~TerminationSignals() = default;
#else
// Windows has no such signals for a window program; the window's close box serves.
TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
#endif
