// The service process: it runs the application in a child copy of this
// executable (restart marker last), relays stop and shutdown through the
// child's standard input, drains the child's output and reports the service
// state. Two threads share it: the dispatcher (control handler) and the
// service main, which drains the output in the same wait as it watches the
// child and the stop (under Wine every thread costs about 1 MB resident). The
// status record and the stop pipe are only touched under g_lock, and every
// change is reported before the lock is released, so a report can never undo
// a newer state.
//
// The child and everything it starts run in a job that ends them all when
// this process ends, however it ends. A stop waits for the child at most the
// stop timeout, with progress reported meanwhile, and then ends the job: no
// stop can hang, and no child outlives its supervisor. Once the child and
// every process of its job have ended, the service main removes the child's
// temporary folder, whose path it chose and handed to the child.
#include "service/service_main_win.h"

#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "core/args.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/temp_dir_win.h"
#include "launch/console_handler_win.h"
#include "service/service_log.h"
#include "service/service_log_win.h"
#include "service/supervision.h"
#include "sys/child_process_win.h"
#include "sys/handle_win.h"
#include "sys/output_pipe_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

constexpr size_t kMaxServiceName = 8191;
// The exit code of a child whose process tree the supervisor ended.
constexpr DWORD kEndedByStopTimeout = ERROR_TIMEOUT;
// The processes of an ended job are gone at once; this only bounds the wait
// for a system that does not say so.
constexpr DWORD kTreeEndWaitMs = 5000;
// How long the output of an ended child is read on: processes it started
// may hold its output open.
constexpr DWORD kOutputTailMs = 1000;
// Reads of available output between two looks at the child and the stop.
constexpr int kReadsPerWake = 16;
// How long the dispatcher's thread waits for a service main that has reported
// stopped to end the process; it only logs and closes handles by then.
constexpr DWORD kServiceMainFinishMs = 30000;

SRWLOCK g_lock = SRWLOCK_INIT;
// Signalled when the service main returns without ending the process itself;
// created when it starts and never closed.
HANDLE g_service_main_returned = nullptr;
SERVICE_STATUS_HANDLE g_status_handle = nullptr;
SupervisionState g_state;
HANDLE g_stop_pipe = nullptr;  // the service's end of the child's standard input
// Set at the first stop or shutdown control: the service main's wait for the
// child becomes bounded. Created before the handler is registered, never
// closed.
HANDLE g_stop_requested = nullptr;

SERVICE_STATUS StatusRecord() {
  SERVICE_STATUS status = {};
  // Both own-process and share-process bits, as the service has always said.
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
  status.dwCurrentState = g_state.current_state;
  status.dwControlsAccepted = g_state.controls_accepted;
  status.dwWin32ExitCode = g_state.win32_exit_code;
  status.dwServiceSpecificExitCode = g_state.specific_exit_code;
  status.dwCheckPoint = g_state.check_point;
  status.dwWaitHint = g_state.wait_hint;
  return status;
}

// Sends the stop line and closes the child's input, so the child also sees
// the end of input. Called under g_lock, once.
void RelayStop(int code) {
  LogLine("sending shutdown %d", code);
  const std::string line = std::to_string(code) + "\n";
  DWORD written = 0;
  WriteFile(g_stop_pipe, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(g_stop_pipe);
  g_stop_pipe = nullptr;
  LogLine("shutdown sent");
  ServiceLogEvent("stop relayed to the child");
}

// The service log's last word on a start, written out before the report:
// whoever sees the service stopped finds the reason in the file.
void LogStopped() {
  if (g_state.win32_exit_code == kServiceSpecificError) {
    ServiceLogEvent("service stopped, exit code %u, service-specific exit code %u", g_state.win32_exit_code,
                    g_state.specific_exit_code);
  } else {
    ServiceLogEvent("service stopped, exit code %u", g_state.win32_exit_code);
  }
  FlushServiceLog();
}

// Applies an action under g_lock. Returns false when a report failed, with
// *error set.
bool Apply(const SupervisionAction& action, DWORD* error) {
  bool reported = true;
  // Only the service main's thread makes the final report.
  if (action.report && g_state.final_reported) LogStopped();
  if (action.report) {
    const SERVICE_STATUS status = StatusRecord();
    reported = SetServiceStatus(g_status_handle, const_cast<SERVICE_STATUS*>(&status)) != 0;
    if (!reported) *error = GetLastError();
  }
  if (action.relay_stop && g_stop_pipe != nullptr) RelayStop(0);
  if (action.stop_requested) SetEvent(g_stop_requested);
  return reported;
}

template <typename Change>
bool ChangeState(Change change, DWORD* error) {
  AcquireSRWLockExclusive(&g_lock);
  const bool reported = Apply(change(g_state), error);
  ReleaseSRWLockExclusive(&g_lock);
  return reported;
}

void WINAPI ControlHandler(DWORD control) {
  LogLine("control handler request %d", static_cast<int>(control));
  DWORD error = 0;
  const bool reported = ChangeState(
      [control](SupervisionState& state) {
        const SupervisionAction action = OnControl(state, control);
        // Before the relay; never after the final report, which is the log's
        // last line.
        if (action.stop_requested) ServiceLogEvent(control == kControlStop ? "stop requested" : "shutdown requested");
        return action;
      },
      &error);
  if (reported) return;
  const int number = control == SERVICE_CONTROL_SHUTDOWN ? 1 : control == SERVICE_CONTROL_STOP ? 2 : 3;
  LogLine("SetServiceStatus %d failed %d", number, static_cast<int>(error));
}

}  // namespace

