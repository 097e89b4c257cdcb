#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "core/platform/MessageBox.h"
#include "core/platform/OpenFileLimit.h"
#include "core/platform/ProgramDir.h"
#include "core/platform/ShareFile.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/LogFileEntry.h"
#include "core/storage/LogFileSet.h"

#ifndef _WIN32
#include <QCoreApplication>
#include <QProcess>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

const std::vector<std::string> kSeverityFiles = {
    "alert.log", "crit.log", "debug.log",  "emerg.log", "err.log",  "error.log",
    "info.log",  "none.log", "notice.log", "panic.log", "warn.log", "warning.log"};
const std::vector<std::string> kFacilityFiles = {
    "auth.log",   "authpriv.log", "cron.log",   "daemon.log", "ftp.log",      "kern.log",
    "lpr.log",    "mail.log",     "mark.log",   "news.log",   "security.log", "syslog.log",
    "user.log",   "uucp.log",     "local0.log", "local1.log", "local2.log",   "local3.log",
    "local4.log", "local5.log",   "local6.log", "local7.log"};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The names of the "*.log" files in a directory.
std::vector<std::string> LogFilesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file() && entry.path().extension() == ".log")
            names.push_back(entry.path().filename().string());
    return names;
}

SyslogRecord Record(const char* address, const char* text, const char* facility = "user",
                    const char* severity = "info") {
    SyslogRecord record;
    record.sourceAddress = address;
    record.receiveTime = "Dec 08 04:37:41";
    record.facilityName = facility;
    record.severityName = severity;
    record.messageText = text;
    return record;
}

// A program directory of its own for each test, the message boxes recorded instead of
// shown, and the state of the globals put back afterwards.
class LogFileSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.IsValid());
        m_savedProgramDir = g_programDir;
        g_programDir = m_dir.Path() + DirectorySeparator();
        m_savedHandler = SetMessageBoxHandler([this](const std::string& text) {
            m_boxes.push_back(text);
            m_suspendedDuringBox.push_back(g_listener.m_suspended);
            return IDOK;
        });
    }
    void TearDown() override {
        m_set.CloseLogFiles();
        SetMessageBoxHandler(std::move(m_savedHandler));
        g_programDir = m_savedProgramDir;
    }

    std::string InDir(const std::string& name) const { return g_programDir + name; }
    void WriteSettings(const std::string& lines) { WriteWhole(InDir("Marovind.ini"), lines); }
    std::vector<std::string> OpenNames() const {
        std::vector<std::string> names;
        for (const auto& entry : m_set.m_logFiles)
            names.push_back(entry->Name());
        return names;
    }

    TempDir m_dir;
    LogFileSet m_set;
    std::vector<std::string> m_boxes;
    std::vector<int> m_suspendedDuringBox;

private:
    std::string m_savedProgramDir;
    MessageBoxHandler m_savedHandler;
};

TEST_F(LogFileSetTest, FirstStartWritesDefaultsAndLogsToSyslogLog) {
    m_set.OpenLogFiles();

    EXPECT_EQ(ReadWhole(InDir("Marovind.ini")), "[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = " +
                                                    g_programDir + "\r\nLOG_SECURITY = false\r\n");
    EXPECT_EQ(m_set.m_logDir, g_programDir);
    EXPECT_EQ(m_set.m_logType, 0);
    ASSERT_EQ(OpenNames(), std::vector<std::string>{"syslog.log"});
    EXPECT_EQ(m_set.m_logFiles.front()->Path(), InDir("syslog.log"));
    EXPECT_EQ(int(g_listener.m_suspended), 0);
    EXPECT_TRUE(m_boxes.empty());

    m_set.WriteLogLine(Record("10.1.1.1", "hello"));
    EXPECT_EQ(ReadWhole(InDir("syslog.log")), "Dec 08 04:37:41 10.1.1.1 hello\r\n");
}

