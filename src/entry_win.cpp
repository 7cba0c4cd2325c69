// Program entry: start-up, then one of three roles chosen by the command line:
// an administration command, the service start (dispatcher) or the child
// start (restart marker last).
#include <string>
#include <vector>

#include "coord/locale.h"
#include "coord/native_path_win.h"
#include "coord/single_instance_win.h"
#include "core/args.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "core/process_state.h"
#include "core/temp_dir_win.h"
#include "jvm/load_win.h"
#include "launch/console_handler_win.h"
#include "launch/java_vm_launcher_win.h"
#include "payload/included_files_win.h"
#include "service/service_commands_win.h"
#include "service/service_main_win.h"
#include "service/service_text.h"
#include "sys/crt_print_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

const wchar_t kRestartMarker[] = L"__tvl_restart";

void StartUp() {
  // Before anything can show a message.
  TakeServiceChildMark();
  // A fatal exit before extraction must remove no directory.
  LauncherTempDir().clear();
  ReadConfigurationBlock(DetectLocale);
  ModeLetter() = ConfigText(record::kModeLetter).empty() ? '\0' : ConfigText(record::kModeLetter)[0];

  std::string working_directory = ConfigText(record::kWorkingDirectory);
  if (working_directory.empty()) {
    LogLine("working directory unchanged");
    return;
  }
  Expand(working_directory);
  working_directory = FullPath(working_directory, true);
  // A directory that cannot be entered is no reason to stop: the launch
  // resolves its own paths against the executable directory.
  SetCurrentDirectoryA(working_directory.c_str());
  LogLine("change working directory to %s", working_directory.c_str());
}

void PrintUsage(FILE* stream) {
  const std::string& path = ExecutablePath();
  CrtFprintf(stream, "%s", UsageText(path.substr(path.rfind('\\') + 1)).c_str());
}

// The "non-interactive" word is still read, and changes nothing: services
// are never installed as interactive.
int RunCommand(CommandWord command) {
  const bool automatic = ConfigInteger(record::kLaunchMode) == 4;
  const StartType install_type = automatic ? StartType::kAuto : StartType::kDemand;
  // -install-auto keeps meaning plain automatic start.
  const bool delayed = automatic && ConfigText(record::kDelayedStart) == "1";
  switch (command) {
    case CommandWord::kInstall: return InstallService(install_type, delayed);
    case CommandWord::kInstallAndStart:
      // A refused install leaves any old service as it was: it is not started.
      if (InstallService(install_type, delayed) != 0) return 1;
      return StartService();
    case CommandWord::kInstallAuto: return InstallService(StartType::kAuto, false);
    case CommandWord::kInstallDemand: return InstallService(StartType::kDemand, false);
    case CommandWord::kUninstall: return UninstallService(true);
    case CommandWord::kStop: return StopService(true);
    case CommandWord::kStart: return StartService();
    case CommandWord::kStatus: return ServiceStatus();
    case CommandWord::kHelp:
      PrintUsage(stdout);
      return 0;
    case CommandWord::kNone: break;
  }
  return -1;
}

// Run by hand (no service control manager behind it: 1063), with no command
// word or an unknown one, the run shows how to use it and fails.
int StartDispatcher() {
  SERVICE_TABLE_ENTRYA table[] = {
      {&ServiceName()[0], ServiceMain},
      {nullptr, nullptr},
  };
  LogLine("calling StartServiceCtrlDispatcher");
  DWORD error = 0;
  if (!StartServiceCtrlDispatcherA(table)) {
    error = GetLastError();
    LogLine("StartServiceCtrlDispatcher failed with error %d", static_cast<int>(error));
  }
  LogLine("StartServiceCtrlDispatcher returned");
  AwaitServiceMain();
  if (error != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 0;
  PrintUsage(stderr);
  return 1;
}

int RunChild(std::vector<WideString>& arguments) {
  arguments.pop_back();  // the restart marker
  if (ExtractIncludedFiles() != 0) FatalInternalError("16");
  PrependNativeLibraryDirectories();
  LogLine("registering ConsoleCtrlHandler");
  SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
  CheckInstance();
  // Both have shown their own messages; the exit routine removes the
  // launcher temporary directory.
  if (!LoadDLL()) FatalExit(1);
  if (!Launch(arguments, true)) FatalExit(1);
  return 0;
}

int Main() {
  ReportLibraryFailures();
  StartUp();
  ServiceName() = ConfigText(record::kServiceName);

  const wchar_t* command_line = GetCommandLineW();
  std::vector<WideString> arguments;
  SplitArguments(WideString(command_line), &arguments);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  // The marker decides before any command word: the child of a service
  // named like a command ("svc.exe -install __tvl_restart") is a child.
  const bool child = !arguments.empty() && arguments.back() == kRestartMarker;
  if (!child) {
    const ParsedCommand command = ParseCommand(CommandTail(GetCommandLineA()));
    if (command.has_name) ServiceName() = command.service_name;
    if (command.has_prefix) {
      const CommandWord word = LookupCommand(command.word);
      if (word != CommandWord::kNone) return RunCommand(word);
    }
  }

  LogLine("command line %S", command_line);
  if (!child) return StartDispatcher();
  return RunChild(arguments);
}

}  // namespace
}  // namespace vexlo

int main() { return vexlo::Main(); }