namespace {

// Ends the start with stopped and the service-specific error 5000, so the
// service control manager sees the failure (and can apply recovery).
void ReportStartFailure() {
  DWORD error = 0;
  ChangeState([](SupervisionState& state) { return OnStartFailed(state); }, &error);
}

// The child's standard input: an inheritable pipe whose write end, kept
// here, is then made non-inheritable (number 2 in the log: the output pipe
// came first).
bool CreateInputPipe(UniqueHandle* read, UniqueHandle* write, DWORD* error) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  if (!CreatePipe(read->put(), write->put(), &inherit, 0)) {
    *error = GetLastError();
    LogLine("CreatePipe error 2 (%d)", static_cast<int>(*error));
    return false;
  }
  if (!SetHandleInformation(write->get(), HANDLE_FLAG_INHERIT, 0)) {
    *error = GetLastError();
    LogLine("SetHandleInformation error 2 (%d)", static_cast<int>(*error));
    return false;
  }
  return true;
}

// Priority class for the child from HKLM\...\priority, value named by the
// service; anything that is not one of the priority classes is ignored.
DWORD ChildPriorityClass() {
  DWORD priority = NORMAL_PRIORITY_CLASS;
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\morvane-digital\\vexlo\\priority", 0, KEY_READ,
                    key.put()) != ERROR_SUCCESS) {
    return priority;
  }
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key.get(), ServiceName().c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      size != sizeof(value)) {
    return priority;
  }
  if (!IsPriorityClass(value)) {
    LogErrorLine("ignoring priority %d: not a priority class", static_cast<int>(value));
    return priority;
  }
  LogLine("using priority %d", static_cast<int>(value));
  return value;
}

