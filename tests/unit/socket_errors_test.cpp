#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "core/platform/SocketErrors.h"

namespace {
struct CodeText {
    int code;
    const char* text;
};
} // namespace

TEST(SocketErrorsTest, TextsOfTheTable) {
    const CodeText cases[] = {
        {10000, "[0] No Error"},
        {10009, "[10009] Bad file number"},
        {10013, "[10013] Permission denied"},
        {10035, "[10035] Operation would block"},
        {10047, "[10047] Address family not supported by protocol family"},
        {10048, "[10048] Address already in use"},
        {10049, "[10049] Can't assign requested address"},
        {10059, "[10059] Too many references, can't splice"},
        {10065, "[10065] No Route to Host"},
        {10069, "[10069] Disc Quota Exceeded"},
        {10071, "[10071] Too many levels of remote in path"},
        {10091, "[10091] Network SubSystem is unavailable"},
        {10092, "[10092] WINSOCK DLL Version out of range"},
        {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {11004, "[11004] Valid name, no data record of requested type"},
    };
    for (const CodeText& c : cases)
        EXPECT_EQ(SocketErrorText(c.code), c.text) << c.code;
}

TEST(SocketErrorsTest, EveryTextStartsWithItsCode) {
    int count = 0;
    for (int code = 0; code < 12000; ++code) {
        const std::string text = SocketErrorText(code);
        if (text.empty())
            continue;
        ++count;
        const std::string bracket = "[" + std::to_string(code == 10000 ? 0 : code) + "] ";
        EXPECT_EQ(text.compare(0, bracket.size(), bracket), 0) << text;
        EXPECT_GT(text.size(), bracket.size()) << text;
    }
    EXPECT_EQ(count, 50);
}

TEST(SocketErrorsTest, CodesWithoutText) {
    for (int code : {0, 1, 10001, 10010, 10072, 10093, 10101, 11000, 11005, -1})
        EXPECT_EQ(SocketErrorText(code), "") << code;
}

TEST(SocketErrorsTest, MessageIsPrefixAndText) {
    EXPECT_EQ(SocketErrorMessage("Syslog: Couldn't bind socket 514: ", 10048, 0),
              "Syslog: Couldn't bind socket 514: [10048] Address already in use");
    // A code with a text never gets the system's wording as well.
    EXPECT_EQ(SocketErrorMessage("P: ", 10013, EACCES), "P: [10013] Permission denied");
    // No text and no system description: the prefix stands alone.
    EXPECT_EQ(SocketErrorMessage("Syslog: Couldn't create socket: ", 10093, 0),
              "Syslog: Couldn't create socket: ");
}

#ifndef _WIN32
TEST(SocketErrorsTest, ErrnoMapsByMeaning) {
    const struct {
        int systemError;
        int wsaCode;
    } cases[] = {
        {EADDRINUSE, 10048},      {EACCES, 10013},      {EADDRNOTAVAIL, 10049},
        {EINVAL, 10022},          {EMFILE, 10024},      {EWOULDBLOCK, 10035},
        {EAGAIN, 10035},          {ENOBUFS, 10055},     {EAFNOSUPPORT, 10047},
        {EBADF, 10009},           {ENOTSOCK, 10038},    {EMSGSIZE, 10040},
        {EPROTONOSUPPORT, 10043}, {ENETUNREACH, 10051}, {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065},    {EINTR, 10004},       {ESTALE, 10070},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WsaCodeFromSystemError(c.systemError), c.wsaCode) << c.systemError;
}

TEST(SocketErrorsTest, UnmappedErrorShowsTheSystemDescription) {
    const int code = WsaCodeFromSystemError(ENOENT);
    EXPECT_EQ(SocketErrorText(code), "");
    EXPECT_EQ(SocketErrorMessage("P: ", code, ENOENT), std::string("P: ") + std::strerror(ENOENT));
    // A number the system does not know either leaves the prefix alone.
    EXPECT_EQ(SocketErrorMessage("P: ", 9999, 9999), "P: ");
}
#else
TEST(SocketErrorsTest, WindowsCodesAreTheirOwn) {
    for (int code : {10013, 10048, 10049, 10093, 5})
        EXPECT_EQ(WsaCodeFromSystemError(code), code);
}

TEST(SocketErrorsTest, UnlistedWindowsErrorShowsTheSystemDescription) {
    // 5 is ERROR_ACCESS_DENIED, which an attach can report: no text of the table, so the
    // system's own wording follows the prefix, on the same line.
    const std::string message = SocketErrorMessage("P: ", 5, 5);
    ASSERT_GT(message.size(), 3u);
    EXPECT_EQ(message.substr(0, 3), "P: ");
    EXPECT_NE(message[3], '[') << message;
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
}
#endif
