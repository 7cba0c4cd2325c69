// Stands in for a Java runtime's bin\unpack200.exe in tests: no Windows Java
// runtime exists on the test machines. The launcher starts it with the
// command line  -r "<jar>.pack" "<jar>"  and no program name in front, so
// "-r" arrives as the first argument. Instead of decoding Pack200 it writes
// the target jar as "unpacked:" followed by the packed file's bytes.
//
// A file "unpack200-double.txt" beside the executable may hold settings, one
// a line:
//   exit=N      exit with N after writing the jar (default 0)
//   write=0     do not write the jar
//   sleep=MS    sleep that long first (to overlap two launchers)
// Every run appends its command line as one line to "unpack200-double.runs"
// beside the executable. A command line of another shape exits with 2.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "support/double_runs_win.h"
#include "sys/win.h"

using vexlo::testing_support::AppendRun;
using vexlo::testing_support::OwnDirectory;

namespace {

bool ReadAll(const char* path, std::string* bytes) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->append(buffer, got);
  fclose(file);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string directory = OwnDirectory();
  AppendRun(directory, "unpack200-double.runs");
  int exit_code = 0;
  bool write = true;
  DWORD sleep_ms = 0;
  if (FILE* settings = fopen((directory + "unpack200-double.txt").c_str(), "rb")) {
    char line[256];
    while (fgets(line, sizeof(line), settings) != nullptr) {
      if (strncmp(line, "exit=", 5) == 0) exit_code = atoi(line + 5);
      else if (strncmp(line, "write=", 6) == 0) write = atoi(line + 6) != 0;
      else if (strncmp(line, "sleep=", 6) == 0) sleep_ms = static_cast<DWORD>(atol(line + 6));
    }
    fclose(settings);
  }
  if (argc != 3 || strcmp(argv[0], "-r") != 0) return 2;
  if (sleep_ms > 0) Sleep(sleep_ms);
  std::string packed;
  if (!ReadAll(argv[1], &packed)) return 3;
  if (write) {
    FILE* jar = fopen(argv[2], "wb");
    if (jar == nullptr) return 4;
    fputs("unpacked:", jar);
    fwrite(packed.data(), 1, packed.size(), jar);
    fclose(jar);
  }
  return exit_code;
}
