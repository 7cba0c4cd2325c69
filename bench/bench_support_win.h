// What the benchmarks share: a clock, the median of repeated runs and the
// bare process start every figure is set against.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vexlo {
namespace bench {

// Milliseconds since an arbitrary start, from the performance counter.
double NowMs();

// The median of a set of figures (0 for none).
double Median(std::vector<double> values);

// The median duration in milliseconds of `runs` calls of `work`.
double MedianMs(int runs, const std::function<void()>& work);

// Starts a program with arguments and waits for its end; false when it could
// not be started.
bool RunToEnd(const std::string& program, const std::string& arguments);

// The median time of starting and ending the bare baseline program.
double BareStartMs(const std::string& bare_program, int runs);

// Copies a file the benchmark needs, or ends the benchmark with a message.
void CopyOrDie(const std::string& from, const std::string& to);

// "<label>: <ms> ms = <ratio> x bare start"
void PrintFigure(const char* label, double ms, double bare_ms, const std::string& note = "");

}  // namespace bench
}  // namespace vexlo
