#include <gtest/gtest.h>

#include <cstdio>

#include "AlertChild.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/SocketErrors.h"

#include <windows.h> // after our headers: it defines macros named like some of their members

// The Windows build of the window-less libraries has no Qt: socket notices come through the
// thread's message queue, which the tests pump themselves (core/platform/EventLoop.h).
int main(int argc, char** argv) {
    int childStatus = 0;
    if (RunAsAlertChild(childStatus))
        return childStatus;
    // A crash must fail the run at once instead of waiting for someone to close a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    // Windows Sockets 1.1, started here as the program's start-up does, so every test may
    // open sockets.
    if (!Sockets::Startup()) {
        std::fprintf(stderr, "Windows sockets initialization failed: %s\n",
                     SocketErrorText(CAsyncSocket::GetLastError()).c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
