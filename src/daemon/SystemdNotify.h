#pragma once

// Tells systemd that start-up is done ("READY=1") when NOTIFY_SOCKET names its socket;
// does nothing otherwise, and on Windows.
void NotifySystemdReady();