TEST_F(LogFileSetTest, EachSchemeOpensItsFilesInTableOrder) {
    WriteWhole(InDir("ipaddr.flt"), "10.1.1.1\r\n\r\n10.2.2.2 \n192.168.0.1");
    struct Case {
        int stored;
        int used;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {0, 0, {"syslog.log"}}, {1, 1, kSeverityFiles},
        {2, 2, kFacilityFiles}, {3, 3, {"10_1_1_1.log", "10_2_2_2 .log", "192_168_0_1.log"}},
        {7, 0, {"syslog.log"}}, {-1, 0, {"syslog.log"}},
    };
    for (const Case& c : cases) {
        const std::string typeLine = "LOG_TYPE = " + std::to_string(c.stored);
        WriteSettings("[Marovind]\r\n" + typeLine + "\r\nLOG_DIR = " + g_programDir +
                      "\r\nLOG_SECURITY = true\r\n");
        m_set.OpenLogFiles();
        EXPECT_EQ(m_set.m_logType, c.used) << typeLine;
        EXPECT_EQ(OpenNames(), c.files) << typeLine;
        for (const std::string& name : c.files)
            EXPECT_TRUE(std::filesystem::exists(InDir(name))) << name;
        EXPECT_NE(ReadWhole(InDir("Marovind.ini")).find(typeLine + "\r\n"), std::string::npos)
            << "the stored scheme stays as it was";
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(LogFileSetTest, EachMessageGoesToTheFileItsSchemeChooses) {
    WriteWhole(InDir("ipaddr.flt"), "10.1.1.1\r\n");
    struct Case {
        int scheme;
        SyslogRecord record;
        const char* file; // null: written nowhere
    };
    const Case cases[] = {
        {0, Record("10.1.1.1", "m"), "syslog.log"},
        {1, Record("10.1.1.1", "m", "user", "err"), "err.log"},
        {1, Record("10.1.1.1", "m", "user", "warn"), "warn.log"},
        {1, Record("10.1.1.1", "m", "user", "emerg"), "emerg.log"},
        {2, Record("10.1.1.1", "m", "local1"), "local1.log"},
        {2, Record("10.1.1.1", "m", nullptr), nullptr},
        {3, Record("10.1.1.1", "m"), "10_1_1_1.log"},
        {3, Record("10.9.9.9", "m"), nullptr},
    };
    for (const Case& c : cases) {
        for (const std::string& name : LogFilesIn(m_dir.Path()))
            std::filesystem::remove(InDir(name));
        WriteSettings("[Marovind]\r\nLOG_TYPE = " + std::to_string(c.scheme) + "\r\n");
        m_set.OpenLogFiles();
        m_set.WriteLogLine(c.record);
        m_set.CloseLogFiles();
        for (const std::string& name : LogFilesIn(m_dir.Path())) {
            const bool chosen = c.file && name == c.file;
            EXPECT_EQ(ReadWhole(InDir(name)).empty(), !chosen)
                << "scheme " << c.scheme << ", file " << name;
        }
    }
}

TEST(LogFileNameForTest, NamesByScheme) {
    const SyslogRecord record = Record("10.1.1.1", "m", "local1", "debug");
    const SyslogRecord noFacility = Record("10.1.1.1", "m", nullptr, "debug");
    EXPECT_EQ(LogFileNameFor(record, 0), "syslog.log");
    EXPECT_EQ(LogFileNameFor(record, 1), "debug.log");
    EXPECT_EQ(LogFileNameFor(record, 2), "local1.log");
    EXPECT_EQ(LogFileNameFor(record, 3), "10_1_1_1.log");
    EXPECT_EQ(LogFileNameFor(noFacility, 2), ".log");
    EXPECT_EQ(LogFileNameFor(record, 7), "syslog.log");
}

TEST(FlattenLineBreaksTest, EachBreakBecomesOneBlank) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\r\nb", "a  b"}, {"a\rb", "a b"}, {"a\nb", "a b"},
        {"\n\r", "  "},     {"", ""},        {nullptr, ""},
        {"no break", "no break"}, {"x\ny\rz\n", "x y z "},
    };
    for (const auto& [text, flat] : cases) {
        EXPECT_EQ(FlattenLineBreaks(text), flat);
        // Appending leaves what was there before alone.
        std::string line = "p\n";
        AppendFlattened(line, text);
        EXPECT_EQ(line, std::string("p\n") + flat);
    }
}

TEST_F(LogFileSetTest, LineHoldsTimeAddressAndFlatText) {
    m_set.OpenLogFiles();
    m_set.WriteLogLine(Record("10.1.1.1", "a\r\nb"));
    m_set.WriteLogLine(Record("192.168.100.200", "x\ty\rz"));
    EXPECT_EQ(ReadWhole(InDir("syslog.log")),
              "Dec 08 04:37:41 10.1.1.1 a  b\r\nDec 08 04:37:41 192.168.100.200 x\ty z\r\n");
}

