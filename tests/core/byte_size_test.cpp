#include "core/byte_size.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(ParseSize, OneNumberAndOneUnit) {
  const struct {
    const char* text;
    uint64_t bytes;
  } valid[] = {{"64KB", 65536}, {"10MB", 10485760}, {"1GB", 1073741824}, {"0KB", 0}, {"1536KB", 1572864},
               {"1024GB", uint64_t{1} << 40}};
  for (const auto& c : valid) {
    uint64_t bytes = 1;
    EXPECT_TRUE(ParseSize(c.text, &bytes)) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
  for (const char* text : {"", "MB", "10", "10B", "10M", "10mb", "10Mb", "10MiB", "1TB", "10 MB", " 10MB", "10MB ",
                           "+1MB", "-1MB", "01MB", "00KB", "1.5MB", "1GB512MB", "1025GB", "99999999999999999999GB"}) {
    uint64_t bytes = 7;
    EXPECT_FALSE(ParseSize(text, &bytes)) << text;
    EXPECT_EQ(bytes, 7u) << text;
  }
}

TEST(SizeProblem, TheSettingsRange) {
  const SizeSetting setting = {30002, "10MB", 65536, 1073741824};
  const struct {
    const char* text;
    const char* problem;  // "" when valid
    uint64_t bytes;
  } cases[] = {
      {"64KB", "", 65536},
      {"1GB", "", 1073741824},
      {"63KB", "must be at least 64KB", 0},
      {"0KB", "must be at least 64KB", 0},
      {"1025MB", "must be at most 1GB", 0},
      {"10 MB", "expected a size such as \"64KB\", \"10MB\" or \"1GB\", found \"10 MB\"", 0},
  };
  for (const auto& c : cases) {
    uint64_t bytes = 99;
    EXPECT_EQ(SizeProblem(c.text, setting, &bytes), c.problem) << c.text;
    EXPECT_EQ(bytes, *c.problem == '\0' ? c.bytes : 99u) << c.text;
  }
}

}  // namespace
}  // namespace vexlo
