// The service role: the service main handed to the dispatcher.
#pragma once
#include "sys/win.h"

namespace vexlo {

void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
// Called once the dispatcher has returned: the dispatcher returns as soon as
// the service reports stopped, while the service main still logs its last
// lines and ends the process itself. Returning from the entry then would end
// the process under it, possibly while it holds the C runtime's locks.
void AwaitServiceMain();
// The output drain thread: reads the child's output pipe (it owns and closes
// the handle it is given) until the pipe ends, and discards what it reads.
DWORD WINAPI DrainOutput(void* pipe_read_end);

}  // namespace vexlo
