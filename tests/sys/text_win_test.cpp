// Conversions between UTF-16 and code pages, and the executable path built
// with them, under the real system. UTF-7 stands in for UTF-8 as the system
// code page (Wine cannot be set to it): both refuse the default-character
// arguments.
#include <gtest/gtest.h>

#include "core/config_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

TEST(WideToNarrow, CodePagesWithAndWithoutDefaultCharacter) {
  const struct {
    const wchar_t* wide;
    UINT code_page;
    bool converts;
    const char* narrow;
  } cases[] = {
      {L"abc", CP_UTF7, true, "abc"},
      {L"abc", CP_UTF8, true, "abc"},
      {L"\x65E5", CP_UTF8, true, "\xE6\x97\xA5"},
      {L"a\xD800", CP_UTF8, false, ""},  // an unpaired surrogate has no UTF-8 form
      {L"\x00E9", 1252, true, "\xE9"},
      {L"a\x65E5", 1252, false, "a?"},
      {L"abc", CP_ACP, true, "abc"},
      {L"abc", 12345, false, ""},  // no such code page
      {L"", CP_UTF7, true, ""},
  };
  for (const auto& c : cases) {
    std::string narrow = "left over";
    EXPECT_EQ(WideToNarrow(c.wide, c.code_page, &narrow), c.converts) << c.code_page << " " << c.narrow;
    EXPECT_EQ(narrow, c.narrow) << c.code_page;
  }
}

TEST(WideToNarrow, EveryCharacterRoundTripsThroughUtf7) {
  const WideString wide = L"C:\\d\x65E5\\~+-a b\\probe.exe";
  std::string narrow;
  ASSERT_TRUE(WideToNarrow(wide, CP_UTF7, &narrow));
  EXPECT_EQ(narrow.find('\0'), std::string::npos);
  EXPECT_EQ(NarrowToWide(narrow, CP_UTF7), wide);
  EXPECT_EQ(NarrowToWide("\xFF", CP_UTF8), L"\xFFFD");
  EXPECT_EQ(NarrowToWide("x", 12345), L"");
}

// Runs of backslashes become one, past the first two characters; a trail
// byte that equals a backslash (Shift-JIS) is no backslash; text in a code
// page that cannot convert it stays as it is.
TEST(CollapseNarrowBackslashes, CollapsesRunsOnTheWideForm) {
  const struct {
    const char* narrow;
    UINT code_page;
    const char* collapsed;
  } cases[] = {
      {"C:\\\\dir\\\\\\file", CP_ACP, "C:\\dir\\file"},
      {"\\\\\\\\server\\\\share\\", CP_ACP, "\\\\server\\share\\"},
      {"\\\\", CP_ACP, "\\\\"},
      // 0x95 0x5C is one character: a backslash after it is no run, two are.
      {"C:\\\x95\\\\x", 932, "C:\\\x95\\\\x"},
      {"C:\\\x95\\\\\\x", 932, "C:\\\x95\\\\x"},
      {"a\\\\b", 12345, "a\\\\b"},             // no such code page
  };
  for (const auto& c : cases) {
    std::string text = c.narrow;
    CollapseNarrowBackslashes(text, c.code_page);
    EXPECT_EQ(text, c.collapsed) << c.narrow << " in " << c.code_page;
  }
}

// A code page without default character is no failure of the executable
// path: its narrow form is this executable's path in that code page.
TEST(ComputeExecutablePaths, NarrowPathInACodePageWithoutDefaultCharacter) {
  const ExecutablePaths ansi = ComputeExecutablePaths(CP_ACP);
  EXPECT_EQ(ansi.narrow, ExecutablePath());
  ASSERT_GE(ansi.narrow.size(), 4u);
  EXPECT_EQ(ansi.narrow.substr(ansi.narrow.size() - 4), ".exe");
  EXPECT_EQ(ansi.directory, ansi.narrow.substr(0, ansi.narrow.rfind('\\') + 1));

  const ExecutablePaths utf7 = ComputeExecutablePaths(CP_UTF7);
  EXPECT_EQ(utf7.long_wide, ansi.long_wide);
  EXPECT_EQ(utf7.narrow.find('\0'), std::string::npos);
  EXPECT_EQ(NarrowToWide(utf7.narrow, CP_UTF7), ansi.long_wide);
}

}  // namespace
}  // namespace vexlo
