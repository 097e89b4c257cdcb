#pragma once
#include <functional>

// Windows: when the service control manager started the program, runs `serve` as the
// service (reported running once `serve` calls its ready function, stopped on the stop
// request) and gives true with `serve`'s status; false at once when the program was started
// from a console or elsewhere. Always false on other platforms.
using ServeFunction = std::function<int(const std::function<void()>& ready)>;
bool RunAsWindowsService(const ServeFunction& serve, int& status);
