// What the runtime doubles (java.exe, unpack200.exe) share: they keep their
// settings and their run counter beside their own executable.
#pragma once
#include <stdio.h>

#include <string>

#include "sys/win.h"

namespace vexlo {
namespace testing_support {

// The directory of the running executable, with a trailing backslash.
inline std::string OwnDirectory() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string directory(path, length);
  const size_t slash = directory.rfind('\\');
  return slash == std::string::npos ? std::string() : directory.substr(0, slash + 1);
}

// Appends this run's command line as one line to the file `name` in `directory`.
inline void AppendRun(const std::string& directory, const char* name) {
  FILE* runs = fopen((directory + name).c_str(), "ab");
  if (runs == nullptr) return;
  fprintf(runs, "%s\n", GetCommandLineA());
  fclose(runs);
}

}  // namespace testing_support
}  // namespace vexlo
