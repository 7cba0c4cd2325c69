// Locale detection under Wine. ctest runs these tests with LC_ALL=de_DE.UTF-8:
// Wine takes a process's locale from the Unix environment it starts with, and
// the processes a test starts inherit it (an LC_ALL in a child's Windows
// environment block changes nothing).
#include <gtest/gtest.h>

#include "support/launcher_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

class LocaleTest : public LauncherTest {};

WideString W(const char* ascii) {
  const std::string text(ascii);
  return WideString(text.begin(), text.end());
}

TEST_F(LocaleTest, GermanUserGetsTheGermanOverrides) {
  ASSERT_EQ(LANGIDFROMLCID(GetUserDefaultLCID()), 0x0407) << "run through ctest, which sets LC_ALL";
  BlockContents contents = DefaultContents();
  contents.locales = {{"de", {{20017, W("Beschreibung")}}},
                      {"de_AT", {{20017, W("Beschreibung AT")}}},
                      {"fr", {{20017, W("Description")}}}};
  const std::string probe = WriteProbe("probe.exe", contents);
  const ProcessResult result = Run(probe, "locale", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(SplitLines(result.out), std::vector<std::string>{"de_DE|de|DE|Beschreibung"});
  // Detected once the defaults are read: right behind the image walk.
  const std::vector<std::string> log = SplitLines(ReadWholeFile(tmp_ + "\\" + LogFiles().at(0)));
  const size_t walked = FindLine(log, "rawDataSize: ");
  ASSERT_LT(walked + 1, log.size());
  EXPECT_EQ(log[walked + 1], "language/country is de_DE");
}

// The child start of the real launcher logs the same.
TEST_F(LocaleTest, ChildStartLogsTheLocale) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  EXPECT_EQ(Run(exe, "svc __tvl_restart", {L"VEXLO_LOG=yes"}).exit_code, 1u);
  const std::vector<std::string> log = SplitLines(ReadWholeFile(tmp_ + "\\" + LogFiles().at(0)));
  EXPECT_TRUE(HasLine(log, "language/country is de_DE"));
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
