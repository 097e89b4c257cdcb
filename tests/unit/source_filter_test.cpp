#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <list>
#include <random>
#include <string>

#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogSocket.h"
#include "core/settings/SettingsFile.h"

namespace {
void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each test gets its own program directory, put back afterwards.
class SourceFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("marovind-filter-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(std::filesystem::create_directory(m_dir));
        m_previousDir = g_programDir;
        g_programDir = m_dir.string() + DirectorySeparator();
    }
    void TearDown() override {
        g_programDir = m_previousDir;
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string Path(const char* name) const { return g_programDir + name; }
    void SetSecurity(const char* value) {
        WriteFile(Path("Marovind.ini"),
                  std::string("[Marovind]\r\nLOG_TYPE = 0\r\nLOG_SECURITY = ") + value + "\r\n");
    }
    void SetList(const std::string& bytes) { WriteFile(Path("ipaddr.flt"), bytes); }

    SyslogSocket listener;

private:
    std::filesystem::path m_dir;
    std::string m_previousDir;
};

struct ListCase {
    const char* name;
    std::string file;
    bool admits; // whether 10.1.1.1 is admitted
};
} // namespace

TEST_F(SourceFilterTest, LineRulesOfTheAddressList) {
    const ListCase cases[] = {
        {"line feed", "10.1.1.1\n", true},
        {"carriage return and line feed", "10.1.1.1\r\n", true},
        {"last line without line end", "10.2.2.2\r\n10.1.1.1", true},
        {"zero-filled", "010.001.001.001\r\n", false},
        {"trailing blank", "10.1.1.1 \r\n", false},
        {"leading blank", " 10.1.1.1\r\n", false},
        {"leading tab", "\t10.1.1.1\r\n", false},
        {"host name", "localhost\r\n", false},
        {"carriage returns alone", "10.2.2.2\r10.1.1.1\r", false},
        {"one address ending in a carriage return", "10.1.1.1\r", false},
        {"one address, carriage return before it", "10.2.2.2\r10.1.1.1", false},
        {"empty lines around", "\r\n\n10.1.1.1\r\n\r\n", true},
        {"zero byte ends the entry", std::string("10.1.1.1\0xyz\r\n", 14), true},
        {"zero byte first yields nothing",
         std::string("\0"
                     "10.1.1.1\r\n",
                     11),
         false},
        {"Ctrl-Z ends the file",
         "10.2.2.2\r\n\x1a"
         "10.1.1.1\r\n",
         false},
        {"address after a full piece", std::string(1022, 'x') + "10.1.1.1\r\n", true},
        {"empty file", "", false},
    };
    SetSecurity("true");
    for (const ListCase& c : cases) {
        SetList(c.file);
        listener.ReloadSourceFilter();
        EXPECT_TRUE(listener.m_filterOn) << c.name;
        EXPECT_EQ(listener.IsPermittedSource("10.1.1.1"), c.admits) << c.name;
    }
}

TEST_F(SourceFilterTest, EntriesKeepFileOrderAndDuplicates) {
    SetSecurity("true");
    SetList("10.1.1.1\r\n\r\n10.3.3.3\n10.1.1.1\r\n");
    listener.ReloadSourceFilter();
    const std::list<std::string> expected = {"10.1.1.1", "10.3.3.3", "10.1.1.1"};
    EXPECT_EQ(listener.m_permittedAddresses, expected);
    EXPECT_TRUE(listener.IsPermittedSource("10.3.3.3"));
    EXPECT_FALSE(listener.IsPermittedSource("10.3.3.33"));
    EXPECT_FALSE(listener.IsPermittedSource("10.3.3."));
    EXPECT_FALSE(listener.IsPermittedSource(""));
}

TEST_F(SourceFilterTest, LongLinesComeInPiecesOf1022Bytes) {
    SetSecurity("true");
    SetList(std::string(2500, 'a') + "\r\n" + std::string(1022, 'b') + "\r\n" + "tail");
    listener.ReloadSourceFilter();
    std::list<std::size_t> sizes;
    for (const std::string& entry : listener.m_permittedAddresses)
        sizes.push_back(entry.size());
    EXPECT_EQ(sizes, (std::list<std::size_t>{1022, 1022, 456, 1022, 4}));
}

