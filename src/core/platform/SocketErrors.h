#pragma once
#include <string>

// The program's socket error texts: "[10048] Address already in use" for code 10048,
// and so on; empty when the code has no text.
std::string SocketErrorText(int wsaCode);

// The Windows Sockets code that means the same as an operating system error number
// (EADDRINUSE gives 10048, EACCES 10013); on Windows the code itself.
int WsaCodeFromSystemError(int systemError);

// The prefix followed by the code's text; when the code has none, the prefix followed by
// the system's own description where one exists.
std::string SocketErrorMessage(const std::string& prefix, int wsaCode, int systemError);
