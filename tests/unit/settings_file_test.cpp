#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/settings/SettingsFile.h"

namespace {

using Lines = std::vector<std::string>;
constexpr const char* kSection = "Marovind";

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.IsValid());
        m_path = m_dir.FilePath("Marovind.ini");
    }

    void WriteFile(const std::string& bytes) const {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    std::string ReadFile() const {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Loads `bytes` as the settings file.
    void LoadFrom(const std::string& bytes) {
        WriteFile(bytes);
        ASSERT_TRUE(m_settings.Load(m_path));
    }

    TempDir m_dir;
    std::string m_path;
    SettingsFile m_settings;
};

TEST_F(SettingsFileTest, MissingFileThenOneSetterGivesTwoLines) {
    ASSERT_TRUE(m_settings.Load(m_path));
    EXPECT_TRUE(m_settings.Lines().empty());
    EXPECT_TRUE(m_settings.SetInt(kSection, "LOG_TYPE", 0));
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "LOG_TYPE = 0"}));
    EXPECT_TRUE(m_settings.Save(m_path));
    EXPECT_EQ(ReadFile(), "[Marovind]\r\nLOG_TYPE = 0\r\n");
}

TEST_F(SettingsFileTest, FirstStartWritesFourLinesInThisOrder) {
    ASSERT_TRUE(m_settings.Load(m_path));
    m_settings.SetBool(kSection, "LOG_SECURITY", false);
    m_settings.SetString(kSection, "LOG_DIR", "/opt/marovind/");
    m_settings.SetInt(kSection, "LOG_TYPE", 0);
    m_settings.Save(m_path);
    EXPECT_EQ(ReadFile(), "[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = /opt/marovind/\r\n"
                          "LOG_SECURITY = false\r\n");
}

// Everything the class does not understand must survive a load and save untouched.
TEST_F(SettingsFileTest, UntouchedFileIsWrittenBackByteForByte) {
    const std::string bytes = "; a comment\r\n"
                              "text before any header\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "LOG_TYPE = 3\r\n"
                              "[marovind]\r\n"
                              "[Marovind]\r\n"
                              "LOG_TYPE=1\r\n"
                              "LOG_DIR = C:\\Logs\\ \t \r\n"
                              "  indented = value\r\n"
                              "with\rlone CR\r\n"
                              "[]\r\n" +
                              std::string(1021, 'L') + "\r\n";
    LoadFrom(bytes);
    for (int round = 0; round < 3; ++round) {
        m_settings.Save(m_path);
        EXPECT_EQ(ReadFile(), bytes) << "round " << round;
        ASSERT_TRUE(m_settings.Load(m_path));
        EXPECT_EQ(m_settings.Lines().size(), 13u);
    }
}

TEST_F(SettingsFileTest, LineEndsAreReadInTextModeAndWrittenAsCrLf) {
    struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\r\n", {"a\rb"}},
        {"a\r\r\n", {"a\r"}},
        {"a\r", {"a\r"}},
        {"a\r\nb\x1a"
         "c\r\nd\r\n",
         {"a", "b"}},
        {std::string("a\0b\r\nc\r\n", 8), {"a", "c"}},
        {std::string("\0x\r\n", 4), {""}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const auto& c : cases) {
        LoadFrom(c.bytes);
        EXPECT_EQ(m_settings.Lines(), c.lines);
    }
}

TEST_F(SettingsFileTest, LongLinesAreHeldIn1022BytePieces) {
    LoadFrom(std::string(1500, 'x') + "\r\n");
    EXPECT_EQ(m_settings.Lines(), (Lines{std::string(1022, 'x'), std::string(478, 'x')}));

    LoadFrom(std::string(1022, 'y') + "\r\nz\r\n");
    EXPECT_EQ(m_settings.Lines(), (Lines{std::string(1022, 'y'), "", "z"}));
}

TEST_F(SettingsFileTest, LoadReplacesTheHeldLines) {
    LoadFrom("[Marovind]\r\nLOG_TYPE = 1\r\n");
    std::filesystem::remove(m_path);
    ASSERT_TRUE(m_settings.Load(m_path));
    EXPECT_TRUE(m_settings.Lines().empty());
}

TEST_F(SettingsFileTest, OnlyTheExactHeaderIsTheSection) {
    struct {
        const char* header;
        bool found;
    } cases[] = {
        {"[Marovind]", true},   {"[marovind]", false},  {" [Marovind]", false},
        {"[Marovind] ", false}, {"[ Marovind]", false}, {"Marovind", false},
    };
    for (const auto& c : cases) {
        LoadFrom(std::string(c.header) + "\r\nLOG_TYPE = 2\r\n");
        int type = -7;
        EXPECT_EQ(m_settings.GetInt(kSection, "LOG_TYPE", type), c.found) << c.header;
        EXPECT_EQ(type, c.found ? 2 : -7) << c.header;
    }
}

