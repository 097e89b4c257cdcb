#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "core/archive/ArchiveFiles.h"
#include "core/archive/ArchiveWorker.h"
#include "core/archive/GzipFile.h"
#include "core/archive/RotatedName.h"
#include "core/archive/RotationPolicy.h"
#include "core/platform/Clock.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/storage/LogArchiving.h"
#include "core/storage/LogFileEntry.h"
#include "core/storage/LogFileSet.h"

namespace {
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> NamesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::time_t Utc(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return FromUtcParts(parts);
}

#ifdef _WIN32
constexpr bool kWindowsTimeZoneRules = true;
// Wine makes each file open, force to disk and rename slow: fewer files there.
constexpr int kMidnightFiles = 500;
#else
constexpr bool kWindowsTimeZoneRules = false;
constexpr int kMidnightFiles = 10000;
#endif

// An empty `zone` removes TZ: the system's own zone again.
void SetTimeZone(const char* zone) {
    if (*zone)
        ScopedEnvironment::Set("TZ", zone);
    else
        ScopedEnvironment::Unset("TZ");
    RefreshTimeZone();
}

TEST(RotatedName, NamesAndSequence) {
    const CalendarDay day{2026, 12, 10};
    EXPECT_EQ(RotatedFileName("syslog.log", day, 0), "syslog.2026-12-10.log");
    EXPECT_EQ(RotatedFileName("syslog.log", day, 2), "syslog.2026-12-10.2.log");
    EXPECT_EQ(RotatedFileName("10_1_1_1.log", {2027, 1, 5}, 11), "10_1_1_1.2027-01-05.11.log");

    TempDir dir;
    const std::string base = dir.Path() + DirectorySeparator();
    // Each form of a taken name moves the next one on.
    for (const char* taken :
         {"syslog.2026-12-10.log", "syslog.2026-12-10.1.log.gz", "syslog.2026-12-10.2.log.gz.part"})
        WriteAll(base + taken, "x");
    EXPECT_EQ(FreeRotatedPath(base, "syslog.log", day), base + "syslog.2026-12-10.3.log");
    EXPECT_EQ(FreeRotatedPath(base, "mail.log", day), base + "mail.2026-12-10.log");
}

TEST(RotatedName, ReadsOnlyNamesItMakes) {
    struct Case {
        const char* name;
        bool rotated;
        const char* logName;
        int sequence;
        bool compressed;
    };
    const Case cases[] = {
        {"syslog.2026-12-10.log", true, "syslog.log", 0, false},
        {"syslog.2026-12-10.3.log.gz", true, "syslog.log", 3, true},
        {"10_1_1_1.2024-02-29.log", true, "10_1_1_1.log", 0, false},
        {"--1.2026-01-01.log.gz", true, "--1.log", 0, true},
        {"syslog.log", false, "", 0, false},
        {"10_1_1_1.log", false, "", 0, false},
        {"syslog.2026-02-30.log", false, "", 0, false},
        {"syslog.2026-13-01.log", false, "", 0, false},
        {".2026-12-10.log", false, "", 0, false},
        {"syslog.2026-12-10.01.log", false, "", 0, false},
        {"syslog.2026-12-10.log.gz.part", false, "", 0, false},
        {"syslog.2026-12-10.txt", false, "", 0, false},
        {"notes.2026-12-10", false, "", 0, false},
    };
    for (const Case& c : cases) {
        const std::optional<RotatedName> parsed = ParseRotatedName(c.name);
        EXPECT_EQ(parsed.has_value(), c.rotated) << c.name;
        if (!parsed || !c.rotated)
            continue;
        EXPECT_EQ(parsed->logName, c.logName) << c.name;
        EXPECT_EQ(parsed->sequence, c.sequence) << c.name;
        EXPECT_EQ(parsed->compressed, c.compressed) << c.name;
        EXPECT_EQ(RotatedFileName(parsed->logName, parsed->day, parsed->sequence) +
                      (parsed->compressed ? ".gz" : ""),
                  c.name);
    }
}

TEST(CalendarDay, LineDaysTakeTheLatestYearNotAfterToday) {
    const CalendarDay today{2026, 1, 3};
    EXPECT_EQ(DayOfLogLine("Jan 03 00:00:01 10.1.1.1 x", today), (CalendarDay{2026, 1, 3}));
    EXPECT_EQ(DayOfLogLine("Dec 31 23:59:59 10.1.1.1 x", today), (CalendarDay{2025, 12, 31}));
    EXPECT_EQ(DayOfLogLine("Jan 04 00:00:00", today), (CalendarDay{2025, 1, 4}));
    EXPECT_FALSE(DayOfLogLine("garbage line", today));
    EXPECT_FALSE(DayOfLogLine("Jan", today));
    EXPECT_EQ(DayFromNumber(DayNumber({2024, 2, 29}) + 1), (CalendarDay{2024, 3, 1}));
}

TEST(RotationPolicy, SizeBoundIsCheckedBeforeTheLine) {
    ArchiveSettings settings;
    settings.rotateMb = 1;
    const RotationPolicy policy(settings, [](std::time_t) { return CalendarDay{2026, 1, 1}; });
    constexpr std::uint64_t kMiB = 1024 * 1024;
    struct Case {
        std::uint64_t size;
        std::size_t line;
        bool due;
    };
    const Case cases[] = {{0, 2 * kMiB, false}, // a line longer than the bound still goes in
                          {kMiB - 10, 10, false},
                          {kMiB - 10, 11, true},
                          {kMiB, 1, true}};
    for (const Case& c : cases)
        EXPECT_EQ(policy.IsDue(c.size, CalendarDay{2026, 1, 1}, 0, c.line), c.due)
            << c.size << " + " << c.line;
}

// Rotation through the log file set, with the real local calendar in chosen time zones.
class ArchiveSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.IsValid());
        m_savedProgramDir = g_programDir;
        g_programDir = m_dir.Path() + DirectorySeparator();
        if (const char* zone = std::getenv("TZ"))
            m_savedZone = zone;
        m_savedHandler = SetMessageBoxHandler([this](const std::string& text) {
            m_boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        m_set.CloseLogFiles();
        SetMessageBoxHandler(std::move(m_savedHandler));
        g_programDir = m_savedProgramDir;
        SetTimeZone(m_savedZone ? m_savedZone->c_str() : "");
    }

    void Open(const std::string& archiveKeys, int logType = 0) {
        WriteAll(g_programDir + "Marovind.ini",
                 "[Marovind]\r\nLOG_TYPE = " + std::to_string(logType) + "\r\nLOG_DIR = " +
                     g_programDir + "\r\nLOG_SECURITY = " + (logType == 3 ? "true" : "false") +
                     "\r\n" + archiveKeys);
        m_set.OpenLogFiles();
    }

    // Logs "<n>" from `address` at `when`, its time text made from `when` as the listener does.
    void Log(std::time_t when, const std::string& text, const char* address = "10.1.1.1") {
        char time[32];
        FormatSyslogTime(when, time, sizeof time);
        SyslogRecord record;
        record.sourceAddress = address;
        record.receiveTime = time;
        record.facilityName = "user";
        record.severityName = "info";
        record.messageText = text.c_str();
        record.receivedAt = when;
        m_set.WriteLogLine(record);
    }

    std::string File(const std::string& name) { return ReadAll(g_programDir + name); }

    TempDir m_dir;
    LogFileSet m_set;
    std::vector<std::string> m_boxes;

private:
    std::string m_savedProgramDir;
    std::optional<std::string> m_savedZone;
    MessageBoxHandler m_savedHandler;
};

