#include "sys/path_text.h"

#include <gtest/gtest.h>

#include "sys/wide.h"

namespace vexlo {
namespace {

std::string Collapsed(std::string text) {
  CollapseBackslashes(text);
  return text;
}

TEST(CollapseBackslashes, KeepsTheFirstTwoCharacters) {
  EXPECT_EQ(Collapsed("\\\\server\\\\share\\\\\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(Collapsed("C:\\\\dir\\\\\\file.exe"), "C:\\dir\\file.exe");
  EXPECT_EQ(Collapsed("\\\\\\\\a"), "\\\\a");  // the run after the kept two joins them
  EXPECT_EQ(Collapsed("\\\\"), "\\\\");
  EXPECT_EQ(Collapsed("a"), "a");
  EXPECT_EQ(Collapsed(""), "");
  EXPECT_EQ(Collapsed("C:/a//b"), "C:/a//b");  // only backslashes
}

TEST(CollapseBackslashes, WideForm) {
  WideString text = VEXLO_WIDE("C:\\\\a\\\\b");
  CollapseBackslashes(text);
  EXPECT_TRUE(text == VEXLO_WIDE("C:\\a\\b"));
}

TEST(IsRelativePath, DrivesAndNetworkPathsAreAbsolute) {
  EXPECT_FALSE(IsRelativePath("C:\\dir"));
  EXPECT_FALSE(IsRelativePath("\\\\server\\share"));
  EXPECT_FALSE(IsRelativePath("\"C:\\quoted"));
  EXPECT_TRUE(IsRelativePath("\\dir"));
  EXPECT_TRUE(IsRelativePath("C:dir"));
  EXPECT_TRUE(IsRelativePath(".\\x"));
  EXPECT_TRUE(IsRelativePath("C:"));  // shorter than three characters
  EXPECT_TRUE(IsRelativePath("\"C:"));
  EXPECT_TRUE(IsRelativePath(""));
  EXPECT_TRUE(IsRelativePath("app.jar"));
}

}  // namespace
}  // namespace vexlo
