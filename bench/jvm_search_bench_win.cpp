// The JVM search with 20 runtimes in the user's located-JVM list: how long a
// search takes with a cold version cache (every candidate is run once) and
// with a warm one, and how many version runs the second launch makes (goal:
// none). Usage: bench_jvm_search <probe> <java double> <bare program> <work dir>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_support_win.h"
#include "core/block_writer.h"
#include "jvm/registry_keys.h"
#include "support/process_win.h"
#include "sys/win.h"

using namespace vexlo;
using namespace vexlo::testing_support;

namespace {

constexpr int kRuntimes = 20;
constexpr int kRepeats = 5;

std::string SlashKey(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::string(kLocatedJvmsKey) + "\\" + path;
}

int VersionRuns(const std::vector<std::string>& java_directories) {
  int runs = 0;
  for (const std::string& directory : java_directories) {
    runs += static_cast<int>(SplitLines(ReadWholeFile(directory + "\\java-double.runs")).size());
  }
  return runs;
}

void ClearCache(const std::vector<std::string>& java_executables) {
  for (const std::string& java : java_executables) {
    RegDeleteKeyA(HKEY_CURRENT_USER, VersionCacheKeyName(Lower(java)).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: bench_jvm_search <probe> <java double> <bare program> <work dir>\n");
    return 2;
  }
  const std::string probe_stub = argv[1], java_double = argv[2], bare = argv[3], work = argv[4];
  RemoveTree(work);
  CreateDirectoryA(work.c_str(), nullptr);

  BlockContents contents;
  contents.texts = {{101, "Vexlo Bench"}, {107, "4"}, {128, "Y"}, {2001, "i"}, {2002, "0"}, {2003, ""}};
  std::string launcher, error;
  if (!BuildLauncher(ReadWholeFile(probe_stub), contents, {}, &launcher, &error) ||
      !WriteWholeFile(work + "\\probe.exe", launcher)) {
    fprintf(stderr, "cannot write the probe: %s\n", error.c_str());
    return 1;
  }
  const std::string probe = work + "\\probe.exe";

  std::vector<std::string> java_directories, java_executables;
  for (int index = 0; index < kRuntimes; ++index) {
    const std::string home = work + "\\rt" + std::to_string(100 + index);
    CreateDirectoryA(home.c_str(), nullptr);
    CreateDirectoryA((home + "\\bin").c_str(), nullptr);
    CopyFileA(java_double.c_str(), (home + "\\bin\\java.exe").c_str(), FALSE);
    WriteWholeFile(home + "\\bin\\java-double.txt",
                   "line=openjdk version \"17.0." + std::to_string(index) + "\"\n");
    java_directories.push_back(home + "\\bin");
    java_executables.push_back(home + "\\bin\\java.exe");
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, SlashKey(Lower(home + "\\bin\\java.exe")).c_str(), 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key != nullptr) RegCloseKey(key);
  }

  const double bare_ms = bench::BareStartMs(bare, 20);
  bench::RunToEnd(probe, "exepath");  // the probe's image, warm like the bare program's

  std::vector<double> cold, warm;
  int cold_runs = 0, warm_runs = 0;
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    ClearCache(java_executables);
    int before = VersionRuns(java_directories);
    double start = bench::NowMs();
    bench::RunToEnd(probe, "search");
    cold.push_back(bench::NowMs() - start);
    cold_runs = VersionRuns(java_directories) - before;

    before = VersionRuns(java_directories);
    start = bench::NowMs();
    bench::RunToEnd(probe, "search");
    warm.push_back(bench::NowMs() - start);
    warm_runs = VersionRuns(java_directories) - before;
  }

  printf("JVM search, %d runtimes in the located-JVM list (median of %d)\n", kRuntimes, kRepeats);
  bench::PrintFigure("bare process start", bare_ms, bare_ms);
  bench::PrintFigure("search, cold version cache", bench::Median(cold), bare_ms,
                     "(" + std::to_string(cold_runs) + " version runs)");
  bench::PrintFigure("search, warm version cache", bench::Median(warm), bare_ms,
                     "(" + std::to_string(warm_runs) + " version runs)");
  printf("version runs in a second launch with a warm cache: %d (goal: 0)\n", warm_runs);

  ClearCache(java_executables);
  RegDeleteTreeA(HKEY_CURRENT_USER, kLocatedJvmsKey);
  RemoveTree(work);
  return 0;
}
