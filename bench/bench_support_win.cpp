#include "bench_support_win.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "support/process_win.h"
#include "sys/win.h"

namespace vexlo {
namespace bench {

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double MedianMs(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const double start = NowMs();
    work();
    times.push_back(NowMs() - start);
  }
  return Median(times);
}

bool RunToEnd(const std::string& program, const std::string& arguments) {
  std::wstring command = L"\"" + testing_support::Widen(program) + L"\"";
  if (!arguments.empty()) command += L" " + testing_support::Widen(arguments);
  return testing_support::RunProcess(command).started;
}

double BareStartMs(const std::string& bare_program, int runs) {
  RunToEnd(bare_program, "");  // the first start pays for loading the image
  return MedianMs(runs, [&] { RunToEnd(bare_program, ""); });
}

void CopyOrDie(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    fprintf(stderr, "cannot copy %s to %s\n", from.c_str(), to.c_str());
    ExitProcess(1);
  }
}

void PrintFigure(const char* label, double ms, double bare_ms, const std::string& note) {
  printf("%-44s %8.1f ms = %6.1f x bare start%s%s\n", label, ms, ms / bare_ms, note.empty() ? "" : "  ",
         note.c_str());
  fflush(stdout);
}

}  // namespace bench
}  // namespace vexlo
