#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ChildProcess;
class LoopTimer;

// Runs the alert programs of every rule: at most kMaxRunning at once, a further start is
// dropped and counted; each is killed once it has run for the time limit. The event loop
// looks after them twice a second while any runs.
class ProgramRunner {
public:
    static constexpr std::size_t kMaxRunning = 4;
    static constexpr std::chrono::seconds kDefaultTimeLimit{30};
    using Clock = std::chrono::steady_clock;
    // Where a failure to start goes (one line, naming the program).
    using Reporter = std::function<void(const std::string& line)>;

    explicit ProgramRunner(Reporter report, std::chrono::milliseconds timeLimit = kDefaultTimeLimit,
                           std::chrono::milliseconds pollInterval = std::chrono::milliseconds(500));
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // False when the program was dropped (too many running) or could not be started.
    bool Run(const std::string& program, const std::vector<std::string>& arguments,
             std::string input);

    std::size_t Running() const;
    std::uint64_t Dropped() const { return m_dropped; }
    std::uint64_t Killed() const { return m_killed; }
    // Looks after the running programs now, as the timer does.
    void Poll();

private:
    struct Child;

    Reporter m_report;
    std::chrono::milliseconds m_timeLimit;
    std::vector<Child> m_children;
    std::unique_ptr<LoopTimer> m_timer;
    std::uint64_t m_dropped = 0;
    std::uint64_t m_killed = 0;
};
