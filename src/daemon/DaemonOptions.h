#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The command line of marovindd: [--dir DIR] [--port N] [--tcp-port N] [--tls-port N] [--help]
// [--version]; --create-certificate [--force] makes the TLS certificate and key in DIR instead
// of serving.
// Values may also follow an equals sign (--port=5514).
struct DaemonOptions {
    std::string directory; // empty: the program directory
    std::uint16_t port = 514;
    std::uint16_t tcpPort = 0; // 0: as TCP_PORT of the settings file says
    std::uint16_t tlsPort = 0; // 0: as TLS_PORT of the settings file says
    bool help = false;
    bool version = false;
    bool createCertificate = false; // make marovind-cert.pem and marovind-key.pem, then exit
    bool force = false;             // with createCertificate: replace existing files
    std::string error;              // why the command line was refused; empty when it was not
};

DaemonOptions ParseDaemonOptions(const std::vector<std::string>& arguments);

constexpr const char* kDaemonUsage =
    "usage: marovindd [--dir DIR] [--port N] [--tcp-port N] [--tls-port N] "
    "[--create-certificate [--force]] [--help] [--version]";
