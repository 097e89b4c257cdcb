#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/platform/TextModeReader.h"
#include "core/reception/AddressList.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What one read gave, with the stream's flags right after it.
struct Read {
    bool ok;
    std::string piece;
    bool eof;
    bool failed;

    bool operator==(const Read&) const = default;
};

void PrintTo(const Read& r, std::ostream* os) {
    *os << "{" << (r.ok ? "ok" : "none") << ", " << r.piece.size() << " bytes \""
        << r.piece.substr(0, 20) << "\"" << (r.eof ? ", eof" : "") << (r.failed ? ", fail" : "")
        << "}";
}

// Reads the way the address list reader does: until the stream reports end or failure.
std::vector<Read> ReadAll(const std::string& path) {
    TextModeReader reader;
    std::vector<Read> reads;
    if (!reader.Open(path))
        return reads;
    while (!reader.Eof() && !reader.Failed() && reads.size() < 100) {
        Read r;
        r.ok = reader.ReadPiece(r.piece);
        r.eof = reader.Eof();
        r.failed = reader.Failed();
        reads.push_back(r);
    }
    return reads;
}

Read Line(std::string piece) {
    return {true, std::move(piece), false, false};
}
Read LastLine(std::string piece) {
    return {true, std::move(piece), true, false};
}
const Read kNothing{false, "", true, true};

struct ReaderCase {
    const char* name;
    std::string bytes;
    std::vector<Read> reads;
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

class TextModeReads : public ::testing::TestWithParam<ReaderCase> {
protected:
    TempDir m_dir;
};

TEST_P(TextModeReads, AsFgetsInTextMode) {
    ASSERT_TRUE(m_dir.IsValid());
    const std::string path = m_dir.FilePath("input.txt");
    WriteBytes(path, GetParam().bytes);
    EXPECT_EQ(ReadAll(path), GetParam().reads);
}

const std::string k1021(1021, 'a');
const std::string k1022(1022, 'b');

INSTANTIATE_TEST_SUITE_P(
    Cases, TextModeReads,
    ::testing::Values(
        ReaderCase{"empty file", "", {kNothing}},
        ReaderCase{"LF ends", "a\nb\n", {Line("a"), Line("b"), kNothing}},
        ReaderCase{"CR LF ends", "a\r\nb\r\n", {Line("a"), Line("b"), kNothing}},
        ReaderCase{"last line without end", "a\nb", {Line("a"), LastLine("b")}},
        ReaderCase{"empty lines kept", "\n\r\n\n", {Line(""), Line(""), Line(""), kNothing}},
        ReaderCase{"lone CR kept", "a\rb\n", {Line("a\rb"), kNothing}},
        ReaderCase{"CR only line ends", "a\rb\rc\r", {LastLine("a\rb\rc\r")}},
        ReaderCase{"CR at the end of the file", "a\r", {LastLine("a\r")}},
        ReaderCase{"CR CR LF", "a\r\r\nb", {Line("a\r"), LastLine("b")}},
        ReaderCase{"CR CR CR LF", "\r\r\r\n", {Line("\r\r"), kNothing}},
        ReaderCase{"LF CR", "a\n\rb", {Line("a"), LastLine("\rb")}},
        ReaderCase{"Ctrl-Z ends the file",
                   "a\nb\x1a"
                   "c\nd\n",
                   {Line("a"), LastLine("b")}},
        ReaderCase{"Ctrl-Z first",
                   "\x1a"
                   "abc\n",
                   {kNothing}},
        ReaderCase{"Ctrl-Z after LF",
                   "a\n\x1a"
                   "b",
                   {Line("a"), kNothing}},
        ReaderCase{"CR then Ctrl-Z", "a\r\x1a\n", {LastLine("a\r")}},
        ReaderCase{"zero byte ends the text",
                   std::string("ab\0cd\nef\n", 9),
                   {Line("ab"), Line("ef"), kNothing}},
        ReaderCase{"zero byte first", std::string("\0x\ny", 4), {Line(""), LastLine("y")}},
        ReaderCase{"1021 bytes and LF", k1021 + "\n", {Line(k1021), kNothing}},
        ReaderCase{"1021 bytes and CR LF", k1021 + "\r\nz", {Line(k1021), LastLine("z")}},
        ReaderCase{"exactly 1022 bytes", k1022 + "\n", {Line(k1022), Line(""), kNothing}},
        ReaderCase{"exactly 1022 bytes, CR LF", k1022 + "\r\n", {Line(k1022), Line(""), kNothing}},
        ReaderCase{"exactly 1022 bytes at the end", k1022, {Line(k1022), kNothing}},
        ReaderCase{"2500 bytes",
                   std::string(2500, 'c'),
                   {Line(std::string(1022, 'c')), Line(std::string(1022, 'c')),
                    LastLine(std::string(456, 'c'))}},
        // The bytes after a zero still count toward the read's limit.
        ReaderCase{"zero byte inside a long line",
                   std::string(1000, 'd') + '\0' + std::string(100, 'e') + "\n",
                   {Line(std::string(1000, 'd')), Line(std::string(79, 'e')), kNothing}}));

class TextModeReaderFile : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_dir.FilePath(name); }
    TempDir m_dir;
};

