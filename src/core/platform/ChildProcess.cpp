#include "core/platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1; // our end of the program's standard input, until all is handed on
    std::string pending;
    std::size_t sent = 0;
    bool ended = false;

    void CloseInput() {
        if (input >= 0)
            close(input);
        input = -1;
    }
    void SendPending() {
        while (input >= 0 && sent < pending.size()) {
            const ssize_t n = send(input, pending.data() + sent, pending.size() - sent,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n <= 0)
                break; // the program does not read it
            sent += static_cast<std::size_t>(n);
        }
        CloseInput();
    }
};

namespace {
// A spawn as exec would leave it: default signal handling and mask, a process group of its
// own (so the kill reaches what it starts), and no descriptor of ours but its input.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    explicit SpawnSetup(int inputFd) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                  POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};
} // namespace

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ChildProcess::~ChildProcess() {
    if (!m_impl->ended) {
        Kill();
        waitpid(m_impl->pid, nullptr, 0);
    }
    m_impl->CloseInput();
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  std::string input, std::string& error) {
    // A socket rather than a pipe: a send to a program that has gone fails, with no SIGPIPE.
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    shutdown(pair[0], SHUT_RD);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    auto impl = std::make_unique<Impl>();
    int status = 0;
    {
        SpawnSetup setup(pair[1]);
        status = posix_spawnp(&impl->pid, program.c_str(), &setup.actions, &setup.attributes,
                              argv.data(), environ);
    }
    close(pair[1]);
    impl->input = pair[0];
    if (status != 0) {
        impl->CloseInput();
        error = std::strerror(status);
        return nullptr;
    }
    impl->pending = std::move(input);
    impl->SendPending();
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

bool ChildProcess::Poll() {
    m_impl->SendPending();
    if (!m_impl->ended && waitpid(m_impl->pid, nullptr, WNOHANG) == m_impl->pid) {
        m_impl->ended = true;
        m_impl->CloseInput();
    }
    return m_impl->ended;
}

void ChildProcess::Kill() {
    if (!m_impl->ended)
        kill(-m_impl->pid, SIGKILL);
}
