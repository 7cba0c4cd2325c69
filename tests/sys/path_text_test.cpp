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

TEST(ComparablePath, NamesOfOneFileMeet) {
  EXPECT_EQ(ComparablePath("c:/App//sub\\..\\.\\X.txt. "), "c:\\app\\x.txt");
  EXPECT_EQ(ComparablePath("C:\\..\\..\\x"), "c:\\x");  // never above the drive
  EXPECT_EQ(ComparablePath("\\\\SRV\\share\\..\\x\\"), "\\\\srv\\share\\x");  // nor the share
  EXPECT_EQ(ComparablePath("C:\\a\\..x"), "c:\\a\\..x");
  EXPECT_NE(ComparablePath("\\\\srv\\one\\x"), ComparablePath("\\\\srv\\two\\x"));
}

}  // namespace
}  // namespace vexlo
