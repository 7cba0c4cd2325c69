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

// Names of one file compare equal; names of different files do not.
TEST(ComparablePath, NamesOfOneFileMeet) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"C:\\app\\x.vmoptions", "C:\\app\\.\\x.vmoptions", true},
      {"C:\\app\\x.vmoptions", "c:/APP//sub\\..\\X.vmoptions", true},
      {"C:\\app\\x.vmoptions", "C:\\app\\x.vmoptions. .", true},
      {"C:\\x", "C:\\..\\..\\x", true},  // never above the drive
      {"\\\\srv\\share\\x", "\\\\SRV\\share\\..\\x", true},  // nor above the share
      {"\\\\srv\\share", "\\\\srv\\share\\", true},
      {"C:\\app\\x.vmoptions", "C:\\app\\y.vmoptions", false},
      {"C:\\app\\x", "D:\\app\\x", false},
      {"C:\\a\\..x", "C:\\x", false},
      {"\\\\srv\\one\\x", "\\\\srv\\two\\x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComparablePath(c.a) == ComparablePath(c.b), c.same) << c.a << " " << c.b;
  }
  EXPECT_EQ(ComparablePath("C:/App/./lib/../X.txt"), "c:\\app\\x.txt");
  EXPECT_EQ(ComparablePath(""), "");
}

}  // namespace
}  // namespace vexlo