// The child's command line from this process's own command line, the service
// name and the start parameters.
bool ChildCommandLine(DWORD argc, LPSTR* argv, WideString* command_line) {
  std::vector<WideString> own_arguments;
  SplitArguments(WideString(GetCommandLineW()), &own_arguments);
  if (!own_arguments.empty()) own_arguments.erase(own_arguments.begin());
  std::vector<WideString> start_parameters;
  for (DWORD i = 1; i < argc; ++i) start_parameters.push_back(NarrowToWide(argv[i], CP_ACP));
  // The module's own path, not the first word of a command line that may
  // have been registered without quotes.
  const WideString module = FillGrowing<wchar_t>(
      [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
  return BuildChildCommandLine(module, NarrowToWide(ServiceName(), CP_ACP), own_arguments,
                               start_parameters, command_line);
}

// Reads the output there is; false once it has ended.
bool ReadOutput(OutputPipe& output) {
  const bool was_open = !output.ended;
  if (ReadAvailableOutput(output, ServiceLogOutput, kReadsPerWake)) return true;
  if (was_open) LogLine("consuming output done");
  return false;
}

// How the service main's watch over the child stands.
struct ChildWatch {
  bool stopping = false;  // a stop or shutdown control has come
  ULONGLONG stop_start = 0;
  ULONGLONG progress_due = 0;  // the next check point, while stopping
  uint64_t stop_timeout = 0;
};

void BeginStopWait(ChildWatch& watch) {
  watch.stopping = true;
  watch.stop_timeout = ConfigDurationMs(kStopTimeoutSetting);
  LogLine("waiting up to %u ms for the process to end", static_cast<unsigned>(watch.stop_timeout));
  watch.stop_start = GetTickCount64();
  watch.progress_due = watch.stop_start + StopWaitSlice(0, watch.stop_timeout);
}

// Raises the check point when a progress interval has passed; true once the
// stop timeout has.
bool StopTimeUp(ChildWatch& watch, ULONGLONG now) {
  if (!watch.stopping || now < watch.progress_due) return false;
  const DWORD slice = StopWaitSlice(now - watch.stop_start, watch.stop_timeout);
  if (slice == 0) return true;
  DWORD error = 0;
  ChangeState([](SupervisionState& state) { return OnStopProgress(state); }, &error);
  watch.progress_due = now + slice;
  return false;
}

// Until the next check point or the next write of the service log.
DWORD WaitMs(const ChildWatch& watch, ULONGLONG now) {
  const DWORD log_due = ServiceLogDueMs();
  if (!watch.stopping) return log_due;
  const DWORD progress_due = watch.progress_due > now ? static_cast<DWORD>(watch.progress_due - now) : 0;
  return progress_due < log_due ? progress_due : log_due;
}

void EndProcessTree(const ChildProcess& child, HANDLE job, uint64_t timeout) {
  LogErrorLine("the process did not end within %u ms of the stop: ending its process tree",
               static_cast<unsigned>(timeout));
  ServiceLogEvent("child did not end within %s of the stop request: ending it and every process it started",
                  FormatDuration(timeout).c_str());
  if (job == nullptr || child.job_error != 0 || !TerminateJobObject(job, kEndedByStopTimeout)) {
    TerminateChildProcess(child, kEndedByStopTimeout);
  }
  if (!WaitForChildProcess(child, kTreeEndWaitMs)) LogErrorLine("the process has not ended: reporting stopped");
}

// What the child wrote before it ended: processes it started may still hold
// its output open, so this reads for a little while at most.
void DrainOutputTail(OutputPipe& output) {
  const ULONGLONG deadline = GetTickCount64() + kOutputTailMs;
  for (ULONGLONG now; ReadOutput(output) && (now = GetTickCount64()) < deadline;) {
    if (WaitForSingleObject(output.ready.get(), static_cast<DWORD>(deadline - now)) != WAIT_OBJECT_0) break;
  }
  ServiceLogOutputEnded();
}

}  // namespace

void SuperviseChild(const ChildProcess& child, HANDLE job, OutputPipe& output) {
  ChildWatch watch;
  for (;;) {
    HANDLE handles[3] = {child.process.get()};
    DWORD count = 1, stop = MAXDWORD, ready = MAXDWORD;
    if (!watch.stopping && g_stop_requested != nullptr) handles[stop = count++] = g_stop_requested;
    if (!output.ended) handles[ready = count++] = output.ready.get();
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, WaitMs(watch, GetTickCount64()));
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_FAILED) {
      LogErrorLine("WaitForMultipleObjects error (%d): waiting for the process alone",
                   static_cast<int>(GetLastError()));
      WaitForChildProcess(child, INFINITE);
      break;
    }
    if (woke == WAIT_OBJECT_0 + stop) BeginStopWait(watch);
    if (woke == WAIT_OBJECT_0 + ready) ReadOutput(output);
    if (StopTimeUp(watch, GetTickCount64())) {
      EndProcessTree(child, job, watch.stop_timeout);
      break;
    }
    if (ServiceLogDueMs() == 0) FlushServiceLog();
  }
  const ULONGLONG ended_at = GetTickCount64();
  DrainOutputTail(output);
  const DWORD exit_code = ChildExitCode(child, 0);
  if (watch.stopping) {
    ServiceLogEvent("child ended with exit code %lu, %s after the stop request", exit_code,
                    ElapsedText(ended_at - watch.stop_start).c_str());
  } else {
    ServiceLogEvent("child ended with exit code %lu", exit_code);
  }
}