TEST_F(ArchiveSetTest, MidnightFollowsTheLocalCalendar) {
    struct Line {
        const char* zone;
        std::time_t when;
    };
    struct Case {
        const char* what;
        std::vector<Line> sameFile; // all of these stay in one file
        Line nextDay;               // this one starts a new file
        const char* rotatedName;
    };
    std::vector<Case> cases = {
        {"the zone moves east past midnight, then back",
         {{"UTC0", Utc(2026, 12, 10, 20, 0)}},
         {"JST-9", Utc(2026, 12, 10, 20, 30)},
         "syslog.2026-12-10.log"},
    };
    // Windows' C runtime reads TZ with the United States' rules of before 2007 only.
    if (!kWindowsTimeZoneRules) {
        cases.push_back({"spring forward: a day of 23 hours",
                         {{"EST5EDT", Utc(2026, 3, 8, 5, 30)},
                          {"EST5EDT", Utc(2026, 3, 8, 6, 59)},
                          {"EST5EDT", Utc(2026, 3, 8, 7, 0)},
                          {"EST5EDT", Utc(2026, 3, 9, 3, 59)}},
                         {"EST5EDT", Utc(2026, 3, 9, 4, 0, 30)},
                         "syslog.2026-03-08.log"});
        cases.push_back({"fall back: a day of 25 hours",
                         {{"EST5EDT", Utc(2026, 11, 1, 4, 30)},
                          {"EST5EDT", Utc(2026, 11, 1, 5, 30)},
                          {"EST5EDT", Utc(2026, 11, 1, 6, 30)},
                          {"EST5EDT", Utc(2026, 11, 2, 4, 59)}},
                         {"EST5EDT", Utc(2026, 11, 2, 5, 0, 10)},
                         "syslog.2026-11-01.log"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir.Path());
        fs::create_directory(m_dir.Path());
        Open("ROTATE_DAILY = true\r\n");
        int n = 0;
        for (const Line& line : c.sameFile) {
            SetTimeZone(line.zone);
            Log(line.when, std::to_string(++n));
        }
        const std::string before = File("syslog.log");
        SetTimeZone(c.nextDay.zone);
        Log(c.nextDay.when, "next");
        EXPECT_EQ(NamesIn(m_dir.Path()),
                  (std::vector<std::string>{"Marovind.ini", c.rotatedName, "syslog.log"}));
        EXPECT_EQ(File(c.rotatedName), before);
        EXPECT_NE(before.find(" " + std::to_string(n) + "\r\n"), std::string::npos);
        // The zone set back again: a day earlier than the file's continues it.
        SetTimeZone("UTC0");
        Log(c.nextDay.when + 60 - 24 * 3600, "earlier");
        EXPECT_EQ(NamesIn(m_dir.Path()).size(), 3u);
        EXPECT_NE(File("syslog.log").find("next\r\n"), std::string::npos);
        m_set.CloseLogFiles();
    }
    EXPECT_TRUE(m_boxes.empty());
}

// 10,000 per-address files (500 under wine) at 50,000 lines a second across midnight, the clock
// faked: every line lands whole in exactly one file, in order, and every file starts a new one.
TEST_F(ArchiveSetTest, ThousandsOfFilesAcrossMidnightKeepEveryLine) {
    SetTimeZone("UTC0");
    constexpr int kFiles = kMidnightFiles;
    constexpr int kPerSecond = 50000;
    std::string addresses;
    std::vector<std::string> senders;
    for (int i = 0; i < kFiles; ++i) {
        senders.push_back("10.9." + std::to_string(i / 256) + "." + std::to_string(i % 256));
        addresses += senders.back() + "\r\n";
    }
    WriteAll(g_programDir + "ipaddr.flt", addresses);
    Open("ROTATE_DAILY = true\r\n", 3);
    ASSERT_EQ(m_set.m_logFiles.size(), std::size_t(kFiles));
    const std::time_t midnight = Utc(2026, 12, 11, 0, 0);
    std::uint64_t sent = 0;
    for (std::time_t second = midnight - 1; second < midnight + 2; ++second)
        for (int i = 0; i < kPerSecond; ++i) {
            // A tick every 100 ms of the fake clock, as the timer would give.
            if (i % (kPerSecond / 10) == 0)
                m_set.ArchiveTick(second);
            Log(second, std::to_string(sent++), senders[(i * 7) % kFiles].c_str());
        }
    std::map<std::uint64_t, int> seen;
    for (const std::string& name : NamesIn(m_dir.Path())) {
        if (name == "Marovind.ini" || name == "ipaddr.flt")
            continue;
        std::istringstream lines(File(name));
        std::string line;
        std::uint64_t previous = 0;
        bool first = true;
        while (std::getline(lines, line)) {
            ASSERT_EQ(line.back(), '\r') << name;
            const std::uint64_t number = std::stoull(line.substr(line.rfind(' ') + 1));
            EXPECT_TRUE(first || number > previous) << name;
            first = false;
            previous = number;
            ++seen[number];
            const bool rotated = name.find(".2026-12-10.") != std::string::npos;
            EXPECT_EQ(rotated, line.rfind("Dec 10 ", 0) == 0) << name << ": " << line;
        }
    }
    EXPECT_EQ(NamesIn(m_dir.Path()).size(), std::size_t(2 * kFiles + 2));
    ASSERT_EQ(seen.size(), sent);
    for (const auto& [number, count] : seen)
        ASSERT_EQ(count, 1) << number;
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ArchiveSetTest, SizeRotationKeepsEveryLineWholeAndInOrder) {
    Open("ROTATE_MB = 1\r\n");
    const std::time_t when = Utc(2026, 12, 10, 12, 0);
    const std::string padding(300, 'p');
    constexpr int kLines = 10000; // about 3 MB: three rotations
    for (int i = 0; i < kLines; ++i)
        Log(when + i / 1000, padding + " " + std::to_string(i));
    const std::vector<std::string> files = {"syslog.2026-12-10.log", "syslog.2026-12-10.1.log",
                                            "syslog.2026-12-10.2.log", "syslog.log"};
    std::vector<std::string> expectedNames = files;
    expectedNames.insert(expectedNames.begin(), "Marovind.ini");
    std::sort(expectedNames.begin(), expectedNames.end());
    ASSERT_EQ(NamesIn(m_dir.Path()), expectedNames);
    int next = 0;
    for (const std::string& name : files) {
        const std::string text = File(name);
        EXPECT_LE(text.size(), 1024u * 1024u) << name;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line); ++next)
            ASSERT_TRUE(line.size() > 300 &&
                        line.substr(line.rfind(' ') + 1) == std::to_string(next) + "\r")
                << name << " line for " << next;
    }
    EXPECT_EQ(next, kLines);
}

