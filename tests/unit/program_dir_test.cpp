#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/platform/DirectoryCheck.h"
#include "core/platform/MessageBox.h"
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

// Sets (or with nullopt removes) one environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_saved = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_saved); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(m_name, value ? value->c_str() : "");
#else
        if (value)
            setenv(m_name, value->c_str(), 1);
        else
            unsetenv(m_name);
#endif
    }
    const char* m_name;
    std::optional<std::string> m_saved;
};

class ChooseProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        m_previous = SetMessageBoxHandler([this](const std::string& text) {
            m_boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override { SetMessageBoxHandler(std::move(m_previous)); }

    std::string Dir(const std::string& relative) const {
        return std::filesystem::path(m_root.FilePath(relative)).make_preferred().string() +
               DirectorySeparator();
    }

    // A directory the user may not write to; as root a mode does not stop writes, so the
    // kernel's own read-only tree stands in.
    std::string ReadOnlyDir() {
        const std::string dir = Dir("installed");
        std::filesystem::create_directory(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_read |
                                              std::filesystem::perms::owner_exec);
        if (!IsDirectoryWritable(dir))
            return dir;
#ifdef __linux__
        return "/proc/";
#else
        return {};
#endif
    }

    TempDir m_root;
    std::vector<std::string> m_boxes;
    MessageBoxHandler m_previous;
};

TEST_F(ChooseProgramDirTest, AWritableExecutableDirectoryStaysTheProgramDirectory) {
    const std::string exeDir = m_root.Path() + DirectorySeparator();
    const std::string dataDir = Dir("data/marovind");
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), exeDir);
    EXPECT_FALSE(std::filesystem::exists(dataDir)) << "nothing is created for it";
    EXPECT_TRUE(std::filesystem::is_empty(m_root.Path())) << "the check leaves no file";
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ChooseProgramDirTest, AReadOnlyExecutableDirectoryGivesTheCreatedDataDirectory) {
    const std::string exeDir = ReadOnlyDir();
    if (exeDir.empty())
        GTEST_SKIP() << "no directory here that this user cannot write to";
    const std::string dataDir = Dir("home/.local/share/marovind");
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), dataDir);
    EXPECT_TRUE(std::filesystem::is_directory(dataDir));
    EXPECT_TRUE(m_boxes.empty());
    // A second start finds it in place.
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), dataDir);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ChooseProgramDirTest, AnInstalledCopyUsesTheDataDirectoryThoughItMayWriteItsFolder) {
    const std::string exeDir = m_root.Path() + DirectorySeparator();
    std::ofstream(exeDir + kInstalledMarker) << "installed\n";
    const std::string dataDir = Dir("local/Marovind");
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), dataDir);
    EXPECT_TRUE(std::filesystem::is_directory(dataDir));
    EXPECT_TRUE(m_boxes.empty());
    // A folder of that name is no marker: the installer writes a file.
    std::filesystem::remove(exeDir + kInstalledMarker);
    std::filesystem::create_directory(exeDir + kInstalledMarker);
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), exeDir);
}

TEST_F(ChooseProgramDirTest, AnUncreatableDataDirectoryIsNamedAndStillUsed) {
    const std::string exeDir = ReadOnlyDir();
    if (exeDir.empty())
        GTEST_SKIP() << "no directory here that this user cannot write to";
    std::ofstream(m_root.FilePath("file")) << "not a directory";
    const std::string dataDir = Dir("file/marovind");
    EXPECT_EQ(ChooseProgramDirectory(exeDir, dataDir), dataDir);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind("Cannot create the data directory " + dataDir + ": ", 0), 0u)
        << m_boxes[0];
}

TEST(UserDataDirectoryTest, FollowsTheEnvironment) {
#ifdef _WIN32
    {
        ScopedEnv local("LOCALAPPDATA", "C:\\Users\\op\\AppData\\Local");
        EXPECT_EQ(UserDataDirectory(), "C:\\Users\\op\\AppData\\Local\\Marovind\\");
    }
    ScopedEnv local("LOCALAPPDATA", std::nullopt);
    EXPECT_EQ(UserDataDirectory(), "");
#else
    const struct {
        std::optional<std::string> xdg, home;
        std::string expected;
    } cases[] = {
        {"/srv/data", "/home/op", "/srv/data/marovind/"},
        {"/srv/data/", "/home/op", "/srv/data/marovind/"},
        {std::nullopt, "/home/op", "/home/op/.local/share/marovind/"},
        {"", "/home/op", "/home/op/.local/share/marovind/"},
        {"relative/data", "/home/op", "/home/op/.local/share/marovind/"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(UserDataDirectory(), c.expected) << "XDG_DATA_HOME=" << c.xdg.value_or("(unset)")
                                                   << " HOME=" << c.home.value_or("(unset)");
    }
#endif
}

} // namespace
