#include <gtest/gtest.h>

#include <cstdio>

#include <winsock2.h> // before windows.h, which would bring the old Winsock

#include <windows.h>

// The Windows build of the window-less libraries has no Qt: socket notices come through the
// thread's message queue, which the tests pump themselves (platform/EventLoop.h).
int main(int argc, char** argv) {
    // A crash must fail the run at once instead of waiting for someone to close a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    // Started here as the program's start-up does, so every test may open sockets.
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(1, 1), &data); error != 0) {
        std::fprintf(stderr, "WSAStartup failed: %d\n", error);
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    WSACleanup();
    return result;
}
