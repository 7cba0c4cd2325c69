// The service process: it runs the application in a child copy of this
// executable (restart marker last), relays stop and shutdown through the
// child's standard input, drains the child's output and reports the service
// state. Three threads share it: the dispatcher (control handler), the
// service main and the output drain. The status record and the stop pipe are
// only touched under g_lock, and every change is reported before the lock is
// released, so a report can never undo a newer state.
//
// The child and everything it starts run in a job that ends them all when
// this process ends, however it ends. A stop waits for the child at most the
// stop timeout, with progress reported meanwhile, and then ends the job: no
// stop can hang, and no child outlives its supervisor.
#include "service/service_main_win.h"

#include <stdlib.h>

#include <string>
#include <vector>

#include "core/args.h"
#include "core/config_win.h"
#include "core/log_win.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "launch/console_handler_win.h"
#include "service/supervision.h"
#include "sys/child_process_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

constexpr size_t kMaxServiceName = 8191;
// The exit code of a child whose process tree the supervisor ended.
constexpr DWORD kEndedByStopTimeout = ERROR_TIMEOUT;
// The processes of an ended job are gone at once; this only bounds the wait
// for a system that does not say so.
constexpr DWORD kTreeEndWaitMs = 5000;
// The drain thread needs little more than its read buffer.
constexpr SIZE_T kDrainStackBytes = 128 * 1024;
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
}

// Applies an action under g_lock. Returns false when a report failed, with
// *error set.
bool Apply(const SupervisionAction& action, DWORD* error) {
  bool reported = true;
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
  const bool reported =
      ChangeState([control](SupervisionState& state) { return OnControl(state, control); }, &error);
  if (reported) return;
  const int number = control == SERVICE_CONTROL_SHUTDOWN ? 1 : control == SERVICE_CONTROL_STOP ? 2 : 3;
  LogLine("SetServiceStatus %d failed %d", number, static_cast<int>(error));
}

}  // namespace

DWORD WINAPI DrainOutput(void* parameter) {
  UniqueHandle pipe(static_cast<HANDLE>(parameter));
  LogLine("consuming output");
  // Each read is a system call, and under Wine a server round trip: large
  // reads keep a chatty child from ever waiting on a full pipe.
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
  }
  LogLine("consuming output done");
  return 0;
}