TEST_F(SourceFilterTest, MissingListIsCreatedEmptyAndAdmitsNobody) {
    SetSecurity("true");
    ASSERT_FALSE(std::filesystem::exists(Path("ipaddr.flt")));
    listener.m_permittedAddresses = {"10.1.1.1"};
    listener.ReloadSourceFilter();
    EXPECT_TRUE(listener.m_filterOn);
    EXPECT_TRUE(listener.m_permittedAddresses.empty());
    EXPECT_FALSE(listener.IsPermittedSource("10.1.1.1"));
    ASSERT_TRUE(std::filesystem::exists(Path("ipaddr.flt")));
    EXPECT_EQ(std::filesystem::file_size(Path("ipaddr.flt")), 0u);
}

TEST_F(SourceFilterTest, AbsentKeyIsWrittenBackAsFalse) {
    for (const char* settings : {"", "[Marovind]\r\nLOG_TYPE = 2\r\n"}) {
        if (*settings)
            WriteFile(Path("Marovind.ini"), settings);
        listener.m_filterOn = true;
        listener.ReloadSourceFilter();
        EXPECT_FALSE(listener.m_filterOn);
        SettingsFile stored;
        stored.Load(Path("Marovind.ini"));
        bool value = true;
        EXPECT_TRUE(stored.GetBool("Marovind", "LOG_SECURITY", value)) << settings;
        EXPECT_FALSE(value);
        // With filtering off the address list is not even opened.
        EXPECT_FALSE(std::filesystem::exists(Path("ipaddr.flt")));
    }
    EXPECT_EQ(ReadFile(Path("Marovind.ini")),
              "[Marovind]\r\nLOG_SECURITY = false\r\nLOG_TYPE = 2\r\n");
}

TEST_F(SourceFilterTest, PresentKeyLeavesTheSettingsFileAlone) {
    SetSecurity("false");
    const std::string before = ReadFile(Path("Marovind.ini"));
    listener.ReloadSourceFilter();
    EXPECT_FALSE(listener.m_filterOn);
    EXPECT_EQ(ReadFile(Path("Marovind.ini")), before);
}

TEST_F(SourceFilterTest, SwitchingOffKeepsTheListAndOnRereadsIt) {
    SetSecurity("true");
    SetList("10.1.1.1\r\n");
    listener.ReloadSourceFilter();
    SetSecurity("false");
    SetList("10.4.4.4\r\n");
    listener.ReloadSourceFilter();
    EXPECT_FALSE(listener.m_filterOn);
    EXPECT_EQ(listener.m_permittedAddresses, std::list<std::string>{"10.1.1.1"});
    SetSecurity("true");
    listener.ReloadSourceFilter();
    EXPECT_EQ(listener.m_permittedAddresses, std::list<std::string>{"10.4.4.4"});
}

TEST_F(SourceFilterTest, ReloadLowersTheSuspendedFlag) {
    SetSecurity("true");
    EXPECT_EQ(listener.m_suspended, 1);
    listener.ReloadSourceFilter();
    EXPECT_EQ(listener.m_suspended, 0);
}

// A whole /16 network listed, with a duplicate and addresses that only share a prefix:
// admission stays exact text equality with a line.
TEST_F(SourceFilterTest, LargeListAdmitsExactlyItsLines) {
    SetSecurity("true");
    std::string list = "10.1.1.10\r\n10.1.1.10\r\n";
    for (int high = 0; high < 256; ++high)
        for (int low = 0; low < 256; ++low)
            list += "172.16." + std::to_string(high) + "." + std::to_string(low) + "\r\n";
    SetList(list);
    listener.ReloadSourceFilter();
    ASSERT_EQ(listener.m_permittedAddresses.size(), 65538u);
    const std::pair<const char*, bool> cases[] = {
        {"10.1.1.10", true},       {"10.1.1.1", false},
        {"10.1.1.100", false},     {"172.16.0.0", true},
        {"172.16.255.255", true},  {"172.16.25.5", true},
        {"172.16.256.0", false},   {"172.16.1", false},
        {"172.16.001.001", false}, {"", false},
    };
    for (const auto& [address, admitted] : cases)
        EXPECT_EQ(listener.IsPermittedSource(address), admitted) << address;

    listener.m_permittedAddresses = {"10.1.1.1"};
    EXPECT_TRUE(listener.IsPermittedSource("10.1.1.1"));
    EXPECT_FALSE(listener.IsPermittedSource("10.1.1.10"));
}
