// A test driver built from the launcher's own code: tests append a
// configuration block to it (as to the real stub) and call single launcher
// operations in a real process, to check what they show, print and leave
// behind. Usage: launcher_probe.exe <operation> [arguments]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/log_win.h"
#include "core/win.h"
#include "payload/temp_dir_win.h"
#include "support/directory_link_win.h"
#include "windows/expand_win.h"
#include "windows/paths_win.h"

using namespace vexlo;

namespace {

void WriteFileText(const std::string& path, const char* text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file != nullptr) {
    fputs(text, file);
    fclose(file);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ReadConfigurationBlock();
  if (argc < 2) return 2;
  const std::string operation = argv[1];
  if (operation == "message" && argc >= 3) {  // message <id> [argument]: fatal
    FatalMessage(atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
  }
  if (operation == "show" && argc >= 3) {  // show <id> [argument]: not fatal
    ShowMessage(atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
    printf("returned\n");
    return 0;
  }
  if (operation == "systemtemp") {
    printf("%s\n", SystemTempDir().c_str());
    return 0;
  }
  if (operation == "commfile" && argc >= 3) {
    printf("%s\n", ProcessCommFileName(strtoul(argv[2], nullptr, 10)).c_str());
    return 0;
  }
  if (operation == "tempfile") {
    printf("%s\n", NewTempFileName().c_str());
    return 0;
  }
  // launchertemp [fatal [target]]: creates it, fills it (with a directory
  // link "linked" to target), then optionally dies.
  if (operation == "launchertemp") {
    CreateLauncherTempDir();
    const std::string& directory = LauncherTempDir();
    WriteFileText(directory + "\\a.jar", "a");
    CreateDirectoryA((directory + "\\lib").c_str(), nullptr);
    WriteFileText(directory + "\\lib\\b.jar", "b");
    printf("%s\n", directory.c_str());
    if (argc >= 4 && !testing_support::CreateDirectoryLink(directory + "\\linked", argv[3])) return 3;
    fflush(stdout);
    if (argc >= 3 && strcmp(argv[2], "fatal") == 0) FatalInternalError("16");
    return 0;
  }
  if (operation == "writable" && argc >= 3) {
    printf("%s\n", IsWritableDir(argv[2]) ? "writable" : "not writable");
    return 0;
  }
  if (operation == "expand" && argc >= 3) {
    std::string text = argv[2];
    if (argc >= 4) SetJvmHome(argv[3]);
    Expand(text);
    printf("%s\n", text.c_str());
    return 0;
  }
  if (operation == "fullpath" && argc >= 3) {
    printf("%s\n", FullPath(argv[2], argc >= 4).c_str());
    return 0;
  }
  if (operation == "exepath") {
    printf("%s\n%s\n", ExecutablePath().c_str(), ExecutableDirectory().c_str());
    return 0;
  }
  return 2;
}