TEST_F(SettingsFileTest, WhichLinesEndASection) {
    struct {
        const char* between;
        bool ends;
    } cases[] = {
        {"[x]", true},   {"[Other]", true}, {"[Marovind]", true}, {"[]", false}, {" [x]", false},
        {"[x] ", false}, {"[x", false},     {"x]", false},        {"", false},   {"; [x]", false},
    };
    for (const auto& c : cases) {
        LoadFrom(std::string("[Marovind]\r\n") + c.between + "\r\nLOG_TYPE = 2\r\n");
        int type = -7;
        EXPECT_EQ(m_settings.GetInt(kSection, "LOG_TYPE", type), !c.ends) << c.between;
    }
}

TEST_F(SettingsFileTest, LowerCaseHeaderGetsANewSectionAtTheEnd) {
    LoadFrom("[marovind]\r\nLOG_TYPE = 1\r\n");
    m_settings.SetInt(kSection, "LOG_TYPE", 2);
    EXPECT_EQ(m_settings.Lines(),
              (Lines{"[marovind]", "LOG_TYPE = 1", "[Marovind]", "LOG_TYPE = 2"}));
}

TEST_F(SettingsFileTest, OnlyKeySpaceEqualsSpaceIsAKeyLine) {
    struct {
        const char* line;
        bool found;
        const char* value;
    } cases[] = {
        {"LOG_DIR = C:\\x\\", true, "C:\\x\\"},
        {"LOG_DIR = ", true, ""},
        {"LOG_DIR =  padded  ", true, " padded  "},
        {"LOG_DIR = a = b", true, "a = b"},
        {"LOG_DIR=C:\\", false, ""},
        {"LOG_DIR  = C:\\", false, ""},
        {"LOG_DIR =C:\\", false, ""},
        {"LOG_DIR =", false, ""},
        {" LOG_DIR = C:\\", false, ""},
        {"log_dir = C:\\", false, ""},
        {"LOG_DIRX = C:\\", false, ""},
    };
    for (const auto& c : cases) {
        LoadFrom(std::string("[Marovind]\r\n") + c.line + "\r\n");
        std::string value = "unchanged";
        EXPECT_EQ(m_settings.GetString(kSection, "LOG_DIR", value), c.found) << c.line;
        EXPECT_EQ(value, c.found ? c.value : "unchanged") << c.line;
    }
}

TEST_F(SettingsFileTest, SetterLeavesNearMissLinesAndInsertsUnderTheHeader) {
    LoadFrom("[Marovind]\r\nLOG_TYPE=3\r\nLOG_TYPE  = 3\r\n");
    int type = -7;
    EXPECT_FALSE(m_settings.GetInt(kSection, "LOG_TYPE", type));
    EXPECT_EQ(type, -7);
    m_settings.SetInt(kSection, "LOG_TYPE", 1);
    EXPECT_EQ(m_settings.Lines(),
              (Lines{"[Marovind]", "LOG_TYPE = 1", "LOG_TYPE=3", "LOG_TYPE  = 3"}));
}

TEST_F(SettingsFileTest, KeysAreFoundOnlyInTheirOwnSection) {
    LoadFrom("LOG_DIR = before\r\n"
             "[Marovind]\r\n"
             "other = 1\r\n"
             "[Later]\r\n"
             "LOG_DIR = later\r\n");
    std::string dir = "unchanged";
    EXPECT_FALSE(m_settings.GetString(kSection, "LOG_DIR", dir));
    EXPECT_TRUE(m_settings.GetString("Later", "LOG_DIR", dir));
    EXPECT_EQ(dir, "later");
    EXPECT_FALSE(m_settings.GetString("Missing", "LOG_DIR", dir));

    m_settings.SetString(kSection, "LOG_DIR", "new");
    EXPECT_EQ(m_settings.Lines(), (Lines{"LOG_DIR = before", "[Marovind]", "LOG_DIR = new",
                                         "other = 1", "[Later]", "LOG_DIR = later"}));
}

TEST_F(SettingsFileTest, FirstOfDuplicatesWins) {
    LoadFrom("[Marovind]\r\n"
             "LOG_TYPE = 1\r\n"
             "LOG_TYPE = 2\r\n"
             "[Marovind]\r\n"
             "LOG_DIR = second\r\n");
    int type = 0;
    ASSERT_TRUE(m_settings.GetInt(kSection, "LOG_TYPE", type));
    EXPECT_EQ(type, 1);
    std::string dir;
    EXPECT_FALSE(m_settings.GetString(kSection, "LOG_DIR", dir));

    m_settings.SetInt(kSection, "LOG_TYPE", 3);
    m_settings.SetString(kSection, "LOG_DIR", "first");
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "LOG_DIR = first", "LOG_TYPE = 3",
                                         "LOG_TYPE = 2", "[Marovind]", "LOG_DIR = second"}));
}

