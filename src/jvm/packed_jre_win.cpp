#include "jvm/packed_jre_win.h"

#include <stdio.h>

#include "core/errors_win.h"
#include "core/log_win.h"
#include "jvm/packed_jre.h"
#include "sys/child_process_win.h"
#include "sys/file_tests_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

bool IsPacked(const std::string& directory) {
  return Exists(directory + kRtPack) &&
         RuntimeIsPacked(true, Exists(directory + kJsseJar), Exists(directory + kRtJar));
}

constexpr DWORD kUnpackLimitMs = 5 * 60 * 1000;

}  // namespace

DWORD& UnpackLimitMs() {
  static DWORD limit = kUnpackLimitMs;
  return limit;
}

DWORD& PreparationWaitLimitMs() {
  static DWORD limit = (sizeof(kPackedJars) / sizeof(kPackedJars[0]) + 1) * kUnpackLimitMs;
  return limit;
}

void unpackJar(const std::string& runtime_directory, const std::string& jar) {
  const std::string packed = runtime_directory + "\\" + jar + ".pack";
  const std::string target = packed.substr(0, packed.size() - 5);
  if (!Exists(packed)) {
    LogLine("pack path doesn't exists");
    return;
  }
  const std::string application = runtime_directory + "\\bin\\unpack200.exe";
  // The command line does not repeat the program name: the unpacker sees
  // "-r" first.
  const std::string command_line = "-r \"" + packed + "\" \"" + target + "\"";
  LogLine("%s", application.c_str());
  LogLine("%s", command_line.c_str());

  const bool target_existed = Exists(target);

  const WideString wide_application = NarrowToWide(application, CP_ACP);
  ChildProcessStart start;
  start.application = wide_application.c_str();
  start.command_line = NarrowToWide(command_line, CP_ACP);
  start.hidden_window = true;
  start.creation_flags = NORMAL_PRIORITY_CLASS;
  ChildProcess child;
  DWORD error = 0;
  if (!StartChildProcess(start, &child, &error)) {
    LogLine("could not create unpack process");
    FatalInternalError("20");
  }
  LogLine("waiting for unpack200 to finish");
  if (!WaitForChildProcess(child, UnpackLimitMs())) {
    LogErrorLine("unpack200 did not finish within %u ms: ending it", static_cast<unsigned>(UnpackLimitMs()));
    TerminateChildProcess(child, 1);
    // The half-written jar can only go once the unpacker has let go of it.
    WaitForChildProcess(child, 5000);
    if (!target_existed) DeleteFileA(target.c_str());
    FatalInternalError("20");
  }
  const DWORD exit_code = ChildExitCode(child, STILL_ACTIVE);
  LogLine("unpack done");

  // The packed file may be the only copy of the jar: it goes only once the
  // jar has been restored. A jar the failed run left half-written goes
  // instead, so that the runtime still counts as packed at the next start.
  if (exit_code != 0 || !Exists(target)) {
    LogLine("unpack200 failed (exit code %d), keeping %s", static_cast<int>(exit_code), packed.c_str());
    if (!target_existed) DeleteFileA(target.c_str());
    return;
  }
  if (!DeleteFileA(packed.c_str())) {
    const DWORD delete_error = GetLastError();
    if (delete_error != ERROR_FILE_NOT_FOUND) {
      LogLine("could not delete packed file (error %d)", static_cast<int>(delete_error));
    }
  }
}

void prepareJre(const std::string& runtime_directory) {
  if (!IsPacked(runtime_directory)) return;
  // Held for the whole preparation; a launcher that dies while holding it
  // leaves it abandoned, which the next one takes over.
  UniqueHandle lock(CreateMutexA(nullptr, FALSE, PreparationMutexName(runtime_directory).c_str()));
  if (lock && WaitForSingleObject(lock.get(), PreparationWaitLimitMs()) == WAIT_TIMEOUT) {
    LogErrorLine("another launcher has been preparing the runtime for %u ms: giving up",
                 static_cast<unsigned>(PreparationWaitLimitMs()));
    FatalInternalError("20");
  }
  // Another launcher may have finished it while this one waited.
  if (IsPacked(runtime_directory)) {
    LogLine("Unpacking JRE");
    fputs("Preparing JRE ...\n", stdout);
    fflush(stdout);
    for (const char* jar : kPackedJars) unpackJar(runtime_directory, jar);
    LogLine("Unpacking JRE done");
  }
  if (lock) ReleaseMutex(lock.get());
}

}  // namespace vexlo
