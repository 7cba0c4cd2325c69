#include "core/expand.h"

#include <gtest/gtest.h>

#include "support/log_recorder.h"

namespace vexlo {
namespace {

using testing_support::RecordedLines;
using testing_support::RecordLine;

FixedExpansionValues Fixed() {
  FixedExpansionValues fixed;
  fixed.executable_directory = "C:\\apps\\svc\\";
  fixed.launcher_temp_dir = "";
  fixed.jvm_home = JvmHomeFor("C:\\jre\\bin\\javaw.exe");
  fixed.system_temp_dir = "C:\\Temp\\";
  return fixed;
}

std::string Expanded(std::string text, const std::vector<std::string>& environment = {}) {
  ExpandText(text, Fixed(), environment, RecordLine);
  return text;
}

TEST(JvmHomeFor, DropsTheExecutableName) {
  EXPECT_EQ(JvmHomeFor("C:\\jre\\bin\\javaw.exe"), "C:\\jre\\bin\\..");
  EXPECT_EQ(JvmHomeFor("C:\\jre\\bin\\java.exe"), "C:\\jre\\bin\\..");
  EXPECT_EQ(JvmHomeFor("C:\\jre\\bin\\JAVAW.EXE"), "C:\\jre\\bin\\J..");  // exact case only
  EXPECT_EQ(JvmHomeFor("x"), "..");
}

TEST(ExpandText, FixedTokens) {
  EXPECT_EQ(Expanded("${launcher:sys.jvmHome}\\lib"), "C:\\jre\\bin\\..\\lib");
  EXPECT_EQ(Expanded("%VEXLO_EXEDIR%app.jar"), "C:\\apps\\svc\\app.jar");
  EXPECT_EQ(Expanded("${TAVRELIUM_EXEDIR}a;%TAVRELIUM_PATHLIST_SEPARATOR%b"), "C:\\apps\\svc\\a;;b");
  EXPECT_EQ(Expanded("[%VEXLO_TEMPDIR%]"), "[]");  // no included files: empty
  EXPECT_EQ(Expanded("${launcher:sys.tempDir}x"), "C:\\Temp\\x");
  EXPECT_EQ(Expanded("${NO_SUCH_VARIABLE} %NOPE%"), "${NO_SUCH_VARIABLE} %NOPE%");
}

// Every fixed token, aliases included, each with a value of its own.
TEST(ExpandText, EveryFixedTokenHasItsValue) {
  FixedExpansionValues fixed;
  fixed.executable_directory = "C:\\apps\\svc\\";
  fixed.launcher_temp_dir = "C:\\Temp\\vxl1.tmp_dir7";
  fixed.jvm_home = "C:\\jre\\bin\\..";
  fixed.system_temp_dir = "C:\\Temp\\";
  const std::string& exe = fixed.executable_directory;
  const std::string& temp = fixed.launcher_temp_dir;
  const std::string& jvm = fixed.jvm_home;
  const struct {
    const char* token;
    std::string value;
  } cases[] = {
      {"%VEXLO_EXEDIR%", exe},
      {"%TAVRELIUM_EXEDIR%", exe},
      {"%VEXLO_TEMPDIR%", temp},
      {"%TAVRELIUM_TEMPDIR%", temp},
      {"%VEXLO_PATHLIST_SEPARATOR%", ";"},
      {"%TAVRELIUM_PATHLIST_SEPARATOR%", ";"},
      {"%VEXLO_JVM_HOME%", jvm},
      {"%TAVRELIUM_JVM_HOME%", jvm},
      {"${VEXLO_EXEDIR}", exe},
      {"${TAVRELIUM_EXEDIR}", exe},
      {"${VEXLO_TEMPDIR}", temp},
      {"${TAVRELIUM_TEMPDIR}", temp},
      {"${VEXLO_PATHLIST_SEPARATOR}", ";"},
      {"${TAVRELIUM_PATHLIST_SEPARATOR}", ";"},
      {"${VEXLO_JVM_HOME}", jvm},
      {"${TAVRELIUM_JVM_HOME}", jvm},
      {"${launcher:sys.launcherDirectory}", exe},
      {"${launcher:sys.launcherTempDirectory}", temp},
      {"${launcher:sys.pathlistSeparator}", ";"},
      {"${launcher:sys.jvmHome}", jvm},
      {"${launcher:sys.tempDir}", fixed.system_temp_dir},
  };
  for (const auto& c : cases) {
    std::string text = std::string("<") + c.token + ">" + c.token;
    ExpandText(text, fixed, {}, RecordLine);
    EXPECT_EQ(text, "<" + c.value + ">" + c.value) << c.token;
  }
}

TEST(ExpandText, EveryOccurrenceIsReplacedAndLogged) {
  RecordedLines().clear();
  EXPECT_EQ(Expanded("%VEXLO_EXEDIR%|%VEXLO_EXEDIR%|%VEXLO_EXEDIR%"),
            "C:\\apps\\svc\\|C:\\apps\\svc\\|C:\\apps\\svc\\");
  ASSERT_EQ(RecordedLines().size(), 3u);
  EXPECT_EQ(RecordedLines()[0],
            "expanding %VEXLO_EXEDIR% to C:\\apps\\svc\\ in C:\\apps\\svc\\|%VEXLO_EXEDIR%|%VEXLO_EXEDIR%.");
}

TEST(ExpandText, EnvironmentNamesAsGivenAndInCapitals) {
  const std::vector<std::string> environment = {"Path=C:\\bin", "=C:=C:\\hidden", "NOEQUALS"};
  EXPECT_EQ(Expanded("${Path}|${PATH}|${path}", environment), "C:\\bin|C:\\bin|${path}");
}

TEST(ExpandText, FixedTokensWinOverVariables) {
  EXPECT_EQ(Expanded("${VEXLO_EXEDIR}", {"VEXLO_EXEDIR=D:\\other\\"}), "C:\\apps\\svc\\");
}

TEST(ExpandText, ValuesAreNotExpandedAgain) {
  // A value that contains its own token is inserted once.
  EXPECT_EQ(Expanded("${FOO}", {"FOO=a${FOO}b"}), "a${FOO}b");
  EXPECT_EQ(Expanded("${foo}", {"foo=a${foo}b"}), "a${foo}b");
  // A value bringing in a later variable's token is expanded by that later
  // variable; an earlier one's is not.
  EXPECT_EQ(Expanded("${A}", {"A=${B}", "B=done"}), "done");
  EXPECT_EQ(Expanded("${B}", {"A=x", "B=${A}"}), "${A}");
}

TEST(ExpandText, EmptyValueRemovesTheTokenAndTextGrows) {
  EXPECT_EQ(Expanded("a${EMPTY}b", {"EMPTY="}), "ab");
  const std::string big(10000, 'v');
  const std::string result = Expanded("${BIG}${BIG}", {"BIG=" + big});
  EXPECT_EQ(result.size(), 20000u);  // past any fixed 8 KB buffer
}

TEST(ReplaceAll, ContinuesBehindTheInsertedValue) {
  std::string text = "xx";
  ReplaceAll(text, "x", "xx", RecordLine);
  EXPECT_EQ(text, "xxxx");
  text = "abc";
  ReplaceAll(text, "", "z", RecordLine);
  EXPECT_EQ(text, "abc");
}

}  // namespace
}  // namespace vexlo