TEST_F(SettingsFileTest, GetBoolLooksForTrueAnywhere) {
    struct {
        const char* value;
        bool expected;
    } cases[] = {
        {"true", true},   {"untrue", true}, {" true ", true}, {"truelove", true},
        {"false", false}, {"TRUE", false},  {"True", false},  {"1", false},
        {"yes", false},   {"", false},      {"tru e", false},
    };
    for (const auto& c : cases) {
        SettingsFile settings;
        settings.SetString(kSection, "LOG_SECURITY", c.value);
        bool on = !c.expected;
        EXPECT_TRUE(settings.GetBool(kSection, "LOG_SECURITY", on)) << c.value;
        EXPECT_EQ(on, c.expected) << c.value;
    }
}

TEST_F(SettingsFileTest, GetIntConvertsAsTheCLibraryDoes) {
    struct {
        const char* value;
        int expected;
    } cases[] = {
        {"0", 0},
        {"3", 3},
        {"2x", 2},
        {"x", 0},
        {"", 0},
        {" 7", 7},
        {"\t 7", 7},
        {"-3", -3},
        {"+4", 4},
        {"--4", 0},
        {"0012", 12},
        {"1 2", 1},
        {"2147483647", 2147483647},
        {"4294967297", 1},
    };
    for (const auto& c : cases) {
        SettingsFile settings;
        settings.SetString(kSection, "LOG_TYPE", c.value);
        int type = -99;
        EXPECT_TRUE(settings.GetInt(kSection, "LOG_TYPE", type)) << c.value;
        EXPECT_EQ(type, c.expected) << c.value;
    }
}

TEST_F(SettingsFileTest, SettersFormatTheirValues) {
    m_settings.SetInt(kSection, "A", -5);
    m_settings.SetBool(kSection, "B", true);
    m_settings.SetBool(kSection, "C", false);
    m_settings.SetString(kSection, "D", "");
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "D = ", "C = false", "B = true", "A = -5"}));

    // Replacing keeps the line where it is.
    m_settings.SetInt(kSection, "B", 7);
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "D = ", "C = false", "B = 7", "A = -5"}));
}

TEST_F(SettingsFileTest, NewSectionIsAppendedAfterExistingOnes) {
    LoadFrom("[Other]\r\nx = 1\r\n");
    m_settings.SetInt(kSection, "LOG_TYPE", 0);
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Other]", "x = 1", "[Marovind]", "LOG_TYPE = 0"}));
}

TEST_F(SettingsFileTest, NullSectionOrKeyChangesNothing) {
    LoadFrom("[Marovind]\r\nLOG_TYPE = 1\r\n");
    EXPECT_FALSE(m_settings.SetString(nullptr, "LOG_TYPE", "2"));
    EXPECT_FALSE(m_settings.SetInt(kSection, nullptr, 2));
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "LOG_TYPE = 1"}));
    std::string value;
    EXPECT_FALSE(m_settings.GetString(nullptr, "LOG_TYPE", value));
    EXPECT_FALSE(m_settings.GetString(kSection, nullptr, value));
}

TEST_F(SettingsFileTest, UnwritablePathIsSilentlyNotSaved) {
    m_settings.SetInt(kSection, "LOG_TYPE", 0);
    const std::string inMissingDir = m_dir.FilePath("no-such-dir/Marovind.ini");
    EXPECT_TRUE(m_settings.Save(inMissingDir));
    EXPECT_FALSE(std::filesystem::exists(inMissingDir));
    // A directory in the file's place cannot be written either, even as root.
    EXPECT_TRUE(m_settings.Save(m_dir.Path()));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path()));
    EXPECT_EQ(m_settings.Lines(), (Lines{"[Marovind]", "LOG_TYPE = 0"}));

    // An unreadable one (here: a directory) loads as empty.
    EXPECT_TRUE(m_settings.Load(m_dir.Path()));
    EXPECT_TRUE(m_settings.Lines().empty());
}

TEST_F(SettingsFileTest, InstancesShareNothingAndTheLastSaveWins) {
    SettingsFile first;
    SettingsFile second;
    first.Load(m_path);
    second.Load(m_path);
    first.SetInt(kSection, "LOG_TYPE", 1);
    second.SetInt(kSection, "LOG_TYPE", 2);
    first.Save(m_path);
    second.Save(m_path);
    EXPECT_EQ(ReadFile(), "[Marovind]\r\nLOG_TYPE = 2\r\n");
}

} // namespace
