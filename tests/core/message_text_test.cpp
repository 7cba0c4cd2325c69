#include "core/message_text.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(SubstituteArgument, FirstPlaceholderOnly) {
  EXPECT_EQ(SubstituteArgument("An internal error occurred (error code: {0})", "16"),
            "An internal error occurred (error code: 16)");
  EXPECT_EQ(SubstituteArgument("{0} and {0}", "x"), "x and {0}");
  EXPECT_EQ(SubstituteArgument("File or directory {0} not found or empty\n", "a.jar"),
            "File or directory a.jar not found or empty\n");
  EXPECT_EQ(SubstituteArgument("no placeholder", "x"), "no placeholder");
  EXPECT_EQ(SubstituteArgument("", "x"), "");
  EXPECT_EQ(SubstituteArgument("{0", "x"), "{0");
}

TEST(SubstituteArgument, LongArgumentIsCutAtTheCapacity) {
  const std::string argument(20000, 'a');
  const std::string result = SubstituteArgument("start {0} end", argument);
  EXPECT_EQ(result.size(), kMessageCapacity - 1);
  EXPECT_EQ(result.substr(0, 7), "start a");
}

TEST(ComposeShownText, LogPathSuffix) {
  EXPECT_EQ(ComposeShownText("text", nullptr), "text");
  EXPECT_EQ(ComposeShownText("text", "C:\\Temp\\tvl_nlog_2"), "text\n\nLog: C:\\Temp\\tvl_nlog_2");
  const std::string long_text(kMessageCapacity, 'x');
  EXPECT_EQ(ComposeShownText(long_text, "C:\\log").size(), kMessageCapacity - 1);
}

}  // namespace
}  // namespace vexlo