TEST_F(TextModeReaderFile, MissingFileIsNotCreatedUnlessAsked) {
    TextModeReader reader;
    EXPECT_FALSE(reader.Open(Path("missing.txt")));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(Path("missing.txt")));

    std::string piece = "stale";
    EXPECT_FALSE(reader.ReadPiece(piece));
    EXPECT_TRUE(piece.empty());
    EXPECT_TRUE(reader.Eof());
    EXPECT_TRUE(reader.Failed());
}

TEST_F(TextModeReaderFile, CreateIfMissingMakesAnEmptyFile) {
    TextModeReader reader;
    ASSERT_TRUE(reader.Open(Path("new.flt"), true));
    EXPECT_TRUE(std::filesystem::exists(Path("new.flt")));
    EXPECT_EQ(std::filesystem::file_size(Path("new.flt")), 0u);
    std::string piece;
    EXPECT_FALSE(reader.ReadPiece(piece));
    EXPECT_TRUE(reader.Eof());
    EXPECT_TRUE(reader.Failed());
}

TEST_F(TextModeReaderFile, CreateIfMissingKeepsAnExistingFile) {
    WriteBytes(Path("old.flt"), "10.1.1.1\r\n");
    TextModeReader reader;
    ASSERT_TRUE(reader.Open(Path("old.flt"), true));
    std::string piece;
    EXPECT_TRUE(reader.ReadPiece(piece));
    EXPECT_EQ(piece, "10.1.1.1");
}

TEST_F(TextModeReaderFile, CreateFailsInAMissingDirectory) {
    TextModeReader reader;
    EXPECT_FALSE(reader.Open(Path("no-such-dir/ipaddr.flt"), true));
}

TEST_F(TextModeReaderFile, ReopeningClearsTheFlags) {
    WriteBytes(Path("a.txt"), "x");
    TextModeReader reader;
    ASSERT_TRUE(reader.Open(Path("a.txt")));
    std::string piece;
    reader.ReadPiece(piece);
    reader.ReadPiece(piece);
    ASSERT_TRUE(reader.Failed());
    ASSERT_TRUE(reader.Open(Path("a.txt")));
    EXPECT_FALSE(reader.Eof());
    EXPECT_FALSE(reader.Failed());
    EXPECT_TRUE(reader.ReadPiece(piece));
    EXPECT_EQ(piece, "x");
}

TEST_F(TextModeReaderFile, AddressListTakesEveryPieceAndSkipsEmptyOnes) {
    const std::string path = Path("ipaddr.flt");
    WriteBytes(path, "10.1.1.1\r\n\r\n 10.1.1.2\n10.1.1.1\n" + k1022 + "\n10.1.1.3");
    std::vector<std::string> entries{"left over"};
    ASSERT_TRUE(ReadAddressList(path, false, entries));
    EXPECT_EQ(entries,
              (std::vector<std::string>{"10.1.1.1", " 10.1.1.2", "10.1.1.1", k1022, "10.1.1.3"}));

    ASSERT_TRUE(ReadAddressList(path, true, entries));
    EXPECT_EQ(entries, (std::vector<std::string>{"10.1.1.1", "", " 10.1.1.2", "10.1.1.1", k1022, "",
                                                 "10.1.1.3"}));
}

TEST_F(TextModeReaderFile, AddressListCreatesAMissingFile) {
    std::vector<std::string> entries{"left over"};
    ASSERT_TRUE(ReadAddressList(Path("ipaddr.flt"), false, entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(std::filesystem::exists(Path("ipaddr.flt")));

    EXPECT_FALSE(ReadAddressList(Path("no-such-dir/ipaddr.flt"), false, entries));
    EXPECT_TRUE(entries.empty());
}

} // namespace