namespace {

// The start parameters as the service log shows them: "[-x, a b]".
std::string ParametersText(DWORD argc, LPSTR* argv) {
  std::string text = "[";
  for (DWORD i = 1; i < argc; ++i) text += std::string(i > 1 ? ", " : "") + (argv[i] != nullptr ? argv[i] : "");
  return text + "]";
}

// Lets the dispatcher's thread know when the service main has returned.
struct SignalOnReturn {
  ~SignalOnReturn() { SetEvent(g_service_main_returned); }
};

// The pipes to the child: its output (read here without a thread, see
// SuperviseChild) and its input, whose write end becomes the stop pipe.
bool CreateChildPipes(OutputPipe* output, UniqueFile* output_write, UniqueHandle* input_read) {
  DWORD error = 0;
  if (!CreateOutputPipe(output, output_write, &error)) {
    LogLine("CreatePipe error (%d)", static_cast<int>(error));
    ServiceLogEvent("could not create the pipe for the child's output (error %lu)", error);
    return false;
  }
  UniqueHandle input_write;
  if (!CreateInputPipe(input_read, &input_write, &error)) {
    ServiceLogEvent("could not create the pipe for the child's input (error %lu)", error);
    return false;
  }
  AcquireSRWLockExclusive(&g_lock);
  g_stop_pipe = input_write.release();
  ReleaseSRWLockExclusive(&g_lock);
  return true;
}

// Sets the configured variables in this process's environment, which the
// child inherits. Each value is expanded here, after the lines before it are
// set; values are not logged, as they may hold secrets. False, with the
// reason in the service log, when a variable cannot be set: the application
// must not run without what its configuration promised it.
bool SetConfiguredEnvironment() {
  const std::string& record = ConfigText(record::kServiceEnvironment);
  std::string names, name, value;
  for (size_t position = 0; position < record.size();) {
    DWORD error = ERROR_INVALID_DATA;  // a line the builder does not write
    name.clear();
    bool set = NextVariable(record, &position, &name, &value);
    if (set) {
      Expand(value);
      error = ERROR_FILENAME_EXCED_RANGE;
      set = value.size() <= kMaxVariableValue &&
            (SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) ||
             (error = GetLastError()) == ERROR_ENVVAR_NOT_FOUND);
    }
    if (!set) {
      ServiceLogEvent("could not start the child: the environment variable %s cannot be set (error %lu)",
                      name.c_str(), error);
      return false;
    }
    names += (names.empty() ? "" : ", ") + name;
  }
  if (!names.empty()) ServiceLogEvent("child environment sets %s", names.c_str());
  return true;
}

// Starts the child in a job of its own with the pipes as its standard
// handles and `temp_dir` as the path of its temporary folder. False, with
// the failure logged, when it could not be started.
bool StartChild(const WideString& command_line, HANDLE job, const std::string& temp_dir, ChildProcess* child,
                UniqueFile output_write, UniqueHandle input_read) {
  ChildProcessStart start;
  start.command_line = command_line;
  start.use_std_handles = true;
  start.std_input = input_read.get();
  start.std_output = output_write.get();
  start.std_error = output_write.get();
  start.creation_flags = ChildPriorityClass() | DETACHED_PROCESS;
  start.job = job;
  // The child learns from its environment that it is a service's child.
  SetEnvironmentVariableA(kServiceChildVariable, "1");
  SetEnvironmentVariableA(kChosenTempDirVariable, temp_dir.empty() ? nullptr : temp_dir.c_str());
  // In the ANSI code page, like everything else in the log (%S would take
  // the C runtime's locale).
  std::string narrow_command_line;
  WideToNarrow(command_line, CP_ACP, &narrow_command_line);
  ServiceLogEvent("child command line: %s", narrow_command_line.c_str());
  DWORD start_error = 0;
  // The ends given to the child close when this returns: the output ends
  // when the child (and whatever inherited its output) has ended.
  if (!StartChildProcess(start, child, &start_error)) {
    LogLine("could not start process %S (%d)", command_line.c_str(), static_cast<int>(start_error));
    ServiceLogEvent("could not start the child (error %lu)", start_error);
    return false;
  }
  ServiceLogEvent("child started, process id %lu", child->id);
  if (child->job_error != 0) {
    LogErrorLine("the child is in no job (%d): a stop that times out ends the child alone",
                 static_cast<int>(child->job_error));
  }
  return true;
}

// Processes the child started may outlive it; they would end with this
// process anyway (the job ends them), but its folder can only go once they
// have. Waits until the job holds no process, at most kTreeEndWaitMs.
void EndJobProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
  const auto active = [job, &accounting]() {
    return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                     nullptr) &&
           accounting.ActiveProcesses > 0;
  };
  if (job == nullptr || !active()) return;
  ServiceLogEvent("the child left %lu process(es) running: ending them", accounting.ActiveProcesses);
  TerminateJobObject(job, kEndedByStopTimeout);
  for (const ULONGLONG deadline = GetTickCount64() + kTreeEndWaitMs; active() && GetTickCount64() < deadline;) {
    Sleep(10);
  }
}

// Removes the ended child's temporary folder (its lock file now free), with
// the outcome in the service log.
void RemoveChildTempDir(const std::string& path) {
  DWORD error = 0;
  switch (path.empty() ? FolderRemoval::kAbsent : RemoveStaleLauncherFolder(path, &error)) {
    case FolderRemoval::kRemoved:
      ServiceLogEvent("removed the child's temporary folder %s", path.c_str());
      break;
    case FolderRemoval::kAbsent:
      break;
    case FolderRemoval::kNotLaunchers:
      ServiceLogEvent("left %s as it is: not a temporary folder of the launcher", path.c_str());
      break;
    case FolderRemoval::kInUse:
    case FolderRemoval::kFailed:
      ServiceLogEvent("could not remove the child's temporary folder %s (error %lu)", path.c_str(), error);
      break;
  }
}

