// Child start against a bare loader: the time from process creation to Java's
// main and the peak working set at main, for a launcher child start (the
// whole sequence: block, search with a warm version cache, LoadDLL, option
// assembly, JVM creation, argument array) and for bare_jvm_loader.exe, which
// only loads the same jvm.dll and calls main; a second bare loader that also
// imports ADVAPI32 shows what the launcher's imports alone cost. All run
// against the recording jvm.dll double, which notes the moment and the
// working set at main and then ends the process as System.exit would. Runs
// interleave, in the same run; medians are printed. Goal: time ratio against
// the bare loader at most 1.10.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_support_win.h"
#include "core/block_writer.h"
#include "support/process_win.h"
#include "sys/win.h"

using namespace vexlo;
using namespace vexlo::testing_support;
using vexlo::bench::CopyOrDie;
using vexlo::bench::Median;

namespace {

constexpr int kRounds = 60;

struct Sample {
  double milliseconds = 0;
  double peak_megabytes = 0;
};

unsigned long long Now() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::string RecordValue(const std::string& record, const std::string& key) {
  const size_t at = record.find(key + "=");
  if (at == std::string::npos) return std::string();
  const size_t end = record.find('\n', at);
  return record.substr(at + key.size() + 1, end - at - key.size() - 1);
}

// Runs a command line and reads what the double noted at main.
bool Measure(const std::wstring& command, const ProcessOptions& options, const std::string& record_path,
             Sample* sample) {
  DeleteFileA(record_path.c_str());
  PROCESS_INFORMATION info = {};
  const unsigned long long started = Now();
  if (!StartProcess(command, options, &info)) return false;
  WaitForSingleObject(info.hProcess, 60000);
  DWORD exit_code = 1;
  GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  const std::string record = ReadWholeFile(record_path);
  const std::string at_main = RecordValue(record, "main-time");
  const std::string peak = RecordValue(record, "main-peak-working-set");
  if (exit_code != 0 || at_main.empty() || peak.empty()) {
    fprintf(stderr, "run failed (exit %lu): %s\n%s\n", exit_code, Narrow(command).c_str(), record.c_str());
    return false;
  }
  sample->milliseconds = (std::stoull(at_main) - started) / 10000.0;
  sample->peak_megabytes = std::stoull(peak) / (1024.0 * 1024.0);
  return true;
}

// The fastest runs are the ones other processes on the machine disturbed
// least: the tenth percentile compares the programs' own costs.
double Fastest(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 10];
}

}  // namespace

int main() {
  const std::string work = VEXLO_BENCH_WORK;
  RemoveTree(work);
  CreateDirectoryA(work.c_str(), nullptr);
  const std::string runtime = work + "\\jre";
  const std::string dll_directory = runtime + "\\bin\\server";
  for (const std::string& directory : {runtime, runtime + "\\bin", dll_directory}) {
    CreateDirectoryA(directory.c_str(), nullptr);
  }
  CopyOrDie(VEXLO_JAVA_DOUBLE, runtime + "\\bin\\java.exe");
  CopyOrDie(VEXLO_JVM_DOUBLE, dll_directory + "\\jvm.dll");
  WriteWholeFile(dll_directory + "\\jvm-double.txt", "main-exit=0\nrecord=main\n");

  BlockContents contents;
  contents.texts = {{101, "Bench Service"}, {107, "4"}, {122, "org.example.App"}, {121, "A0app.jar"},
                    {2002, "0"}, {2003, ""}};
  std::string launcher;
  std::string error;
  if (!BuildLauncher(ReadWholeFile(VEXLO_STUB), contents, {}, &launcher, &error)) {
    fprintf(stderr, "cannot build the launcher: %s\n", error.c_str());
    return 1;
  }
  const std::string exe = work + "\\svc.exe";
  WriteWholeFile(exe, launcher);

  ProcessOptions options;
  options.environment = {L"VEXLO_JAVA_HOME=" + Widen(runtime), L"TAVRELIUM_JAVA_HOME=", L"VEXLO_LOG=",
                         L"TAVRELIUM_LOG=", L"TMP=" + Widen(work), L"TEMP=" + Widen(work)};
  const std::wstring child = L"\"" + Widen(exe) + L"\" svc __tvl_restart";
  const std::wstring dll_argument = L" \"" + Widen(dll_directory) + L"\\jvm.dll\"";
  const std::wstring bare = L"\"" + Widen(VEXLO_BARE_LOADER) + L"\"" + dll_argument;
  const std::wstring bare_advapi = L"\"" + Widen(VEXLO_BARE_LOADER_ADVAPI) + L"\"" + dll_argument;
  const std::string record = dll_directory + "\\jvm-double.record";

  struct Program {
    const char* name;
    std::wstring command;
    std::vector<double> milliseconds;
    std::vector<double> megabytes;
  };
  Program programs[] = {
      {"child start", child, {}, {}},
      {"bare loader", bare, {}, {}},
      {"bare loader + ADVAPI32", bare_advapi, {}, {}},
  };
  // The first child start fills the version cache; every program gets its
  // files into the system's cache before anything is counted.
  Sample sample;
  for (Program& program : programs) {
    if (!Measure(program.command, options, record, &sample)) return 1;
  }
  for (int round = 0; round < kRounds; ++round) {
    for (Program& program : programs) {
      if (!Measure(program.command, options, record, &sample)) return 1;
      program.milliseconds.push_back(sample.milliseconds);
      program.megabytes.push_back(sample.peak_megabytes);
    }
  }

  const double child_fast = Fastest(programs[0].milliseconds);
  const double child_ms = Median(programs[0].milliseconds);
  const double child_mb = Median(programs[0].megabytes);
  printf("jvm launch: time from process creation to main (tenth percentile and median of %d interleaved\n"
         "runs each) and peak working set at main; the child start has a warm version cache\n", kRounds);
  for (const Program& program : programs) {
    const double fast = Fastest(program.milliseconds);
    const double ms = Median(program.milliseconds);
    const double mb = Median(program.megabytes);
    printf("  %-23s %6.1f ms (median %6.1f ms) %5.1f MB", program.name, fast, ms, mb);
    if (&program != &programs[0]) {
      printf("   child start / this: time %.2f (median %.2f), memory %.2f", child_fast / fast, child_ms / ms,
             child_mb / mb);
    }
    printf("\n");
  }
  const double time_ratio = child_fast / Fastest(programs[1].milliseconds);
  printf("  goal: time ratio against the bare loader at most 1.10: %s\n", time_ratio <= 1.10 ? "met" : "NOT MET");

  // The version cache entry the search wrote for this runtime.
  std::string key = runtime + "\\bin\\java.exe";
  for (char& c : key) c = c == '\\' ? '/' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
  RegDeleteTreeA(HKEY_CURRENT_USER, ("SOFTWARE\\morvane-digital\\vexlo\\jvms\\" + key).c_str());
  RemoveTree(work);
  return 0;
}
