#pragma once
#include <memory>
#include <string>
#include <vector>

// A program started directly, never through a shell, so no text in its arguments is read
// as a command: execve's argument vector on Linux, CreateProcess with a command line quoted
// for the C runtime's reading on Windows. It gets `input` on its standard input, which is
// then closed, and shares the server's standard output and error. Nothing here ever waits:
// the owner calls Poll from time to time.
class ChildProcess {
public:
    ~ChildProcess(); // kills a program still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Null with the reason in `error` when the program cannot be started.
    static std::unique_ptr<ChildProcess> Start(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               std::string input, std::string& error);

    // Hands on more of the input if the program has taken some; true once it has ended.
    bool Poll();
    void Kill();

    struct Impl;

private:
    explicit ChildProcess(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The Windows command line of `program` and `arguments`: each quoted where needed so that
// CommandLineToArgvW and the C runtime read back exactly these texts.
std::string WindowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments);