// Reports how the child ended: stopped, or the failure the child's exit
// code stands for.
void ReportChildEnd(const ChildProcess& child) {
  const DWORD exit_code = ChildExitCode(child, 0);
  LogLine("process terminated with exit code %d", static_cast<int>(exit_code));
  bool stopped_reported = false;
  bool failed = false;
  DWORD error = 0;
  const bool reported = ChangeState(
      [exit_code, &stopped_reported, &failed](SupervisionState& state) {
        const SupervisionAction action = OnChildEnded(state, exit_code);
        stopped_reported = action.report;
        failed = state.win32_exit_code == kServiceSpecificError;
        return action;
      },
      &error);
  if (failed) {
    LogErrorLine("the process ended on its own: the service stopped with service-specific error %d",
                 static_cast<int>(exit_code));
  }
  if (stopped_reported) {
    if (!reported) LogLine("SetServiceStatus 10 failed %d", static_cast<int>(error));
    LogLine("service stopped set");
  }
}

}  // namespace

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  InterlockedExchangePointer(&g_service_main_returned, CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const SignalOnReturn signal_on_return;
  LogLine("service main");
  const size_t name_length = argc >= 1 && argv[0] != nullptr ? strlen(argv[0]) : 0;
  ServiceName() = name_length >= 1 && name_length <= kMaxServiceName ? argv[0] : "unknown";
  LogLine("service name is '%s'", ServiceName().c_str());
  StartServiceLog();
  ServiceLogEvent("service '%s' starting, start parameters %s", ServiceName().c_str(),
                  ParametersText(argc, argv).c_str());

  g_stop_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ConfigDurationMs(kPreshutdownTimeoutSetting) != 0) g_state.controls_accepted |= kAcceptPreshutdown;
  g_status_handle = RegisterServiceCtrlHandlerA(ServiceName().c_str(), ControlHandler);
  if (g_status_handle == nullptr) {
    ServiceLogEvent("could not register with the service control manager (error %lu)", GetLastError());
    FlushServiceLog();
    return;
  }
  DWORD error = 0;
  ChangeState([](SupervisionState&) { return SupervisionAction{true, false}; }, &error);
  if (g_stop_requested == nullptr) {
    LogLine("CreateEvent error (%d)", static_cast<int>(GetLastError()));
    ReportStartFailure();
    return;
  }

  WideString command_line;
  if (!ChildCommandLine(argc, argv, &command_line)) {
    LogErrorLine("could not build the child command line: an argument holds both quote characters, "
                 "or the line is longer than %d characters",
                 static_cast<int>(kMaxChildCommandLine));
    ServiceLogEvent("could not start the child: a start parameter holds both quote characters, or the command "
                    "line would be longer than %d characters",
                    static_cast<int>(kMaxChildCommandLine));
    ReportStartFailure();
    return;
  }

  if (!SetConfiguredEnvironment()) {
    ReportStartFailure();
    return;
  }

  OutputPipe output;
  UniqueFile output_write;
  UniqueHandle input_read;
  if (!CreateChildPipes(&output, &output_write, &input_read)) {
    ReportStartFailure();
    return;
  }
  LogLine("consuming output");
  DWORD job_error = 0;
  const UniqueHandle job = CreateKillOnCloseJob(&job_error);
  if (!job) LogErrorLine("could not create a job for the child's processes (%d)", static_cast<int>(job_error));
  const std::string temp_dir = NewLauncherFolderPath(UsableSystemTempDir());
  ChildProcess child;
  if (!StartChild(command_line, job.get(), temp_dir, &child, std::move(output_write), std::move(input_read))) {
    ReportStartFailure();
    return;
  }
  ChangeState([](SupervisionState& state) { return OnChildCreated(state); }, &error);
  LogLine("registering ConsoleCtrlHandler");
  SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);

  SuperviseChild(child, job.get(), output);
  EndJobProcesses(job.get());
  RemoveChildTempDir(temp_dir);
  ReportChildEnd(child);
  child.thread.reset();
  child.process.reset();
  LogLine("exiting");
  // Ends the dispatcher thread too; no exit handlers or static destructors.
  _exit(0);
}

void AwaitServiceMain() {
  HANDLE returned = InterlockedCompareExchangePointer(&g_service_main_returned, nullptr, nullptr);
  if (returned != nullptr) WaitForSingleObject(returned, kServiceMainFinishMs);
}

}  // namespace vexlo
