#include "daemon/WindowsService.h"

#ifdef _WIN32
#include "core/platform/EventLoop.h"

#include <windows.h>

namespace {
char kServiceName[] = "marovindd";
const ServeFunction* g_serve = nullptr;
int g_status = 0;
SERVICE_STATUS_HANDLE g_handle = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 5000;
    SetServiceStatus(g_handle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        Report(SERVICE_STOP_PENDING);
        QuitEventLoop(); // posted to the service's own thread
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

// Runs on a thread of its own, which then owns the socket and its event loop.
void WINAPI ServiceMain(DWORD, char**) {
    g_handle = RegisterServiceCtrlHandlerExA(kServiceName, OnControl, nullptr);
    if (!g_handle)
        return;
    Report(SERVICE_START_PENDING);
    g_status = (*g_serve)([] { Report(SERVICE_RUNNING); });
    Report(SERVICE_STOPPED, static_cast<DWORD>(g_status));
}
} // namespace

bool RunAsWindowsService(const ServeFunction& serve, int& status) {
    g_serve = &serve;
    SERVICE_TABLE_ENTRYA table[] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
    // Fails at once (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) unless the manager started us.
    if (!StartServiceCtrlDispatcherA(table))
        return false;
    status = g_status;
    return true;
}
#else
bool RunAsWindowsService(const ServeFunction&, int&) {
    return false;
}
#endif
