// Stands in for a Java runtime's java.exe (and javaw.exe) in tests: no Windows
// Java runtime exists on the test machines. The launcher runs it with
// " -version" and reads the first line of its standard error; this double
// prints whatever the test chose instead of a real version banner.
//
// Tests copy it into a runtime directory (for example jre\bin\java.exe) and
// may put a file "java-double.txt" beside it. Each line is one setting:
//   exit=N        exit code (default 0)
//   sleep=MS      sleep that long before printing (to pass the launcher's limit)
//   line=TEXT     TEXT and a line feed to standard error (repeatable, in order)
//   raw=TEXT      TEXT without a line feed to standard error
// Without any line= or raw= setting it prints: openjdk version "17.0.2" 2022-01-18
// Every run appends its command line as one line to "java-double.runs" beside
// the executable, so tests can count the runs the launcher made.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "support/double_runs_win.h"
#include "sys/win.h"

using vexlo::testing_support::AppendRun;
using vexlo::testing_support::OwnDirectory;

int main() {
  const std::string directory = OwnDirectory();
  AppendRun(directory, "java-double.runs");

  int exit_code = 0;
  DWORD sleep_ms = 0;
  std::string output;
  bool chosen_output = false;
  if (FILE* settings = fopen((directory + "java-double.txt").c_str(), "rb")) {
    char line[4096];
    while (fgets(line, sizeof(line), settings) != nullptr) {
      std::string text = line;
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      if (text.rfind("exit=", 0) == 0) exit_code = atoi(text.c_str() + 5);
      else if (text.rfind("sleep=", 0) == 0) sleep_ms = static_cast<DWORD>(atol(text.c_str() + 6));
      else if (text.rfind("line=", 0) == 0) output += text.substr(5) + "\n", chosen_output = true;
      else if (text.rfind("raw=", 0) == 0) output += text.substr(4), chosen_output = true;
    }
    fclose(settings);
  }
  if (!chosen_output) output = "openjdk version \"17.0.2\" 2022-01-18\n";
  if (sleep_ms > 0) Sleep(sleep_ms);
  fwrite(output.data(), 1, output.size(), stderr);
  fflush(stderr);
  return exit_code;
}
