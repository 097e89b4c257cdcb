#include <gtest/gtest.h>

#ifndef _WIN32 // the programs run here are POSIX ones; Windows has its own in win/

#include "AlertProgramSupport.h"
#include "TempDir.h"
#include "core/alerts/AlertDispatcher.h"
#include "core/alerts/ProgramRunner.h"
#include "core/platform/EventLoop.h"

namespace {

// Each argument NUL-terminated into `out`, standard input into `out`.in.
AlertRule RecordingRule(const std::string& out) {
    AlertRule rule;
    rule.name = "record";
    rule.actions.run = true;
    rule.actions.program = "/bin/sh";
    rule.actions.arguments = {"-c",
                              "printf '%s\\0' \"$@\" > \"$0\"; cat > \"$0.in\"",
                              out,
                              "%message%",
                              "%host%|%app%",
                              "%severity%"};
    return rule;
}

TEST(AlertPrograms, HostileMessagesArriveAsSingleArgumentsByteForByte) {
    TempDir dir;
    const std::string hostile[] = {
        "it's \"quoted\" ; rm -rf / $(touch " + dir.Path() + "/pwned) `id` | & > x",
        "%message% %host% %% \\\\ \\\" %time%",
        "line\nbreak\ttab \x7f \xff\xfe not UTF-8",
        std::string(100000, 'L') + "$(id)",
    };
    for (const std::string& text : hostile) {
        std::vector<std::string> lines;
        ProgramRunner runner([&lines](const std::string& line) { lines.push_back(line); });
        AlertDispatcher dispatcher(&runner);
        const std::string out = dir.Path() + "/args";
        dispatcher.SetRules({RecordingRule(out)});
        dispatcher.Deliver(Decoded("<11>" + text, "10.0.0.1").record);
        ASSERT_TRUE(AllEnded(runner));
        EXPECT_TRUE(lines.empty()) << lines.front();
        EXPECT_EQ(ReadAll(out), text + '\0' + "|" + '\0' + "err" + '\0') << text.substr(0, 60);
        EXPECT_EQ(ReadAll(out + ".in"), text + "\n");
    }
    EXPECT_FALSE(std::ifstream(dir.Path() + "/pwned").good());
}

TEST(AlertPrograms, AtMostFourRunAndTheRestAreDroppedAndCounted) {
    ProgramRunner runner(nullptr);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(runner.Run("sleep", {"5"}, ""), i < 4);
    EXPECT_EQ(runner.Running(), 4u);
    EXPECT_EQ(runner.Dropped(), 2u);
} // the runner kills them on leaving

TEST(AlertPrograms, AProgramPastItsTimeIsKilledWithWhatItStarted) {
    TempDir dir;
    ProgramRunner runner(nullptr, std::chrono::milliseconds(300), std::chrono::milliseconds(50));
    // The shell's own child must go too; it would write the file after two seconds.
    const std::string late = dir.Path() + "/late";
    ASSERT_TRUE(runner.Run("/bin/sh", {"-c", "(sleep 2; touch " + late + ") & wait"}, ""));
    ASSERT_TRUE(AllEnded(runner));
    EXPECT_EQ(runner.Killed(), 1u);
    PumpEventsFor(2500);
    EXPECT_FALSE(std::ifstream(late).good());
}

TEST(AlertPrograms, AProgramThatCannotStartIsReportedByName) {
    std::vector<std::string> lines;
    ProgramRunner runner([&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(runner.Run("/nonexistent/alert-program", {}, "x"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("/nonexistent/alert-program"), std::string::npos);
    EXPECT_EQ(runner.Running(), 0u);
}

} // namespace

#endif
