// The contract with the Java side of the launcher (vexlo-runtime.jar): the
// classes and methods the launcher calls and the arguments main receives.
// A test checks the class names against the built jar.
#pragma once
#include <string>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

constexpr char kLauncherClass[] = "com/vexlo/runtime/WinLauncher";
constexpr char kTavreliumLauncherClass[] = "com/tavrelium/runtime/launcher/WinLauncher";
constexpr char kMainMethod[] = "main";
constexpr char kMainSignature[] = "([Ljava/lang/String;)V";
constexpr char kFirstRunClass[] = "com/tavrelium/runtime/launcher/FirstRun";
constexpr char kFirstRunMethod[] = "firstRun";
constexpr char kFirstRunSignature[] = "()Z";

// Mode letter "i" selects the tavrelium layout's launcher class.
inline const char* LauncherClassFor(char mode_letter) {
  return mode_letter == 'i' ? kTavreliumLauncherClass : kLauncherClass;
}

struct MainArgumentInputs {
  bool windowed = false;        // launch mode (record 107) is 1
  WideString main_class;        // record 122 as stored
  WideString error_log;         // empty when not handed on
  WideString output_log;        // empty when not handed on
  bool append_logs = false;     // record 106
  WideString application_arguments;  // record 124, expanded, not yet split
  bool allow_j_arguments = false;    // record 125
  // The program arguments: the service name first, then the rest.
  std::vector<WideString> program_arguments;
};

// The String[] for the launcher class's main, in its fixed layout: the five
// fixed values, the first program argument unchanged, the application
// arguments, then the further program arguments less those made JVM options
// ("-J..." while record 125 allows them, "-Dsun.locale.formatasdefault=...").
std::vector<WideString> MainArguments(const MainArgumentInputs& inputs);

}  // namespace vexlo