TEST(GzipFile, RoundTripAndDamage) {
    TempDir dir;
    const std::string plain = dir.FilePath("a.log");
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "Dec 10 12:00:00 10.1.1.1 line " + std::to_string(i * 7919 % 100003) + "\r\n";
    WriteAll(plain, text);
    const std::atomic<bool> go{false};
    ASSERT_TRUE(CompressFile(plain, dir.FilePath("a.log.gz"), go).ok);
    EXPECT_LT(fs::file_size(dir.FilePath("a.log.gz")), text.size() / 4);
    ASSERT_TRUE(DecompressFile(dir.FilePath("a.log.gz"), dir.FilePath("b.log"), go).ok);
    EXPECT_EQ(ReadAll(dir.FilePath("b.log")), text);

    // Two members one after the other read as one text, as gunzip reads them.
    const std::string gz = ReadAll(dir.FilePath("a.log.gz"));
    WriteAll(dir.FilePath("twice.gz"), gz + gz);
    ASSERT_TRUE(DecompressFile(dir.FilePath("twice.gz"), dir.FilePath("c.log"), go).ok);
    EXPECT_EQ(ReadAll(dir.FilePath("c.log")), text + text);

    // Cut short or not gzip at all: a failure, and no output left behind.
    WriteAll(dir.FilePath("cut.gz"), gz.substr(0, gz.size() / 2));
    WriteAll(dir.FilePath("plain.gz"), text.substr(0, 1000));
    for (const char* bad : {"cut.gz", "plain.gz"}) {
        const GzipOutcome outcome = DecompressFile(dir.FilePath(bad), dir.FilePath("d.log"), go);
        EXPECT_FALSE(outcome.ok) << bad;
        EXPECT_FALSE(outcome.error.empty()) << bad;
        EXPECT_FALSE(fs::exists(dir.FilePath("d.log"))) << bad;
    }
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(CompressFile(plain, dir.FilePath("e.gz"), stop).ok);
    EXPECT_FALSE(fs::exists(dir.FilePath("e.gz")));
    EXPECT_EQ(ReadAll(plain), text);
}

