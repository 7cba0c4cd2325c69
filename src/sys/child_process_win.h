// Starting and supervising the processes the launcher runs: the Java version
// run, the packed-runtime unpacker and the service's child. One start path for
// all of them, so that handle inheritance is decided in one place: a child
// inherits exactly the standard handles it is given and nothing else the
// launcher holds open (the log, the executable, other pipes).
#pragma once
#include <string>

#include "sys/handle_win.h"
#include "sys/wide.h"

namespace vexlo {

struct ChildProcessStart {
  // The program to run; null takes it from the first word of the command line.
  const wchar_t* application = nullptr;
  WideString command_line;
  // Standard handles for the child. With use_std_handles set, all three are
  // passed (null for "none") and each non-null one must be inheritable; it is
  // the only thing the child inherits.
  bool use_std_handles = false;
  HANDLE std_input = nullptr;
  HANDLE std_output = nullptr;
  HANDLE std_error = nullptr;
  bool hidden_window = false;
  // Priority class and flags such as DETACHED_PROCESS.
  DWORD creation_flags = 0;
  // A job the child joins before it runs its first instruction, so that
  // everything it starts belongs to the job too; null for none.
  HANDLE job = nullptr;
};

struct ChildProcess {
  UniqueHandle process;
  UniqueHandle thread;
  DWORD id = 0;
  // Why the child could not join the job (it runs all the same); 0 when it
  // did or was given none.
  DWORD job_error = 0;
};

// A job whose processes all end when its last handle closes, which is at the
// latest when the process holding it ends, however it ends. Null when the
// system refuses one, with *error set.
UniqueHandle CreateKillOnCloseJob(DWORD* error);

// Starts the process. False with *error set to the system error code when it
// could not be created; *child is then untouched.
bool StartChildProcess(const ChildProcessStart& start, ChildProcess* child, DWORD* error);

// Waits up to timeout_ms (INFINITE for no limit). True when the process ended.
bool WaitForChildProcess(const ChildProcess& child, DWORD timeout_ms);

// The exit code, STILL_ACTIVE (259) while it runs, `failed_value` when the
// system cannot tell.
DWORD ChildExitCode(const ChildProcess& child, DWORD failed_value);

void TerminateChildProcess(const ChildProcess& child, UINT exit_code);

}  // namespace vexlo
