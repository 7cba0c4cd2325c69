// The console control handler of the child, which the service process
// registers as well: neither may end on a console event (a logoff or a
// Ctrl+C reaching a detached process), only on the stop line or its own end.
#pragma once
#include "sys/win.h"

namespace vexlo {

// Logs the event and returns TRUE, so the default handler never runs.
BOOL WINAPI ConsoleCtrlHandler(DWORD event);

}  // namespace vexlo
