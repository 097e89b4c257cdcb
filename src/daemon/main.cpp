#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "core/forward/Forwarding.h"
#include "core/platform/EventLoop.h"
#include "core/platform/HostAddresses.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "core/transport/NetworkReception.h"
#include "core/transport/TcpReceiver.h"
#include "daemon/CertificateCommand.h"
#include "daemon/DaemonOptions.h"
#include "daemon/Server.h"
#include "daemon/StopSignals.h"
#include "daemon/SystemdNotify.h"
#include "daemon/WindowsService.h"

#ifndef _WIN32
#include <QCoreApplication>
#endif

namespace {
constexpr int kUsageError = 2;

void WriteLine(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// DIR as the program directory: a full path ending in the separator.
bool SetProgramDirectory(const std::string& directory) {
    if (directory.empty()) {
        g_programDir = ResolveProgramDirectory();
        return true;
    }
    std::error_code error;
    const auto path = std::filesystem::absolute(directory, error);
    if (error || !std::filesystem::is_directory(path, error))
        return false;
    g_programDir = path.string();
    if (g_programDir.back() != DirectorySeparator())
        g_programDir += DirectorySeparator();
    return true;
}

int Serve(const DaemonOptions& options, const std::function<void()>& ready) {
    Server server(WriteLine);
    server.OverrideTcpPort(options.tcpPort);
    server.OverrideTlsPort(options.tlsPort);
    const NetworkSettings network = server.CurrentNetworkSettings();
    for (const std::string& line : StartupLines(HostAddresses(network.ipv6), network.tcpPort,
                                                network.tlsPort, TlsStartupFingerprint(network)))
        WriteLine(line);
    // Network errors are counted; standard error hears of each kind at most once a minute.
    g_tcpReceiver.Errors().SetReporter([](const std::string& line) { WriteLine(line); });
    g_tlsReceiver.Errors().SetReporter([](const std::string& line) { WriteLine(line); });
    g_forwarding.SetReporter([](const std::string& line) { WriteLine(line); });
    if (server.Start(options.port) != Server::kStarted)
        return Server::kStartFailed;
    ready();
    StopSignals requests([] { QuitEventLoop(); }, [&server] { server.Reload(); });
    RunEventLoop();
    server.Stop();
    StopSignals::StoppedCleanly();
    return 0;
}
} // namespace

int main(int argc, char* argv[]) {
    const DaemonOptions options =
        ParseDaemonOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        WriteLine(std::string("marovindd: ") + options.error + "; " + kDaemonUsage);
        return kUsageError;
    }
    if (options.help || options.version) {
        std::printf("%s\n", options.help ? kDaemonUsage : kVersionText);
        return 0;
    }
#ifndef _WIN32
    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv); // the event loop; Qt sees no options
#endif
    // Every message the window program would show in a box is one line of standard error.
    SetMessageBoxHandler([](const std::string& text) {
        WriteLine(FlattenLineBreaks(text.c_str()));
        return IDOK;
    });
    if (!SetProgramDirectory(options.directory)) {
        WriteLine("marovindd: --dir: not a directory: " + options.directory + "; " + kDaemonUsage);
        return kUsageError;
    }
    if (options.createCertificate)
        return CreateCertificateCommand(options.force);
    const ServeFunction serve = [&options](const std::function<void()>& ready) {
        return Serve(options, ready);
    };
    int status = 0;
    if (RunAsWindowsService(serve, status))
        return status;
    return serve(NotifySystemdReady);
}