TEST(ArchiveFiles, RecoveryFinishesOrRedoesInterruptedWork) {
    TempDir dir;
    const std::string base = dir.Path() + DirectorySeparator();
    const std::atomic<bool> go{false};
    WriteAll(base + "syslog.2026-12-08.log", "done before the crash\r\n");
    ASSERT_TRUE(
        CompressFile(base + "syslog.2026-12-08.log", base + "syslog.2026-12-08.log.gz", go).ok);
    WriteAll(base + "syslog.2026-12-09.log", "interrupted\r\n");
    WriteAll(base + "syslog.2026-12-09.log.gz.part", "\x1f\x8b half");
    WriteAll(base + "notes.log.gz.part", "not ours");
    WriteAll(base + "syslog.log", "live\r\n");

    ArchiveWorker worker;
    worker.Recover(base, true);
    // Queued by a rotation while the recovery was listing: done by then, and not an error.
    worker.Compress(base + "syslog.2026-12-09.log");
    worker.WaitUntilIdle();
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::vector<std::string>{"notes.log.gz.part", "syslog.2026-12-08.log.gz",
                                        "syslog.2026-12-09.log.gz", "syslog.log"}));
    ASSERT_TRUE(DecompressFile(base + "syslog.2026-12-09.log.gz", base + "check", go).ok);
    EXPECT_EQ(ReadAll(base + "check"), "interrupted\r\n");
    EXPECT_TRUE(worker.TakeReports().empty());
}

