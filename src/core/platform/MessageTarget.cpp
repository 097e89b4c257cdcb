#include "core/platform/MessageTarget.h"

namespace {
MessageTarget* g_mainWindow = nullptr;
}

MessageTarget* AfxGetMainWnd() { return g_mainWindow; }
void AfxSetMainWnd(MessageTarget* window) { g_mainWindow = window; }
