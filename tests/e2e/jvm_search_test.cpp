// The whole JVM search (searchJvm) in real processes: location files below
// the installation directory, the configured sequence, the relative pass,
// previous installations and the fixed variables, with the source and the
// location text each reports.
#include <gtest/gtest.h>

#include <functional>

#include "support/jvm_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

const char kInstallations[] = "SOFTWARE\\morvane-digital\\tavrelium\\installations";

class SearchJvmTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    // The installation directory (record 10003) of every probe here.
    CreateDirectories(work_ + "\\inst\\.tavrelium");
  }
  // Writes inst\.tavrelium\<name>.
  void LocationFile(const char* name, const std::string& contents) {
    ASSERT_TRUE(WriteWholeFile(work_ + "\\inst\\.tavrelium\\" + name, contents));
  }
  std::map<std::string, std::string> Search(const std::string& sequence, const std::string& minimum = "",
                                            std::vector<std::wstring> environment = {},
                                            std::vector<std::pair<int32_t, std::string>> records = {}) {
    records.insert(records.begin(), {{128, sequence}, {126, minimum}, {10003, "inst\\"}});
    return Fields(RunProbe(JvmProbe(records), "search", std::move(environment)));
  }
  std::string Java(const std::string& home) const { return Lower(home + "\\bin\\java.exe"); }
};

TEST_F(SearchJvmTest, RegistryFindsOnlyAnOldRuntimeSoJavaHomeIsTaken) {
  const std::string java6 = MakeRuntime("jre6", "1.6.0_45");
  SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.6", "JavaHome", java6);
  SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment", "CurrentVersion", "1.6");
  RuntimeOptions jdk;
  jdk.under_jre = true;
  const std::string jdk7 = MakeRuntime("jdk7", "1.7.0_80", jdk);
  const auto found = Search("Y;EJAVA_HOME;EJDK_HOME;", "1.7", {L"JAVA_HOME=" + Widen(jdk7)});
  EXPECT_EQ(found.at("source"), "3");
  EXPECT_EQ(found.at("location"), "JAVA_HOME");
  EXPECT_EQ(found.at("path"), Lower(jdk7 + "\\jre\\bin\\java.exe"));
  EXPECT_EQ(LastLogLines("Testing location "),
            (std::vector<std::string>{"Testing location  (type Y)", "Testing location JAVA_HOME (type E)"}));
}

