#include "sys/child_process_win.h"

#include <vector>

namespace vexlo {
namespace {

// The inheritable handles the child is given, each once (standard output and
// error are often the same pipe end).
std::vector<HANDLE> HandlesForChild(const ChildProcessStart& start) {
  std::vector<HANDLE> handles;
  if (!start.use_std_handles) return handles;
  for (HANDLE handle : {start.std_input, start.std_output, start.std_error}) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) continue;
    bool listed = false;
    for (HANDLE seen : handles) listed = listed || seen == handle;
    if (!listed) handles.push_back(handle);
  }
  return handles;
}

// An attribute list that limits inheritance to the given handles. Without it,
// a child started with inheritance on would also get every other inheritable
// handle the process happens to hold.
class HandleListAttribute {
 public:
  explicit HandleListAttribute(std::vector<HANDLE>& handles) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    initialised_ = true;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                  handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      list_ = list;
    }
  }
  HandleListAttribute(const HandleListAttribute&) = delete;
  HandleListAttribute& operator=(const HandleListAttribute&) = delete;
  ~HandleListAttribute() {
    if (initialised_) {
      DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
  }
  // Null when the list could not be built.
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<unsigned char> storage_;
  bool initialised_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

bool StartChildProcess(const ChildProcessStart& start, ChildProcess* child, DWORD* error) {
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof(startup.StartupInfo);
  if (start.use_std_handles) {
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = start.std_input;
    startup.StartupInfo.hStdOutput = start.std_output;
    startup.StartupInfo.hStdError = start.std_error;
  }
  if (start.hidden_window) {
    startup.StartupInfo.dwFlags |= STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
  }

  std::vector<HANDLE> inherited = HandlesForChild(start);
  DWORD flags = start.creation_flags | (start.job != nullptr ? CREATE_SUSPENDED : 0);
  BOOL inherit = FALSE;
  HandleListAttribute attribute(inherited);
  if (!inherited.empty()) {
    // Refuse rather than fall back to inheriting everything: the child must
    // never hold the launcher's other handles (a service's stop pipe, say).
    if (attribute.get() == nullptr) {
      *error = GetLastError();
      return false;
    }
    startup.StartupInfo.cb = sizeof(startup);
    startup.lpAttributeList = attribute.get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
    inherit = TRUE;
  }

  // CreateProcessW may write into the command line.
  WideString command_line = start.command_line;
  command_line.push_back(L'\0');
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(start.application, &command_line[0], nullptr, nullptr, inherit, flags, nullptr,
                      nullptr, &startup.StartupInfo, &info)) {
    *error = GetLastError();
    return false;
  }
  child->process.reset(info.hProcess);
  child->thread.reset(info.hThread);
  child->id = info.dwProcessId;
  if (start.job != nullptr) {
    child->job_error = AssignProcessToJobObject(start.job, info.hProcess) ? 0 : GetLastError();
    if ((start.creation_flags & CREATE_SUSPENDED) == 0) ResumeThread(info.hThread);
  }
  return true;
}

UniqueHandle CreateKillOnCloseJob(DWORD* error) {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
    *error = GetLastError();
    job.reset();
  }
  return job;
}

bool WaitForChildProcess(const ChildProcess& child, DWORD timeout_ms) {
  return WaitForSingleObject(child.process.get(), timeout_ms) == WAIT_OBJECT_0;
}

DWORD ChildExitCode(const ChildProcess& child, DWORD failed_value) {
  DWORD exit_code = 0;
  return GetExitCodeProcess(child.process.get(), &exit_code) ? exit_code : failed_value;
}

void TerminateChildProcess(const ChildProcess& child, UINT exit_code) {
  TerminateProcess(child.process.get(), exit_code);
}

}  // namespace vexlo