// The lines of one stream read wait in their files' buffers until the read is done, then
// all reach the system, each file's in order; a datagram's line is handed over at once.
TEST_F(LogFileSetTest, HeldFlushesHandLinesOverWhenReleased) {
    WriteSettings("[Marovind]\r\nLOG_TYPE = 1\r\nLOG_DIR = " + g_programDir + "\r\n");
    m_set.OpenLogFiles();
    m_set.HoldFlushes(true);
    m_set.WriteLogLine(Record("10.1.1.1", "one", "user", "err"));
    m_set.WriteLogLine(Record("10.1.1.1", "two", "user", "warn"));
    m_set.WriteLogLine(Record("10.1.1.1", "three", "user", "err"));
    EXPECT_EQ(ReadWhole(InDir("err.log")), "");
    m_set.HoldFlushes(false);
    EXPECT_EQ(ReadWhole(InDir("err.log")),
              "Dec 08 04:37:41 10.1.1.1 one\r\nDec 08 04:37:41 10.1.1.1 three\r\n");
    EXPECT_EQ(ReadWhole(InDir("warn.log")), "Dec 08 04:37:41 10.1.1.1 two\r\n");
    m_set.WriteLogLine(Record("10.1.1.1", "four", "user", "warn"));
    EXPECT_EQ(ReadWhole(InDir("warn.log")),
              "Dec 08 04:37:41 10.1.1.1 two\r\nDec 08 04:37:41 10.1.1.1 four\r\n");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(LogFileSetTest, RestartingAppendsToTheSameFile) {
    WriteWhole(InDir("syslog.log"), "earlier\r\n");
    m_set.OpenLogFiles();
    m_set.WriteLogLine(Record("10.1.1.1", "one"));
    m_set.OpenLogFiles(); // as confirming the configuration dialog does
    m_set.WriteLogLine(Record("10.1.1.1", "two"));
    m_set.CloseLogFiles();
    {
        LogFileSet restarted;
        restarted.OpenLogFiles();
        restarted.WriteLogLine(Record("10.1.1.1", "three"));
    }
    EXPECT_EQ(ReadWhole(InDir("syslog.log")),
              "earlier\r\nDec 08 04:37:41 10.1.1.1 one\r\nDec 08 04:37:41 10.1.1.1 two\r\n"
              "Dec 08 04:37:41 10.1.1.1 three\r\n");
}

TEST_F(LogFileSetTest, EmptyLogDirOpensBareNamesInTheCurrentDirectory) {
    namespace fs = std::filesystem;
    const std::string work = m_dir.FilePath("work");
    ASSERT_TRUE(fs::create_directory(work));
    const fs::path savedCurrent = fs::current_path();
    fs::current_path(work);
    WriteSettings("[Marovind]\r\nLOG_DIR = \r\n");
    m_set.OpenLogFiles();
    m_set.WriteLogLine(Record("10.1.1.1", "here"));
    m_set.CloseLogFiles();
    fs::current_path(savedCurrent);

    EXPECT_EQ(m_set.m_logDir, "");
    EXPECT_EQ(ReadWhole((fs::path(work) / "syslog.log").string()),
              "Dec 08 04:37:41 10.1.1.1 here\r\n");
    EXPECT_NE(ReadWhole(InDir("Marovind.ini")).find("LOG_DIR = \r\n"), std::string::npos);
}

TEST_F(LogFileSetTest, LogDirIsJoinedToTheNameAsStored) {
    WriteSettings("[Marovind]\r\nLOG_DIR = " + g_programDir + "pre\r\n");
    m_set.OpenLogFiles();
    ASSERT_EQ(m_set.m_logFiles.size(), 1u);
    EXPECT_EQ(m_set.m_logFiles.front()->Path(), InDir("presyslog.log"));
}

TEST_F(LogFileSetTest, DuplicateAddressIsReportedAndTheRestOpened) {
    WriteWhole(InDir("ipaddr.flt"), "10.1.1.1\r\n10.1.1.1\r\n10.2.2.2\r\n");
    WriteSettings("[Marovind]\r\nLOG_TYPE = 3\r\n");
    m_set.OpenLogFiles();

    EXPECT_EQ(m_boxes, std::vector<std::string>{"Could not open file"});
    EXPECT_EQ(m_suspendedDuringBox, std::vector<int>{1}) << "reception waits during the box";
    EXPECT_EQ(int(g_listener.m_suspended), 0);
    EXPECT_EQ(OpenNames(), (std::vector<std::string>{"10_1_1_1.log", "10_2_2_2.log"}));

    m_set.WriteLogLine(Record("10.1.1.1", "once"));
    EXPECT_EQ(ReadWhole(InDir("10_1_1_1.log")), "Dec 08 04:37:41 10.1.1.1 once\r\n");
}

TEST_F(LogFileSetTest, AddressSchemeWithoutListHasNoFiles) {
    WriteSettings("[Marovind]\r\nLOG_TYPE = 3\r\n");
    m_set.OpenLogFiles();
    EXPECT_TRUE(m_set.m_logFiles.empty());
    m_set.WriteLogLine(Record("10.1.1.1", "nowhere"));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(LogFileSetTest, UnopenableDirectoryIsReportedAndNothingWritten) {
    WriteSettings("[Marovind]\r\nLOG_DIR = " + g_programDir + "missing/\r\n");
    m_set.OpenLogFiles();
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Could not open file"});
    EXPECT_TRUE(m_set.m_logFiles.empty());
    EXPECT_EQ(int(g_listener.m_suspended), 0);
    m_set.WriteLogLine(Record("10.1.1.1", "lost"));
    EXPECT_EQ(m_boxes.size(), 1u);
}

TEST_F(LogFileSetTest, OpenFilesRefuseOtherWritersButNotReaders) {
    m_set.OpenLogFiles();
    m_set.WriteLogLine(Record("10.1.1.1", "kept"));

    ShareFile other;
    EXPECT_FALSE(other.OpenForAppend(InDir("syslog.log")));
    EXPECT_EQ(other.Error(), FileError::SharingViolation);
    ShareFile reader;
    EXPECT_TRUE(reader.OpenForRead(InDir("syslog.log")));

    m_set.CloseLogFiles();
    EXPECT_TRUE(m_set.m_logFiles.empty());
    EXPECT_TRUE(other.OpenForAppend(InDir("syslog.log")));
}

TEST_F(LogFileSetTest, WriteFailureIsReportedOncePerFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no device that is always full";
#else
    // A log file that is the full device fails every write with "disk full".
    if (::symlink("/dev/full", InDir("syslog.log").c_str()) != 0)
        GTEST_SKIP() << "cannot link to /dev/full";
    m_set.OpenLogFiles();
    if (m_set.m_logFiles.empty())
        GTEST_SKIP() << "/dev/full cannot be opened for writing";
    for (int i = 0; i < 5; ++i)
        m_set.WriteLogLine(Record("10.1.1.1", "lost"));
    EXPECT_EQ(m_boxes,
              std::vector<std::string>{"Disk full while accessing " + InDir("syslog.log") + "."});
#endif
}

#ifndef _WIN32
// ---- A real full disk: a 16 KB tmpfs in a private mount namespace ----

constexpr const char* kFullDiskEnv = "MAROVIND_FULL_DISK_DIR";

// Lines of one fixed length that does not divide the page size, so the write that meets
// the full disk is partly taken and must be cut back.
std::string NumberedText(int number) {
    char text[200];
    std::snprintf(text, sizeof text, "line %05d %0160d", number, 0);
    return text;
}

std::string NumberedLine(int number) {
    return "Dec 08 04:37:41 10.1.1.1 " + NumberedText(number) + "\r\n";
}

std::string Lines(int first, int end) {
    std::string lines;
    for (int i = first; i < end; ++i)
        lines += NumberedLine(i);
    return lines;
}

class LogFileSetFullDiskTest : public LogFileSetTest {
protected:
    // Writes lines numbered from `first` until one is refused; returns the first number
    // that did not reach the file (or `limit`).
    int WriteUntilRefused(int first, int limit) {
        const std::size_t boxes = m_boxes.size();
        int number = first;
        for (; number < limit && m_boxes.size() == boxes; ++number) {
            const std::string text = NumberedText(number);
            m_set.WriteLogLine(Record("10.1.1.1", text.c_str()));
        }
        return m_boxes.size() == boxes ? limit : number - 1;
    }

    // Whole lines compared without printing kilobytes of them.
    static void ExpectFileHolds(const std::string& path, const std::string& expected,
                                const char* what) {
        const std::string content = ReadWhole(path);
        EXPECT_TRUE(content == expected)
            << what << ": the file holds " << content.size() << " bytes, expected "
            << expected.size() << "; it ends with:\n"
            << content.substr(content.size() > 400 ? content.size() - 400 : 0);
    }

    void RunOnTinyDisk(const std::string& mountDir) {
        const std::string ballast = mountDir + "/ballast";
        WriteWhole(ballast, std::string(8192, 'b'));
        WriteSettings("[Marovind]\r\nLOG_DIR = " + mountDir + "/\r\n");
        m_set.OpenLogFiles();
        ASSERT_EQ(m_set.m_logFiles.size(), 1u);
        const std::string log = mountDir + "/syslog.log";
        const std::string report = "Disk full while accessing " + log + ".";

        const int refused = WriteUntilRefused(0, 400);
        ASSERT_LT(refused, 400) << "the disk never filled";
        ASSERT_GT(refused, 0);
        for (int number = 500; number < 520; ++number) { // every further line fails too, silently
            const std::string text = NumberedText(number);
            m_set.WriteLogLine(Record("10.1.1.1", text.c_str()));
        }
        EXPECT_EQ(m_boxes, std::vector<std::string>{report});
        ExpectFileHolds(log, Lines(0, refused), "earlier lines intact, no torn line");

        ASSERT_EQ(std::remove(ballast.c_str()), 0);
        const int again = WriteUntilRefused(1000, 1005);
        EXPECT_EQ(again, 1005) << "lines are written again once space is back";
        ExpectFileHolds(log, Lines(0, refused) + Lines(1000, 1005), "the failed lines left out");

        const int refusedAgain = WriteUntilRefused(2000, 2400);
        EXPECT_LT(refusedAgain, 2400);
        EXPECT_EQ(m_boxes, (std::vector<std::string>{report, report}))
            << "reported again after a write had succeeded";
        m_set.CloseLogFiles();
        EXPECT_EQ(ReadWhole(log),
                  Lines(0, refused) + Lines(1000, 1005) + Lines(2000, refusedAgain));
    }
};

bool CanUnshareMounts() {
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

// Runs this same test again in a private mount namespace, over a fresh tmpfs.
TEST_F(LogFileSetFullDiskTest, ReportedOnceAndWritingResumesWhenSpaceReturns) {
    if (const char* mountDir = std::getenv(kFullDiskEnv)) {
        RunOnTinyDisk(mountDir);
        return;
    }
    if (geteuid() != 0 || !CanUnshareMounts())
        GTEST_SKIP() << "no private mount namespace (needs root and unshare -m)";
    TempDir mountDir;
    ASSERT_TRUE(mountDir.IsValid());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromUtf8(kFullDiskEnv), QString::fromStdString(mountDir.Path()));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=16k tmpfs \"$1\" || exit 77; shift; exec \"$@\"");
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                 QStringLiteral("sh"), QString::fromStdString(mountDir.Path()),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=LogFileSetFullDiskTest.*")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const std::string output = child.readAll().toStdString();
    if (child.exitCode() == 77)
        GTEST_SKIP() << "tmpfs cannot be mounted here: " << output;
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}
#endif

#ifndef _WIN32
// A log directory that is renamed, emptied or removed while the set holds its files.
// Each step writes one line at a second of receive time and says where it must land.
TEST_F(LogFileSetTest, FollowsFilesThatVanishFromTheirPath) {
    const std::string logDir = InDir("logs") + "/";
    std::filesystem::create_directory(logDir);
    WriteSettings("[Marovind]\r\nLOG_DIR = " + logDir + "\r\n");
    m_set.OpenLogFiles();
    struct Step {
        std::time_t second;
        void (*change)(const std::string& dir);
        const char* text;
        const char* expectedIn; // file under logDir, or null when the line is dropped
        std::size_t boxes;
    };
    const Step steps[] = {
        {100, nullptr, "first", "syslog.log", 0},
        {100, [](const std::string& d) { std::filesystem::rename(d + "syslog.log", d + "old"); },
         "same second", "old", 0},
        {101, nullptr, "next second", "syslog.log", 0},
        {101, [](const std::string& d) { std::filesystem::remove(d + "syslog.log"); }, "deleted",
         nullptr, 0},
        {102, nullptr, "recreated", "syslog.log", 0},
        {103, [](const std::string& d) { std::filesystem::remove_all(d); }, "dir gone", nullptr, 1},
        {104, nullptr, "still gone", nullptr, 1},
        {105, [](const std::string& d) { std::filesystem::create_directory(d); }, "dir back",
         "syslog.log", 1},
        {105, nullptr, "after", "syslog.log", 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        if (step.change)
            step.change(logDir);
        SyslogRecord record = Record("10.1.1.1", step.text);
        record.receivedAt = step.second;
        m_set.WriteLogLine(record);
        EXPECT_EQ(m_boxes.size(), step.boxes);
        if (step.expectedIn) {
            EXPECT_NE(ReadWhole(logDir + step.expectedIn).find(step.text), std::string::npos);
        }
    }
    EXPECT_EQ(ReadWhole(logDir + "syslog.log"), "Dec 08 04:37:41 10.1.1.1 dir back\r\n"
                                                "Dec 08 04:37:41 10.1.1.1 after\r\n");
    ASSERT_FALSE(m_boxes.empty());
    EXPECT_EQ(m_boxes.front(), "Could not open file");
}
#endif

// Among entries of the same name the first in set order takes the lines; a sender whose
// address is a prefix of a listed one has no file.
TEST_F(LogFileSetTest, AddressFilesChosenByExactNameFirstEntryFirst) {
    WriteSettings("[Marovind]\r\nLOG_TYPE = 3\r\nLOG_DIR = " + g_programDir + "\r\n");
    WriteWhole(InDir("ipaddr.flt"), "10.1.1.10\r\n10.1.1.1\r\n10.1.1.10\r\n");
    m_set.OpenLogFiles();
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Could not open file"}); // the duplicate
    for (const char* address : {"10.1.1.1", "10.1.1.10", "10.1.1.100", "10.1.1"})
        m_set.WriteLogLine(Record(address, "m"));
    EXPECT_EQ(ReadWhole(InDir("10_1_1_1.log")), "Dec 08 04:37:41 10.1.1.1 m\r\n");
    EXPECT_EQ(ReadWhole(InDir("10_1_1_10.log")), "Dec 08 04:37:41 10.1.1.10 m\r\n");
    EXPECT_EQ(LogFilesIn(m_dir.Path()).size(), 2u);
}

#ifndef _WIN32
// More address files than the soft limit allows: the files beyond it are reported and
// descriptors are still left for what opens next. Raising the limit then lets them open.
TEST_F(LogFileSetTest, OpenFileLimitLeavesRoomAfterTheSetAndCanBeRaised) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    constexpr int kFiles = 300;
    if (saved.rlim_max < kFiles + 64)
        GTEST_SKIP() << "hard limit too low";
    std::string list;
    for (int i = 0; i < kFiles; ++i)
        list += "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "\n";
    WriteWhole(InDir("ipaddr.flt"), list);
    WriteSettings("[Marovind]\r\nLOG_TYPE = 3\r\nLOG_DIR = " + g_programDir + "\r\n");

    rlimit low = saved;
    low.rlim_cur = 128;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    m_set.OpenLogFiles();
    const std::size_t opened = m_set.m_logFiles.size();
    std::vector<int> after;
    for (int i = 0; i < DescriptorReserve::kDefaultCount; ++i)
        after.push_back(::open("/dev/null", O_RDONLY));
    m_set.CloseLogFiles();
    for (const int fd : after)
        if (fd >= 0)
            ::close(fd);
    RaiseOpenFileLimit();
    rlimit raised{};
    getrlimit(RLIMIT_NOFILE, &raised);
    m_set.OpenLogFiles();
    const std::size_t openedRaised = m_set.m_logFiles.size();
    m_set.CloseLogFiles();
    setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_GT(opened, 0u);
    EXPECT_LT(opened, std::size_t{kFiles});
    EXPECT_EQ(m_boxes.size(), kFiles - opened);
    EXPECT_EQ(std::count(after.begin(), after.end(), -1), 0) << "no descriptor left";
    EXPECT_EQ(raised.rlim_cur, saved.rlim_max);
    EXPECT_EQ(openedRaised, std::size_t{kFiles});
}
#endif

} // namespace