namespace {

// Ends the start with stopped and the service-specific error 5000, so the
// service control manager sees the failure (and can apply recovery).
void ReportStartFailure() {
  DWORD error = 0;
  ChangeState([](SupervisionState& state) { return OnStartFailed(state); }, &error);
}

// An inheritable pipe whose end the service keeps is then made
// non-inheritable: the output pipe keeps its read end, the input pipe (number
// 2 in the log) its write end.
bool CreateChildPipe(UniqueHandle* read, UniqueHandle* write, bool input_pipe) {
  const char* number = input_pipe ? " 2" : "";
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  if (!CreatePipe(read->put(), write->put(), &inherit, 0)) {
    LogLine("CreatePipe error%s (%d)", number, static_cast<int>(GetLastError()));
    return false;
  }
  HANDLE kept = input_pipe ? write->get() : read->get();
  if (!SetHandleInformation(kept, HANDLE_FLAG_INHERIT, 0)) {
    LogLine("SetHandleInformation error%s (%d)", number, static_cast<int>(GetLastError()));
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

// Waits for the child to end. Once a stop or shutdown control has come, the
// wait lasts at most the stop timeout, with the check point raised at every
// progress interval; then the child's whole process tree is ended.
void SuperviseChild(const ChildProcess& child, HANDLE job) {
  const HANDLE ends[] = {child.process.get(), g_stop_requested};
  if (WaitForMultipleObjects(2, ends, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
  const uint64_t timeout = ConfigDurationMs(kStopTimeoutSetting);
  LogLine("waiting up to %u ms for the process to end", static_cast<unsigned>(timeout));
  const ULONGLONG start = GetTickCount64();
  for (DWORD slice; (slice = StopWaitSlice(GetTickCount64() - start, timeout)) != 0;) {
    if (WaitForChildProcess(child, slice)) return;
    DWORD error = 0;
    ChangeState([](SupervisionState& state) { return OnStopProgress(state); }, &error);
  }
  LogErrorLine("the process did not end within %u ms of the stop: ending its process tree",
               static_cast<unsigned>(timeout));
  if (job == nullptr || child.job_error != 0 || !TerminateJobObject(job, kEndedByStopTimeout)) {
    TerminateChildProcess(child, kEndedByStopTimeout);
  }
  if (!WaitForChildProcess(child, kTreeEndWaitMs)) LogErrorLine("the process has not ended: reporting stopped");
}

}  // namespace

// Lets the dispatcher's thread know when the service main has returned.
struct SignalOnReturn {
  ~SignalOnReturn() { SetEvent(g_service_main_returned); }
};

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  InterlockedExchangePointer(&g_service_main_returned, CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const SignalOnReturn signal_on_return;
  LogLine("service main");
  const size_t name_length = argc >= 1 && argv[0] != nullptr ? strlen(argv[0]) : 0;
  ServiceName() = name_length >= 1 && name_length <= kMaxServiceName ? argv[0] : "unknown";
  LogLine("service name is '%s'", ServiceName().c_str());

  g_stop_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (ConfigDurationMs(kPreshutdownTimeoutSetting) != 0) g_state.controls_accepted |= kAcceptPreshutdown;
  g_status_handle = RegisterServiceCtrlHandlerA(ServiceName().c_str(), ControlHandler);
  if (g_status_handle == nullptr) return;
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
    ReportStartFailure();
    return;
  }

  UniqueHandle output_read, output_write, input_read, input_write;
  if (!CreateChildPipe(&output_read, &output_write, false) ||
      !CreateChildPipe(&input_read, &input_write, true)) {
    ReportStartFailure();
    return;
  }

  // The drain runs before the child exists, so a child never blocks on a full
  // pipe and a failed drain never leaves a child running unsupervised.
  UniqueHandle drain(CreateThread(nullptr, kDrainStackBytes, DrainOutput, output_read.get(),
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!drain) {
    LogLine("CreateThread error (%d)", static_cast<int>(GetLastError()));
    ReportStartFailure();
    return;
  }
  output_read.release();  // the drain thread owns it now
  drain.reset();          // the thread runs on without its handle

  ChildProcessStart start;
  start.command_line = command_line;
  start.use_std_handles = true;
  start.std_input = input_read.get();
  start.std_output = output_write.get();
  start.std_error = output_write.get();
  start.creation_flags = ChildPriorityClass() | DETACHED_PROCESS;
  DWORD job_error = 0;
  const UniqueHandle job = CreateKillOnCloseJob(&job_error);
  if (!job) LogErrorLine("could not create a job for the child's processes (%d)", static_cast<int>(job_error));
  start.job = job.get();
  // The child learns from its environment that it is a service's child.
  SetEnvironmentVariableA(kServiceChildVariable, "1");
  ChildProcess child;
  AcquireSRWLockExclusive(&g_lock);
  g_stop_pipe = input_write.release();
  ReleaseSRWLockExclusive(&g_lock);
  DWORD start_error = 0;
  const bool started = StartChildProcess(start, &child, &start_error);
  // Only the child holds these now: the drain sees the end of output when the
  // child (and whatever inherited its output) ends.
  output_write.reset();
  input_read.reset();
  if (!started) {
    LogLine("could not start process %S (%d)", command_line.c_str(), static_cast<int>(start_error));
    ReportStartFailure();
    return;
  }
  if (child.job_error != 0) {
    LogErrorLine("the child is in no job (%d): a stop that times out ends the child alone",
                 static_cast<int>(child.job_error));
  }
  ChangeState([](SupervisionState& state) { return OnChildCreated(state); }, &error);
  LogLine("registering ConsoleCtrlHandler");
  SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);

  SuperviseChild(child, job.get());
  const DWORD exit_code = ChildExitCode(child, 0);
  LogLine("process terminated with exit code %d", static_cast<int>(exit_code));
  bool stopped_reported = false;
  bool failed = false;
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
