#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "core/platform/DirectoryCheck.h"
#include "core/platform/ProgramDir.h"

namespace fs = std::filesystem;

namespace {

class DirectoryCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("directory_check_" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_dir / "locked", fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
    }

    std::string Dir() const { return m_dir.string(); }
    std::string DirWithSeparator() const { return Dir() + DirectorySeparator(); }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path m_dir;
};

TEST_F(DirectoryCheckTest, WritableDirectoryPassesAndKeepsNothing) {
    for (const std::string& dir : {Dir(), DirWithSeparator()}) {
        EXPECT_TRUE(IsDirectoryWritable(dir)) << dir;
        EXPECT_TRUE(Entries().empty()) << dir;
    }
}

TEST_F(DirectoryCheckTest, ExistingFilesAreLeftAlone) {
    std::ofstream(m_dir / "NEW0000.TMP") << "keep";
    std::ofstream(m_dir / "syslog.log") << "keep";
    EXPECT_TRUE(IsDirectoryWritable(Dir()));
    EXPECT_EQ(Entries(), (std::set<std::string>{"NEW0000.TMP", "syslog.log"}));
    EXPECT_EQ(fs::file_size(m_dir / "NEW0000.TMP"), 4u);
}

TEST_F(DirectoryCheckTest, UnwritablePlacesFail) {
    const std::string file = (m_dir / "plain.txt").string();
    std::ofstream(file) << "x";
    struct Case {
        const char* what;
        std::string directory;
    };
    std::vector<Case> cases = {
        {"missing directory", DirWithSeparator() + "missing"},
        {"path below a regular file", file + DirectorySeparator() + "sub"},
        {"a regular file", file},
    };
#ifdef __linux__
    // Refused even to root, which ignores a directory's missing write permission.
    cases.push_back({"procfs", "/proc/"});
    cases.push_back({"sysfs", "/sys"});
#endif
    for (const Case& c : cases) {
        EXPECT_FALSE(IsDirectoryWritable(c.directory)) << c.what;
        EXPECT_TRUE(CreateUniqueFile(c.directory, "NEW").empty()) << c.what;
    }
    EXPECT_EQ(Entries(), (std::set<std::string>{"plain.txt"}));
}

#ifndef _WIN32
TEST_F(DirectoryCheckTest, DirectoryWithoutWritePermissionFails) {
    const fs::path locked = m_dir / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const bool permissionsApply = !std::ofstream(locked / "probe").is_open();
    if (!permissionsApply)
        GTEST_SKIP() << "running with privileges that ignore directory permissions";
    EXPECT_FALSE(IsDirectoryWritable(locked.string()));
}
#endif

TEST_F(DirectoryCheckTest, UniqueFileIsCreatedWithPrefixAndFreshName) {
    const std::string first = CreateUniqueFile(Dir(), "NEW");
    const std::string second = CreateUniqueFile(DirWithSeparator(), "NEWER");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    // "NEW", up to four hexadecimal digits, ".TMP". Windows writes the number without
    // leading zeros, ".tmp" and its digits in either case (file names there ignore case).
    auto wellFormed = [](std::string name) {
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const std::size_t digitsEnd = name.find_first_not_of("0123456789ABCDEF", 3);
        return name.starts_with("NEW") && digitsEnd > 3 && digitsEnd <= 7 &&
               name.substr(digitsEnd) == ".TMP";
    };
    for (const std::string& path : {first, second}) {
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
        EXPECT_TRUE(fs::equivalent(fs::path(path).parent_path(), m_dir)) << path;
        EXPECT_TRUE(wellFormed(fs::path(path).filename().string())) << path;
    }
}

} // namespace
