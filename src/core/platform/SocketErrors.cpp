#include "core/platform/SocketErrors.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {
struct ErrorText {
    int code;
    const char* text;
};

// The program's string texts, keyed by Windows Sockets error code.
constexpr ErrorText kErrorTexts[] = {
    {10000, "[0] No Error"},
    {10004, "[10004] Interrupted system call"},
    {10009, "[10009] Bad file number"},
    {10013, "[10013] Permission denied"},
    {10014, "[10014] Bad address"},
    {10022, "[10022] Invalid argument"},
    {10024, "[10024] Too many open files"},
    {10035, "[10035] Operation would block"},
    {10036, "[10036] Operation now in progress"},
    {10037, "[10037] Operation already in progress"},
    {10038, "[10038] Socket operation on non-socket"},
    {10039, "[10039] Destination address required"},
    {10040, "[10040] Message too long"},
    {10041, "[10041] Protocol wrong type for socket"},
    {10042, "[10042] Bad protocol option"},
    {10043, "[10043] Protocol not supported"},
    {10044, "[10044] Socket type not supported"},
    {10045, "[10045] Operation not supported on socket"},
    {10046, "[10046] Protocol family not supported"},
    {10047, "[10047] Address family not supported by protocol family"},
    {10048, "[10048] Address already in use"},
    {10049, "[10049] Can't assign requested address"},
    {10050, "[10050] Network is down"},
    {10051, "[10051] Network is unreachable"},
    {10052, "[10052] Net dropped connection or reset"},
    {10053, "[10053] Software caused connection abort"},
    {10054, "[10054] Connection reset by peer"},
    {10055, "[10055] No buffer space available"},
    {10056, "[10056] Socket is already connected"},
    {10057, "[10057] Socket is not connected"},
    {10058, "[10058] Can't send after socket shutdown"},
    {10059, "[10059] Too many references, can't splice"},
    {10060, "[10060] Connection timed out"},
    {10061, "[10061] Connection refused"},
    {10062, "[10062] Too many levels of symbolic links"},
    {10063, "[10063] File name too long"},
    {10064, "[10064] Host is down"},
    {10065, "[10065] No Route to Host"},
    {10066, "[10066] Directory not empty"},
    {10067, "[10067] Too many processes"},
    {10068, "[10068] Too many users"},
    {10069, "[10069] Disc Quota Exceeded"},
    {10070, "[10070] Stale NFS file handle"},
    {10071, "[10071] Too many levels of remote in path"},
    {10091, "[10091] Network SubSystem is unavailable"},
    {10092, "[10092] WINSOCK DLL Version out of range"},
    {11001, "[11001] Host not found"},
    {11002, "[11002] Non-Authoritative Host not found"},
    {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
    {11004, "[11004] Valid name, no data record of requested type"},
};

#ifndef _WIN32
struct ErrnoMeaning {
    int systemError;
    int wsaCode;
};

// Windows Sockets codes are the Berkeley error numbers plus 10000, so each errno maps by
// its name. Some names share a value on some systems (EAGAIN and EWOULDBLOCK, ENOTSUP and
// EOPNOTSUPP); a table, unlike a switch, takes such duplicates as they come.
constexpr ErrnoMeaning kErrnoMeanings[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EPERM, 10013},           {EFAULT, 10014},       {EINVAL, 10022},
    {EMFILE, 10024},          {ENFILE, 10024},       {EWOULDBLOCK, 10035},
    {EAGAIN, 10035},          {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {ENOTSUP, 10045},
    {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},     {ENETUNREACH, 10051},
    {ENETRESET, 10052},       {ECONNABORTED, 10053}, {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},       {EISCONN, 10056},
    {ENOTCONN, 10057},        {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
#ifdef EPROCLIM
    {EPROCLIM, 10067},
#endif
    {EUSERS, 10068},          {EDQUOT, 10069},       {ESTALE, 10070},
    {EREMOTE, 10071},
};
#endif

// The system's own wording for an error, or empty when it has none.
std::string SystemDescription(int systemError) {
    if (systemError <= 0)
        return {};
#ifdef _WIN32
    char text[512] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(systemError), 0, text, sizeof text, nullptr);
    std::string description(text, length);
    // FormatMessage ends its texts with a line break that has no place after the prefix.
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r'))
        description.pop_back();
    return description;
#else
    const char* text = std::strerror(systemError);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0)
        return {};
    return text;
#endif
}
} // namespace

std::string SocketErrorText(int wsaCode) {
    const auto found = std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                                    [wsaCode](const ErrorText& e) { return e.code == wsaCode; });
    return found == std::end(kErrorTexts) ? std::string() : std::string(found->text);
}

int WsaCodeFromSystemError(int systemError) {
#ifdef _WIN32
    return systemError;
#else
    for (const ErrnoMeaning& meaning : kErrnoMeanings)
        if (meaning.systemError == systemError)
            return meaning.wsaCode;
    // No Windows Sockets meaning: keep the number, which then has no text of its own.
    return systemError;
#endif
}

std::string SocketErrorMessage(const std::string& prefix, int wsaCode, int systemError) {
    const std::string text = SocketErrorText(wsaCode);
    if (!text.empty())
        return prefix + text;
    return prefix + SystemDescription(systemError);
}