TEST_F(SearchJvmTest, EachSourceReportsItsOwnLocation) {
  const std::string rt = MakeRuntime("rt", "17.0.2");
  const std::string old = MakeRuntime("old", "1.4.2_19");
  std::string rt_slashes = rt;
  for (char& c : rt_slashes) c = c == '\\' ? '/' : c;
  const std::vector<std::pair<int32_t, std::string>> previous = {{160, "Dirs"}};
  const std::string installation = work_ + "\\app";
  MakeRuntime("app\\jre", "17.0.2");

  const struct {
    const char* what;
    std::string sequence;
    std::vector<std::wstring> environment;
    std::function<void()> prepare;
    const char* source;
    std::string location;
    std::string path;
    std::vector<std::pair<int32_t, std::string>> records;
  } cases[] = {
      {"preferred location", "A" + old, {}, [&] { LocationFile("pref_jre.cfg", "rt\r\n"); }, "2", "rt",
       Java(rt)},
      {"directory, expanded", "Bnone;A%VEXLO_EXEDIR%rt", {}, [] {}, "2", work_ + "\\rt", Java(rt)},
      {"variable", "EMY_JAVA", {L"MY_JAVA=" + Widen(rt_slashes)}, [] {}, "3", "MY_JAVA", Java(rt)},
      {"search path", "Sany text", {L"PATH=" + Widen(rt) + L"\\bin;C:\\windows\\system32;C:\\windows"}, [] {},
       "1", "any text", Java(rt)},
      {"registry", "Y", {}, [&] {
         SeedString(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\JDK\\17", "JavaHome", rt);
       }, "4", "(untouched)", Java(rt)},
      {"installer location", "A" + old, {}, [&] { LocationFile("inst_jre.cfg", rt + "\n"); }, "2", rt, Java(rt)},
      {"relative pass", "Aold", {}, [] {}, "2", "old", Java(old)},
      {"previous installation (user)", "", {}, [&] {
         SeedString(HKEY_CURRENT_USER, kInstallations, "Dirs", installation);
       }, "4", "(untouched)", Java(installation + "\\jre"), previous},
      {"previous installation (machine)", "", {}, [&] {
         SeedString(HKEY_LOCAL_MACHINE, kInstallations, "Dirs", installation);
       }, "4", "(untouched)", Java(installation + "\\jre"), previous},
      {"VEXLO_JAVA_HOME", "", {L"VEXLO_JAVA_HOME=" + Widen(rt), L"TAVRELIUM_JAVA_HOME=" + Widen(old)}, [] {}, "3",
       "VEXLO_JAVA_HOME", Java(rt)},
      {"TAVRELIUM_JAVA_HOME", "", {L"TAVRELIUM_JAVA_HOME=" + Widen(rt)}, [] {}, "3", "TAVRELIUM_JAVA_HOME",
       Java(rt)},
      {"nothing", "A" + old + ";Enone;S", {}, [] {}, "0", "(untouched)", ""},
  };
  for (const auto& c : cases) {
    c.prepare();
    const auto found = Search(c.sequence, "1.5", c.environment, c.records);
    // A variable's slashes are turned before anything else sees the path.
    for (const std::string& line : LastLogLines("checkJavaExe (")) {
      EXPECT_EQ(line.find('/'), std::string::npos) << c.what << ": " << line;
    }
    EXPECT_EQ(found.at("source"), c.source) << c.what;
    EXPECT_EQ(found.at("location"), c.location) << c.what;
    if (!c.path.empty()) EXPECT_EQ(found.at("path"), c.path) << c.what;
    DeleteFileA((work_ + "\\inst\\.tavrelium\\pref_jre.cfg").c_str());
    DeleteFileA((work_ + "\\inst\\.tavrelium\\inst_jre.cfg").c_str());
    RemoveSeededKeys();
  }
}

TEST_F(SearchJvmTest, PreferredLocationComesFirstAndAnEmptyLineIsTheExecutableDirectory) {
  const std::string older = MakeRuntime("older", "1.8.0_31");
  const std::string newer = MakeRuntime("newer", "21.0.2");
  LocationFile("pref_jre.cfg", older + "\r\n" + newer + "\r\n");
  auto found = Search("A" + newer);
  EXPECT_EQ(found.at("location"), older);
  EXPECT_EQ(found.at("path"), Java(older));
  EXPECT_EQ(LastLogLines("Has preferred location "), std::vector<std::string>{"Has preferred location " + older});
  EXPECT_EQ(LastLogLines("Using preferred location").size(), 1u);
  EXPECT_TRUE(LastLogLines("Testing location").empty());

  MakeRuntime("");  // the executable directory as a runtime
  LocationFile("pref_jre.cfg", "\r\n");
  found = Search("A" + newer);
  EXPECT_EQ(found.at("source"), "2");
  EXPECT_EQ(found.at("location"), "");
  EXPECT_EQ(found.at("path"), Java(work_));
}

TEST_F(SearchJvmTest, EmptySequenceStillTriesTheOtherSteps) {
  const std::string old = MakeRuntime("old", "1.4.2_19");
  LocationFile("pref_jre.cfg", old);
  LocationFile("inst_jre.cfg", old + "\n");
  SeedString(HKEY_CURRENT_USER, kInstallations, "Dirs", work_ + "\\none");
  SeedString(HKEY_LOCAL_MACHINE, kInstallations, "Dirs", work_ + "\\none2");
  const auto found = Search("", "1.5", {L"VEXLO_JAVA_HOME=" + Widen(work_ + "\\v"),
                                        L"TAVRELIUM_JAVA_HOME=" + Widen(work_ + "\\t")},
                            {{160, "Dirs"}});
  EXPECT_EQ(found.at("source"), "0");
  std::vector<std::string> steps;
  for (const std::string& line : NewestLog()) {
    for (const char* step : {"Searching for a JVM", "Has preferred location", "Has installer location",
                             "found installations", "Search sequence finished", "Testing"}) {
      if (line.rfind(step, 0) == 0) steps.push_back(step);
    }
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"Searching for a JVM", "Has preferred location",
                                             "Has installer location", "found installations",
                                             "found installations", "Search sequence finished"}));
  // The two fixed variables come last.
  const std::vector<std::string> checked = LastLogLines("checkJavaExe (");
  ASSERT_GE(checked.size(), 2u);
  EXPECT_EQ(checked[checked.size() - 2].rfind("checkJavaExe (" + work_ + "\\v\\bin\\java.exe", 0), 0u);
  EXPECT_EQ(checked.back().rfind("checkJavaExe (" + work_ + "\\t\\bin\\java.exe", 0), 0u);
}

