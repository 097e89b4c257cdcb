#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "core/platform/ShareFile.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShareFileTest : public ::testing::Test {
protected:
    std::string PathOf(const char* name) const { return m_dir.FilePath(name); }

    TempDir m_dir;
};

TEST_F(ShareFileTest, AppendCreatesAndNeverTruncates) {
    const std::string path = PathOf("a.log");
    std::ofstream(path, std::ios::binary) << "old\r\n";
    {
        ShareFile file;
        ASSERT_TRUE(file.OpenForAppend(path));
        ASSERT_TRUE(file.Write("one\r\n", 5));
    }
    ShareFile again;
    ASSERT_TRUE(again.OpenForAppend(path));
    ASSERT_TRUE(again.Write("two\r\n", 5));
    EXPECT_TRUE(again.Flush());
    again.Close();
    EXPECT_EQ(ReadWhole(path), "old\r\none\r\ntwo\r\n");

    ShareFile created;
    ASSERT_TRUE(created.OpenForAppend(PathOf("new.log")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("new.log")));
}

TEST_F(ShareFileTest, SecondWriterRefusedWhileReadersAreAllowed) {
    const std::string path = PathOf("shared.log");
    ShareFile writer;
    ASSERT_TRUE(writer.OpenForAppend(path));
    ASSERT_TRUE(writer.Write("line\r\n", 6));

    ShareFile second;
    EXPECT_FALSE(second.OpenForAppend(path));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.Error(), FileError::SharingViolation);
    EXPECT_EQ(second.ErrorText(), "A sharing violation occurred while accessing " + path + ".");

    ShareFile reader;
    ASSERT_TRUE(reader.OpenForRead(path));
    char buffer[16] = {};
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "line\r\n");
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0);

    writer.Close();
    EXPECT_TRUE(second.OpenForAppend(path)) << "closing must release the file";
}

TEST_F(ShareFileTest, OpenFailuresCarryTheirCause) {
    std::ofstream(PathOf("plain"), std::ios::binary) << "x";
    struct Case {
        std::string path;
        bool forRead;
        FileError error;
        std::string text;
    };
    const std::string missingDir = PathOf("missing/a.log");
    const std::string underFile = PathOf("plain/a.log");
    const std::string missing = PathOf("none.log");
    const std::string directory = m_dir.Path();
    const Case cases[] = {
        {missingDir, false, FileError::NotFound, missingDir + " was not found."},
        {underFile, false, FileError::NotFound, underFile + " was not found."},
        {missing, true, FileError::NotFound, missing + " was not found."},
#ifdef _WIN32
        // Windows refuses a directory opened as a file with "access denied".
        {directory, false, FileError::AccessDenied, "Access to " + directory + " was denied."},
#else
        {directory, false, FileError::Generic,
         "An unexpected error occurred while accessing " + directory + "."},
#endif
    };
    for (const Case& c : cases) {
        ShareFile file;
        const bool opened = c.forRead ? file.OpenForRead(c.path) : file.OpenForAppend(c.path);
        EXPECT_FALSE(opened) << c.path;
        EXPECT_EQ(file.Error(), c.error) << c.path;
        EXPECT_EQ(file.ErrorText(), c.text);
    }
}

TEST_F(ShareFileTest, RefusedCreationIsAccessDenied) {
#ifdef _WIN32
    // A read-only file would refuse writers there, but wine running as root lets them in;
    // a directory opened as a file (above) is the Windows case of "access denied".
    GTEST_SKIP() << "no place that refuses every writer, whoever runs the tests";
#else
    // sysfs refuses new files even to root, which ignores permission bits elsewhere.
    if (!std::filesystem::is_directory("/sys/kernel"))
        GTEST_SKIP() << "no /sys/kernel to refuse a new file";
    ShareFile file;
    EXPECT_FALSE(file.OpenForAppend("/sys/kernel/marovind.log"));
    EXPECT_EQ(file.ErrorText(), "Access to /sys/kernel/marovind.log was denied.");
#endif
}

TEST(FileErrorTextTest, EveryCauseNamesThePath) {
    const std::pair<FileError, std::string> cases[] = {
        {FileError::DiskFull, "Disk full while accessing C:\\x.log."},
        {FileError::AccessDenied, "Access to C:\\x.log was denied."},
        {FileError::SharingViolation, "A sharing violation occurred while accessing C:\\x.log."},
        {FileError::NotFound, "C:\\x.log was not found."},
        {FileError::Hardware, "A hardware I/O error was reported while accessing C:\\x.log."},
        {FileError::Generic, "An unexpected error occurred while accessing C:\\x.log."},
        {FileError::None, ""},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(FileErrorText(error, "C:\\x.log"), text);
}

TEST_F(ShareFileTest, WriterHoldsBytesUntilFlush) {
    const std::string path = PathOf("buffered.log");
    ShareFile file;
    ASSERT_TRUE(file.OpenForAppend(path));
    ArchiveWriter writer(file);
    ASSERT_TRUE(writer.Write("abc"));
    ASSERT_TRUE(writer.Write("def"));
    EXPECT_EQ(ReadWhole(path), "");
    EXPECT_EQ(writer.Pending(), 6u);
    ASSERT_TRUE(writer.Flush());
    EXPECT_EQ(writer.Pending(), 0u);
    EXPECT_EQ(ReadWhole(path), "abcdef");

    // Past the buffer's size: what was pending goes first, then the long piece.
    const std::string big(ArchiveWriter::kBufferSize + 10, 'z');
    ASSERT_TRUE(writer.Write("x"));
    ASSERT_TRUE(writer.Write(big));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadWhole(path), "abcdefx" + big);
}

TEST(ShareFileDeviceTest, FullDeviceIsDiskFullAndLeavesNothingPending) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no device that is always full";
#endif
    ShareFile file;
    if (!file.OpenForAppend("/dev/full"))
        GTEST_SKIP() << "/dev/full cannot be opened: " << file.ErrorText();
    ArchiveWriter writer(file);
    ASSERT_TRUE(writer.Write("line\r\n"));
    EXPECT_FALSE(writer.Flush());
    EXPECT_EQ(writer.Pending(), 0u);
    EXPECT_EQ(file.Error(), FileError::DiskFull);
    EXPECT_EQ(file.ErrorText(), "Disk full while accessing /dev/full.");
}

} // namespace
