#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/reception/AddressList.h"

namespace {

using Entries = std::vector<std::string>;

class AddressListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.IsValid()); }

    std::string ReadBytes() const {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const std::string& bytes) const {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }

    TempDir m_dir;
    const std::string m_path = m_dir.FilePath("ipaddr.flt");
};

TEST_F(AddressListTest, WritesEachNonEmptyLineOfTheBoxWithCrLf) {
    struct Case {
        const char* name;
        std::string box;
        std::string file;
    } const cases[] = {
        {"empty line skipped", "10.1.1.1\r\n\r\n10.1.1.2", "10.1.1.1\r\n10.1.1.2\r\n"},
        {"box ending in a line end", "10.1.1.1\r\n", "10.1.1.1\r\n"},
        {"empty box", "", ""},
        {"only line ends", "\r\n\r\n", ""},
        {"blanks kept verbatim", " 10.1.1.1\t\r\n10.1.1.2 ", " 10.1.1.1\t\r\n10.1.1.2 \r\n"},
        {"duplicates kept", "10.1.1.1\r\n10.1.1.1", "10.1.1.1\r\n10.1.1.1\r\n"},
        {"lone CR is part of the line", "a\rb\r\nc", "a\rb\r\nc\r\n"},
    };
    for (const Case& c : cases) {
        WriteBytes("left over from before\r\n");
        EXPECT_TRUE(WriteAddressList(m_path, c.box)) << c.name;
        EXPECT_EQ(ReadBytes(), c.file) << c.name;
    }
}

// What the dialog does on OK without a change: the lines read, rejoined with CR LF as the
// box shows them, written back.
TEST_F(AddressListTest, ReadingAndWritingBackKeepsTheBytes) {
    const std::string file = "10.1.1.1\r\n192.168.100.200\r\n10.0.0.1\r\n";
    WriteBytes(file);
    Entries lines;
    ASSERT_TRUE(ReadAddressList(m_path, /*keepEmpty=*/true, lines));
    EXPECT_EQ(lines, (Entries{"10.1.1.1", "192.168.100.200", "10.0.0.1"}));
    std::string box;
    for (const std::string& line : lines)
        box += line + "\r\n";
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(WriteAddressList(m_path, box));
        EXPECT_EQ(ReadBytes(), file) << "round " << round;
    }
    Entries again;
    ASSERT_TRUE(ReadAddressList(m_path, /*keepEmpty=*/false, again));
    EXPECT_EQ(again, lines);
}

TEST_F(AddressListTest, UnopenableFileIsLeftAlone) {
    const std::string inMissingDir = m_dir.FilePath("no-such-dir/ipaddr.flt");
    EXPECT_FALSE(WriteAddressList(inMissingDir, "10.1.1.1"));
    EXPECT_FALSE(std::filesystem::exists(inMissingDir));
    // A directory where the file should be cannot be opened for writing either.
    EXPECT_FALSE(WriteAddressList(m_dir.Path(), "10.1.1.1"));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path()));
}

} // namespace
