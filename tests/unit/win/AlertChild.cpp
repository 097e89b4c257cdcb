#include "AlertChild.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include <windows.h>

#include <shellapi.h>

namespace {
std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

int WriteArguments(wchar_t** argv, int argc) {
    const std::wstring path = argv[2];
    std::FILE* out = _wfopen(path.c_str(), L"wb");
    std::FILE* in = _wfopen((path + L".in").c_str(), L"wb");
    if (!out || !in)
        return 2;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = Utf8(argv[i]);
        std::fwrite(argument.c_str(), 1, argument.size() + 1, out);
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) &&
           read > 0)
        std::fwrite(buffer, 1, read, in);
    std::fclose(out);
    std::fclose(in);
    return 0;
}
// Starts itself again to sleep a minute, writes that program's process id to `path`, then
// sleeps a minute too: a program that leaves a program of its own behind.
int StartGrandchild(const std::wstring& path) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --alert-child-sleep 60000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info))
        return 2;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return 2;
    std::fprintf(out, "%lu", static_cast<unsigned long>(info.dwProcessId));
    std::fclose(out);
    Sleep(60000);
    return 0;
}
} // namespace

bool RunAsAlertChild(int& status) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) {
        LocalFree(argv);
        return false;
    }
    bool ran = true;
    if (std::wcscmp(argv[1], L"--alert-child") == 0)
        status = WriteArguments(argv, argc);
    else if (std::wcscmp(argv[1], L"--alert-child-spawn") == 0)
        status = StartGrandchild(argv[2]);
    else if (std::wcscmp(argv[1], L"--alert-child-sleep") == 0)
        Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    else
        ran = false;
    LocalFree(argv);
    return ran;
}
