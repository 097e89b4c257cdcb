#include <gtest/gtest.h>

#include <string>

#include "core/export/RowExport.h"

namespace {

struct ExportCase {
    const char* name;
    ExportRow row;
    std::string csv;  // the row's line
    std::string json; // the row's object
};

void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.name;
}

class RowExportTable : public ::testing::TestWithParam<ExportCase> {};

TEST_P(RowExportTable, WritesBothFormats) {
    const ExportCase& c = GetParam();
    std::string csv, json;
    RowExport(ExportFormat::Csv).AppendRow(c.row, csv);
    RowExport(ExportFormat::JsonLines).AppendRow(c.row, json);
    EXPECT_EQ(csv, c.csv + "\r\n");
    EXPECT_EQ(json, c.json + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RowExportTable,
    ::testing::Values(
        ExportCase{
            "Rfc5424",
            {"Mar 05 09:05:03", "10.0.0.1", "auth.info", "1 2003-10-11T22:14:15Z h a 7 m - x"},
            "Mar 05 09:05:03,10.0.0.1,auth,info,2003-10-11T22:14:15Z,h,a,7,m,,x,"
            "1 2003-10-11T22:14:15Z h a 7 m - x",
            R"({"received":"Mar 05 09:05:03","address":"10.0.0.1","facility":"auth",)"
            R"("severity":"info","sent":"2003-10-11T22:14:15Z","host":"h","app":"a",)"
            R"("pid":"7","msgid":"m","sd":null,"message":"x",)"
            R"("raw":"1 2003-10-11T22:14:15Z h a 7 m - x"})"},
        // Quotes, commas and backslashes; a facility without a name.
        ExportCase{"Quoting",
                   {"t", "::1", ".err", R"(1 - - - - - [a b="\"c\\"] say "hi", ok)"},
                   R"(t,::1,,err,,,,,,"[a b=""\""c\\""]","say ""hi"", ok",)"
                   R"("1 - - - - - [a b=""\""c\\""] say ""hi"", ok")",
                   R"({"received":"t","address":"::1","facility":null,"severity":"err",)"
                   R"("sent":null,"host":null,"app":null,"pid":null,"msgid":null,)"
                   R"("sd":"[a b=\"\\\"c\\\\\"]","message":"say \"hi\", ok",)"
                   R"("raw":"1 - - - - - [a b=\"\\\"c\\\\\"] say \"hi\", ok"})"},
        // Bytes that are not UTF-8 become the Latin-1 characters the list shows; control
        // characters are escaped in JSON; no header leaves every field empty.
        ExportCase{"Bytes",
                   {"t", "a", "user.info", "caf\xE9 \xC3\xA9\x01\t"},
                   "t,a,user,info,,,,,,,caf\xC3\xA9 \xC3\xA9\x01\t,caf\xC3\xA9 \xC3\xA9\x01\t",
                   "{\"received\":\"t\",\"address\":\"a\",\"facility\":\"user\",\"severity\":"
                   "\"info\",\"sent\":null,\"host\":null,\"app\":null,\"pid\":null,\"msgid\":"
                   "null,\"sd\":null,\"message\":\"caf\xC3\xA9 \xC3\xA9\\u0001\\u0009\",\"raw\":"
                   "\"caf\xC3\xA9 \xC3\xA9\\u0001\\u0009\"}"},
        ExportCase{"EmptyMessage",
                   {"t", "a", "user.info", ""},
                   "t,a,user,info,,,,,,,,",
                   R"({"received":"t","address":"a","facility":"user","severity":"info",)"
                   R"("sent":null,"host":null,"app":null,"pid":null,"msgid":null,"sd":null,)"
                   R"("message":"","raw":""})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowExport, CsvHeaderNamesEveryValue) {
    EXPECT_EQ(RowExport(ExportFormat::Csv).Header(),
              "received,address,facility,severity,sent,host,app,pid,msgid,sd,message,raw\r\n");
    EXPECT_EQ(RowExport(ExportFormat::JsonLines).Header(), "");
}

} // namespace
