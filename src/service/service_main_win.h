// The service role: the service main handed to the dispatcher and the console
// control handler shared with the child.
#pragma once
#include "core/win.h"

namespace vexlo {

void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
BOOL WINAPI ConsoleCtrlHandler(DWORD event);

}  // namespace vexlo