TEST(ArchiveFiles, RetentionDeletesOnlyItsOwnExpiredFiles) {
    TempDir dir;
    const std::string base = dir.Path() + DirectorySeparator();
    const std::vector<std::string> kept = {"syslog.log",
                                           "10_1_1_1.log",
                                           "notes.txt",
                                           "syslog.2026-12-03.log",
                                           "syslog.2026-12-09.1.log.gz",
                                           "backup.2020-01-01.tar.gz",
                                           "syslog.2020-01-01.txt",
                                           "syslog.2020-01-01.log.bak",
                                           "old",
                                           "link.2020-01-01.log"};
    for (const std::string& name : kept)
        if (name != "old" && name != "link.2020-01-01.log")
            WriteAll(base + name, "x");
    fs::create_directory(base + "old");
    WriteAll(base + "old" + DirectorySeparator() + "syslog.2020-01-01.log", "x");
    WriteAll(base + "target", "x");
    std::error_code noLinks; // where links cannot be made the rest still counts
    fs::create_symlink(base + "target", base + "link.2020-01-01.log", noLinks);
    for (const char* expired :
         {"syslog.2026-12-02.log", "syslog.2020-01-01.3.log.gz", "10_1_1_1.2026-11-30.log"})
        WriteAll(base + expired, "x");

    EXPECT_EQ(DeleteRotatedBefore(base, {2026, 12, 10}, 7), 3);
    std::vector<std::string> expected = kept;
    expected.push_back("target");
    if (noLinks)
        expected.erase(std::find(expected.begin(), expected.end(), "link.2020-01-01.log"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(NamesIn(dir.Path()), expected);
    EXPECT_TRUE(fs::exists(base + "old" + DirectorySeparator() + "syslog.2020-01-01.log"));
}
} // namespace
