#include "core/platform/ChildProcess.h"

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

namespace {
std::wstring Wide(const std::string& text) {
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string reason = "[" + std::to_string(code) + "] " + text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return reason;
}

// The program inherits exactly its standard handles, none of the server's sockets.
struct InheritList {
    std::vector<char> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    HANDLE handles[3];
    DWORD count = 0;

    explicit InheritList(HANDLE input) {
        handles[count++] = input;
        for (DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
            HANDLE h = GetStdHandle(which);
            DWORD flags = 0;
            if (h && h != INVALID_HANDLE_VALUE && GetHandleInformation(h, &flags) &&
                (flags & HANDLE_FLAG_INHERIT))
                handles[count++] = h;
        }
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage.resize(size);
        list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size) ||
            !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                       count * sizeof(HANDLE), nullptr, nullptr))
            list = nullptr;
    }
    ~InheritList() {
        if (list)
            DeleteProcThreadAttributeList(list);
    }
};
} // namespace

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE job = nullptr;   // the program and whatever it starts; null where jobs are refused
    HANDLE input = nullptr; // our end of the program's standard input, until all is handed on
    std::string pending;
    std::size_t sent = 0;
    bool ended = false;

    void CloseInput() {
        if (input)
            CloseHandle(input);
        input = nullptr;
    }
    void SendPending() {
        while (input && sent < pending.size()) {
            DWORD written = 0;
            const DWORD chunk =
                static_cast<DWORD>((std::min<std::size_t>)(pending.size() - sent, 1 << 16));
            if (!WriteFile(input, pending.data() + sent, chunk, &written, nullptr))
                break; // the program does not read it
            if (written == 0)
                return; // the pipe is full (it does not wait): again on the next poll
            sent += written;
        }
        CloseInput();
    }
};

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ChildProcess::~ChildProcess() {
    if (!m_impl->ended)
        Kill();
    m_impl->CloseInput();
    if (m_impl->process)
        CloseHandle(m_impl->process);
    if (m_impl->job)
        CloseHandle(m_impl->job);
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  std::string input, std::string& error) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, static_cast<DWORD>(input.size() + 1))) {
        error = LastErrorText();
        return nullptr;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    DWORD noWait = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    SetNamedPipeHandleState(writeEnd, &noWait, nullptr, nullptr);

    InheritList inherited(readEnd);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = readEnd;
    startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.lpAttributeList = inherited.list;
    std::wstring commandLine = Wide(WindowsCommandLine(program, arguments));
    PROCESS_INFORMATION info = {};
    // Suspended until it is in its job, so that nothing it starts escapes a kill.
    const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT |
                        (inherited.list ? EXTENDED_STARTUPINFO_PRESENT : 0);
    // No application name: the quoted first word is searched for as Windows does.
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                                        nullptr, nullptr, &startup.StartupInfo, &info);
    if (!started)
        error = LastErrorText();
    CloseHandle(readEnd);
    if (!started) {
        CloseHandle(writeEnd);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->process = info.hProcess;
    impl->job = CreateJobObjectW(nullptr, nullptr);
    if (impl->job && !AssignProcessToJobObject(impl->job, info.hProcess)) {
        CloseHandle(impl->job);
        impl->job = nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    impl->input = writeEnd;
    impl->pending = std::move(input);
    impl->SendPending();
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

bool ChildProcess::Poll() {
    m_impl->SendPending();
    if (!m_impl->ended && WaitForSingleObject(m_impl->process, 0) == WAIT_OBJECT_0) {
        m_impl->ended = true;
        m_impl->CloseInput();
    }
    return m_impl->ended;
}

// The program and every program it started, as a process group is killed on Linux.
void ChildProcess::Kill() {
    if (m_impl->ended)
        return;
    if (!m_impl->job || !TerminateJobObject(m_impl->job, 1))
        TerminateProcess(m_impl->process, 1);
}
