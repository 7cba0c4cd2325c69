// The service role: the service main handed to the dispatcher.
#pragma once
#include "sys/child_process_win.h"
#include "sys/output_pipe_win.h"
#include "sys/win.h"

namespace vexlo {

void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
// Called once the dispatcher has returned: the dispatcher returns as soon as
// the service reports stopped, while the service main still logs its last
// lines and ends the process itself. Returning from the entry then would end
// the process under it, possibly while it holds the C runtime's locks.
void AwaitServiceMain();
// Watches the child until it has ended: drains its output meanwhile and,
// once a stop or shutdown has come, ends its process tree after the stop
// timeout. Then reads what output is left. Exposed for the benchmark, which
// passes a writer thread as the child.
void SuperviseChild(const ChildProcess& child, HANDLE job, OutputPipe& output);

}  // namespace vexlo
