#include "core/duration.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(ParseDuration, OneNumberAndOneUnit) {
  const struct {
    const char* text;
    uint64_t milliseconds;
  } valid[] = {{"90s", 90000},          {"5m", 300000},      {"1h", 3600000},
               {"1d", 86400000},        {"0s", 0},           {"0d", 0},
               {"3650d", 315360000000}, {"120m", 7200000}};
  for (const auto& c : valid) {
    uint64_t milliseconds = 1;
    EXPECT_TRUE(ParseDuration(c.text, &milliseconds)) << c.text;
    EXPECT_EQ(milliseconds, c.milliseconds) << c.text;
  }
  for (const char* text : {"", "s", "90", "90S", " 90s", "90s ", "9 0s", "+5m", "-5m", "05m", "00s", "1.5h", "1h30m",
                           "1w", "5ms", "3651d", "87601h", "99999999999d", "999999999999s"}) {
    uint64_t milliseconds = 7;
    EXPECT_FALSE(ParseDuration(text, &milliseconds)) << text;
    EXPECT_EQ(milliseconds, 7u) << text;
  }
}

TEST(DurationProblem, TheSettingsRangeAndOff) {
  const DurationSetting stop = {30000, "30s", 6000, 86400000, false};
  const DurationSetting optional = {30001, "0s", 60000, 3600000, true};
  const struct {
    const DurationSetting* setting;
    const char* text;
    const char* problem;  // "" when valid
    uint64_t milliseconds;
  } cases[] = {
      {&stop, "30s", "", 30000},
      {&stop, "6s", "", 6000},
      {&stop, "1d", "", 86400000},
      {&stop, "24h", "", 86400000},
      {&stop, "5s", "must be at least 6s", 0},
      {&stop, "25h", "must be at most 1d", 0},
      {&stop, "0s", "cannot be off; the shortest is 6s", 0},
      {&stop, "30 s", "expected a duration such as \"90s\", \"5m\", \"1h\" or \"1d\", found \"30 s\"", 0},
      {&optional, "0s", "", 0},
      {&optional, "0m", "off is written \"0s\"", 0},
      {&optional, "59s", "must be at least 1m", 0},
      {&optional, "off",
       "expected a duration such as \"90s\", \"5m\", \"1h\" or \"1d\" (\"0s\": off), found \"off\"", 0},
  };
  for (const auto& c : cases) {
    uint64_t milliseconds = 99;
    EXPECT_EQ(DurationProblem(c.text, *c.setting, &milliseconds), c.problem) << c.text;
    EXPECT_EQ(DurationValue(c.text, *c.setting, &milliseconds), *c.problem == '\0') << c.text;
    EXPECT_EQ(milliseconds, *c.problem == '\0' ? c.milliseconds : 99u) << c.text;
  }
}

}  // namespace
}  // namespace vexlo
