// The launcher's C++ runtime hooks: ordinary allocation and strings work, and
// every failure the library would report by throwing ends the process at once
// with exit code 1 and no output.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/process_win.h"

namespace vexlo {
namespace testing_support {
namespace {

std::wstring ProbeCommand(const char* operation) {
  const char* probe = std::getenv("VEXLO_LEAN_RUNTIME_PROBE");
  EXPECT_NE(probe, nullptr) << "run the tests through ctest";
  return L"\"" + Widen(probe != nullptr ? probe : "") + L"\" " + Widen(operation);
}

TEST(LeanRuntime, OrdinaryUseWorks) {
  const ProcessResult result = RunProcess(ProbeCommand("allocate"));
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_EQ(result.out, "distinct text 12345 xxx!!!!\r\n");
}

TEST(LeanRuntime, FunctionLocalStaticsAreConstructedOnceAcrossThreads) {
  const ProcessResult result = RunProcess(ProbeCommand("statics"));
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_EQ(result.out, "constructed 1, unfinished 0\r\n");
}

TEST(LeanRuntime, FailuresEndTheProcessWithExitCodeOne) {
  const char* const operations[] = {"exhaust", "exhaust-array", "string-length", "wide-at",
                                    "vector-length"};
  for (const char* operation : operations) {
    SCOPED_TRACE(operation);
    const ProcessResult result = RunProcess(ProbeCommand(operation));
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
  }
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
