#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/platform/ProgramDir.h"
#include "core/reception/AddressList.h"

namespace {

#ifdef _WIN32
constexpr const char* kTestProgram = "unit_tests.exe";
#else
constexpr const char* kTestProgram = "unit_tests";
#endif

TEST(ProgramDirTest, IsTheExecutablesDirectoryWithATrailingSeparator) {
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
#ifdef _WIN32
    EXPECT_EQ(dir.back(), '\\') << dir;
    EXPECT_EQ(dir.find('/'), std::string::npos) << "the platform's own form: " << dir;
#else
    EXPECT_EQ(dir.back(), '/') << dir;
#endif
    EXPECT_TRUE(std::filesystem::path(dir).is_absolute()) << dir;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + kTestProgram)) << dir;
}

// Start-up sets the program directory once; the program's files are named from it with
// nothing in between, wherever the current directory is.
TEST(ProgramDirTest, ProgramFilesAreFoundBesideTheExecutable) {
    const std::string saved = g_programDir;
    g_programDir = ProgramDirectory();
    EXPECT_EQ(SettingsPath(), g_programDir + "Marovind.ini");
    EXPECT_EQ(AddressListPath(), g_programDir + "ipaddr.flt");
    g_programDir = saved;
}

TEST(ProgramDirTest, DirectoryOfKeepsUpToTheLastSeparator) {
    const char s = DirectorySeparator();
    const std::string root(1, s);
    const std::pair<std::string, std::string> cases[] = {
        {root + "opt" + s + "marovind" + s + "marovind", root + "opt" + s + "marovind" + s},
        {root + "marovind", root},
        {"marovind", ""},
        {"", ""},
        {root + "dir" + s, root + "dir" + s},
    };
    for (const auto& [path, dir] : cases)
        EXPECT_EQ(DirectoryOf(path), dir) << path;
}

} // namespace