TEST_F(SearchJvmTest, RelativePassRetriesOnlyRelativeAndBEntries) {
  // Every runtime here fails the version test (the minimum is 99).
  const std::string a = MakeRuntime("a", "17.0.2");
  const std::string rel = MakeRuntime("rel", "17.0.2");
  const std::string b = MakeRuntime("b", "17.0.2");
  // The relative pass only looks for the file: it never tests or runs it.
  const auto expect_nothing_run_in_relative_pass = [&] {
    bool relative_pass = false;
    for (const std::string& line : NewestLog()) {
      relative_pass = relative_pass || line.rfind("Testing relative location ", 0) == 0;
      EXPECT_FALSE(relative_pass && line.rfind("checkJavaExe (", 0) == 0) << line;
    }
  };
  auto found = Search("A" + a + ";AC:x;xrel;B" + b, "99");
  EXPECT_EQ(found.at("source"), "2");
  EXPECT_EQ(found.at("location"), b);
  EXPECT_EQ(found.at("path"), Java(b));
  EXPECT_EQ(LastLogLines("Testing relative location "), std::vector<std::string>{"Testing relative location " + b});
  EXPECT_EQ(LastLogLines(Java(b) + " exists").size(), 1u);
  EXPECT_EQ(RunCount(b + "\\bin"), 1);  // the configured sequence's version run only
  expect_nothing_run_in_relative_pass();

  found = Search("A" + a + ";Rnothing;Arel", "99");
  EXPECT_EQ(found.at("location"), "rel");
  EXPECT_EQ(LastLogLines("Testing relative location "),
            (std::vector<std::string>{"Testing relative location nothing", "Testing relative location rel"}));
  EXPECT_EQ(RunCount(rel + "\\bin"), 1);
  expect_nothing_run_in_relative_pass();
  // Absolute A and R entries, other letters, missing runtimes: nothing.
  EXPECT_EQ(Search("A" + a + ";R" + b + ";Emissing;Bnothing", "99").at("source"), "0");
}

TEST_F(SearchJvmTest, RelativePassPreparesAPackedRuntime) {
  const std::string home = MakeRuntime("packed", "1.8.0_31");
  ASSERT_TRUE(CopyFileA(Unpack200DoublePath().c_str(), (home + "\\bin\\unpack200.exe").c_str(), FALSE));
  ASSERT_TRUE(WriteWholeFile(home + "\\lib\\rt.jar.pack", "RT"));
  const ProcessResult result = RunProbe(JvmProbe({{128, "Bpacked"}, {126, "99"}, {10003, "inst\\"}}), "search");
  EXPECT_EQ(Fields(result).at("location"), "packed");
  EXPECT_EQ(result.out.rfind("Preparing JRE ...\r\n", 0), 0u) << result.out;
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:RT");
}

TEST_F(SearchJvmTest, LowerCaseLettersOnlyLogTheirLine) {
  MakeRuntime("jre");
  const auto found = Search("xjre;yjre;1jre");
  EXPECT_EQ(found.at("source"), "0");
  EXPECT_EQ(LastLogLines("Testing location "),
            (std::vector<std::string>{"Testing location jre (type x)", "Testing location jre (type y)",
                                      "Testing location jre (type 1)"}));
  EXPECT_TRUE(LastLogLines("checkJavaExe (").empty());
}

TEST_F(SearchJvmTest, JdkRequirementByCandidateKind) {
  const std::string rt = MakeRuntime("rt", "17.0.2");
  const std::vector<std::pair<int32_t, std::string>> jdk_required = {{131, "1"}};
  // The search path names a Java executable directly: no lib\tools.jar test.
  auto found = Search("S", "", {L"PATH=" + Widen(rt) + L"\\bin;C:\\windows\\system32"}, jdk_required);
  EXPECT_EQ(found.at("source"), "1");
  EXPECT_EQ(found.at("path"), Java(rt));
  // A directory without lib\tools.jar is refused before anything runs.
  EXPECT_EQ(Search("A" + rt, "", {}, jdk_required).at("source"), "0");
  EXPECT_EQ(RunCount(rt + "\\bin"), 1);
  EXPECT_EQ(Search("A" + rt).at("source"), "2");
}

TEST_F(SearchJvmTest, OverlongTextsAreHandledWhole) {
  const std::string rt = MakeRuntime("rt", "17.0.2");
  LocationFile("pref_jre.cfg", "C:\\" + std::string(20000, 'p') + "\r\n");
  const std::string long_variable(20000, 'v');
  const auto found = Search("EJAVA_HOME;A" + std::string(9000, 'a') + ";EGOOD", "", {
      L"JAVA_HOME=C:\\" + std::wstring(long_variable.begin(), long_variable.end()), L"GOOD=" + Widen(rt)});
  EXPECT_EQ(found.at("source"), "3");
  EXPECT_EQ(found.at("location"), "GOOD");
  EXPECT_EQ(LastLogLines("Has preferred location ")[0].size(), std::string("Has preferred location C:\\").size() + 20000);
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
