#include <gtest/gtest.h>

#include <cstdlib>

#include "core/alerts/AlertDispatcher.h"
#include "core/alerts/ProgramRunner.h"
#include "core/platform/EventLoop.h"
#include "unit/AlertProgramSupport.h"
#include "unit/TempDir.h"

#include <windows.h> // after our headers: it defines macros named like some of their members

namespace {
std::string ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    char bytes[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, path, -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// The text of each message must reach the program as one argument, as it was.
TEST(AlertProgramsWindows, HostileMessagesArriveAsSingleArgumentsByteForByte) {
    TempDir dir;
    const std::string hostile[] = {
        "it's \"quoted\" ; & | ^ > x %PATH% !x! $(id) `id`",
        "trailing backslashes \\\\",
        "\\\"backslash then quote\\\\\" end\\",
        "%message% %host% %% tab\there",
        "caf\xc3\xa9 \xe2\x82\xac",
        std::string(20000, 'L') + " \"$(id)\"",
    };
    for (const std::string& text : hostile) {
        ProgramRunner runner(nullptr);
        AlertDispatcher dispatcher(&runner);
        const std::string out = dir.Path() + "\\args";
        AlertRule rule;
        rule.name = "record";
        rule.actions.run = true;
        rule.actions.program = ThisProgram();
        rule.actions.arguments = {"--alert-child", out, "%message%", "", "%severity%"};
        dispatcher.SetRules({rule});
        dispatcher.Deliver(Decoded("<11>" + text, "10.0.0.1").record);
        ASSERT_TRUE(AllEnded(runner));
        EXPECT_EQ(ReadAll(out), text + '\0' + '\0' + "err" + '\0') << text.substr(0, 60);
        EXPECT_EQ(ReadAll(out + ".in"), text + "\n");
    }
}

TEST(AlertProgramsWindows, AtMostFourRunAndOnePastItsTimeIsKilled) {
    // Long enough that no program is past its time while the six are started (each start
    // can take a few hundred milliseconds under wine), so none makes room for another.
    ProgramRunner runner(nullptr, std::chrono::milliseconds(5000), std::chrono::milliseconds(50));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(runner.Run(ThisProgram(), {"--alert-child-sleep", "60000"}, ""), i < 4);
    EXPECT_EQ(runner.Dropped(), 2u);
    ASSERT_TRUE(AllEnded(runner));
    EXPECT_EQ(runner.Killed(), 4u);
}

// A program past its time is ended with whatever it started, as its process group is on Linux.
TEST(AlertProgramsWindows, AKillEndsWhatTheProgramStartedToo) {
    TempDir dir;
    const std::string pidFile = dir.Path() + "\\grandchild";
    ProgramRunner runner(nullptr, std::chrono::milliseconds(6000), std::chrono::milliseconds(50));
    ASSERT_TRUE(runner.Run(ThisProgram(), {"--alert-child-spawn", pidFile}, ""));
    ASSERT_TRUE(AllEnded(runner));
    EXPECT_EQ(runner.Killed(), 1u);
    const DWORD pid = static_cast<DWORD>(std::strtoul(ReadAll(pidFile).c_str(), nullptr, 10));
    ASSERT_NE(pid, 0u) << "the program did not start its own";
    HANDLE grandchild = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!grandchild)
        return; // gone already, its id no longer names a process
    const DWORD waited = WaitForSingleObject(grandchild, 5000);
    CloseHandle(grandchild);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program's own program outlived the kill";
}

TEST(AlertProgramsWindows, AProgramThatCannotStartIsReportedByName) {
    std::vector<std::string> lines;
    ProgramRunner runner([&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(runner.Run("C:\\nonexistent\\alert-program.exe", {}, "x"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("alert-program.exe"), std::string::npos);
}
} // namespace
