#include "core/alerts/ProgramRunner.h"

#include <algorithm>

#include "core/platform/ChildProcess.h"
#include "core/platform/EventLoop.h"

struct ProgramRunner::Child {
    std::unique_ptr<ChildProcess> process;
    Clock::time_point deadline;
};

ProgramRunner::ProgramRunner(Reporter report, std::chrono::milliseconds timeLimit,
                             std::chrono::milliseconds pollInterval)
    : m_report(std::move(report)), m_timeLimit(timeLimit),
      m_timer(std::make_unique<LoopTimer>(static_cast<int>(pollInterval.count()),
                                          [this] { Poll(); })) {}

ProgramRunner::~ProgramRunner() = default;

bool ProgramRunner::Run(const std::string& program, const std::vector<std::string>& arguments,
                        std::string input) {
    Poll();
    if (m_children.size() >= kMaxRunning) {
        ++m_dropped;
        return false;
    }
    std::string error;
    auto process = ChildProcess::Start(program, arguments, std::move(input), error);
    if (!process) {
        if (m_report)
            m_report("Alert program " + program + " could not be started: " + error);
        return false;
    }
    m_children.push_back({std::move(process), Clock::now() + m_timeLimit});
    m_timer->Start();
    return true;
}

void ProgramRunner::Poll() {
    const Clock::time_point now = Clock::now();
    for (Child& running : m_children) {
        if (!running.process->Poll() && now >= running.deadline) {
            running.process->Kill();
            running.deadline = Clock::time_point::max(); // reaped on a later poll
            ++m_killed;
        }
    }
    std::erase_if(m_children, [](Child& running) { return running.process->Poll(); });
    if (m_children.empty())
        m_timer->Stop();
}

std::size_t ProgramRunner::Running() const {
    return m_children.size();
}
