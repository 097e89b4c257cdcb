#pragma once
#include "core/settings/NetworkSettings.h"

// Puts the network settings in force beside the running UDP listener, which goes on
// undisturbed: the socket for IPv6 senders, the TCP port and its longest message. A socket
// that cannot be opened is named in its message; the rest still takes effect.
void ApplyNetworkSettings(const NetworkSettings& settings);

// The network settings of the settings file in the program directory.
NetworkSettings LoadProgramNetworkSettings();
