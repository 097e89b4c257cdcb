#pragma once
#include <string>

#include "core/settings/NetworkSettings.h"

// Puts the network settings in force beside the running UDP listener, which goes on
// undisturbed: the socket for IPv6 senders, the TCP port and its longest message, and TLS.
// A socket that cannot be opened is named in its message; the rest still takes effect.
//
// TLS loads its certificate, key and client CA again each time, so a renewed certificate
// is used from the next handshake on; open connections go on. Files that cannot be loaded
// have one message naming the file and the reason: TLS stays off when it was off, and goes on
// with the files loaded before when it was on. A certificate that ends within 30 days is
// reported.
void ApplyNetworkSettings(const NetworkSettings& settings);

// The network settings of the settings file in the program directory.
NetworkSettings LoadProgramNetworkSettings();

// The SHA-256 fingerprint of the certificate TLS would use with these settings, for the
// start-up rows; empty when TLS is off or its files cannot be loaded.
std::string TlsStartupFingerprint(const NetworkSettings& settings);
