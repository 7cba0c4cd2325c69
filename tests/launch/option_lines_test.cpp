#include "launch/option_lines.h"

#include <gtest/gtest.h>

#include "support/fake_option_system.h"

namespace vexlo {
namespace {

using testing_support::FakeOptionSystem;
using Lines = std::vector<std::string>;

TEST(OptionFileLines, CleansLinesAsWritten) {
  const struct {
    const char* name;
    std::string contents;
    Lines lines;
  } cases[] = {
      {"blanks and line ends", "  -Xmx512m  \r\n-Xms64m\n\n   \n", {"-Xmx512m", "-Xms64m"}},
      {"comments", "# a comment\n  # indented comment\n-Da=1\n#-Db=2", {"-Da=1"}},
      {"tab is text", "\t# not a comment\n\t-Da=1\t\n", {"\t# not a comment", "\t-Da=1\t"}},
      {"blank inside", "-Xmx512m -Xms64m\n", {"-Xmx512m -Xms64m"}},
      {"byte-order mark", "\xEF\xBB\xBF-Da=1\n\xEF\xBB\xBF-Db=2", {"-Da=1", "\xEF\xBB\xBF-Db=2"}},
      {"only a mark", "\xEF\xBB\xBF", {}},
      {"several line ends", "-Da=1\r\r\n", {"-Da=1"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(OptionFileLines(c.contents), c.lines) << c.name;
  const std::string long_line = "-classpath/a " + std::string(100000, 'x');
  EXPECT_EQ(OptionFileLines(long_line + "\r\n-Dnext"), (Lines{long_line, "-Dnext"}));
}

TEST(HandleOptionLine, PrefixesChooseTheKind) {
  FakeOptionSystem fake;
  OptionAssembly assembly;
  for (const char* text : {"-Xmx1g", "-classpath", "-classpath/a", "-include-options", "-classpath x.jar",
                           "-classpath/p p.jar", "-classpath/a a.jar", "-classpath/a b.jar", "-classpathx",
                           "-Dname=a b \"c\""}) {
    HandleOptionLine(nullptr, text, &assembly, fake.System());
  }
  EXPECT_EQ(assembly.options,
            (Lines{"-Xmx1g", "-classpath", "-classpath/a", "-include-options", "-classpathx", "-Dname=a b \"c\""}));
  EXPECT_EQ(assembly.overrides.replace, std::string("x.jar"));
  EXPECT_EQ(assembly.overrides.prepend, std::string("p.jar"));
  EXPECT_EQ(assembly.overrides.append, std::string("b.jar"));  // the last one wins
}

TEST(HandleOptionLine, IncludesResolveAgainstTheIncludingFile) {
  FakeOptionSystem fake;
  fake.files["C:\\app\\common.vmoptions"] = "-Dcommon=app\n-include-options nested.vmoptions\n";
  fake.files["C:\\app\\nested.vmoptions"] = "-Dnested=app\n";
  fake.files["D:\\cfg\\common.vmoptions"] = "-Dcommon=cfg\n-include-options nested.vmoptions";
  fake.files["D:\\cfg\\nested.vmoptions"] = "-Dnested=cfg\n-Dexe=%EXEDIR%";
  fake.files["D:\\cfg\\svc.vmoptions"] = "-include-options common.vmoptions";
  OptionAssembly assembly;
  HandleOptionLine(nullptr, "-include-options common.vmoptions", &assembly, fake.System());
  HandleOptionLine(nullptr, "-include-options %EXEDIR%missing.vmoptions", &assembly, fake.System());
  HandleOptionLine(nullptr, "-include-options D:\\cfg\\svc.vmoptions", &assembly, fake.System());
  EXPECT_EQ(assembly.options,
            (Lines{"-Dcommon=app", "-Dnested=app", "-Dcommon=cfg", "-Dnested=cfg", "-Dexe=C:\\app\\"}));
  EXPECT_EQ(fake.open_files, 0);
  ASSERT_GE(fake.log.size(), 2u);
  EXPECT_EQ(fake.log[0].rfind("adding vmoptions from <C:\\app\\common.vmoptions> (common.vmoptions) (", 0), 0u);
  // A missing file is only seen in the log.
  bool missing_logged = false;
  for (const std::string& line : fake.log) {
    missing_logged |= line.rfind("adding vmoptions from <C:\\app\\missing.vmoptions> (C:\\app\\missing.vmoptions) (", 0) == 0;
  }
  EXPECT_TRUE(missing_logged);
}

// Files that include each other stop with an error line; the same file
// included twice side by side is read twice.
TEST(HandleOptionLine, IncludeChainsEnd) {
  FakeOptionSystem fake;
  fake.files["C:\\app\\a.vmoptions"] = "-Da\n-include-options b.vmoptions\n-include-options b.vmoptions\n";
  fake.files["C:\\app\\b.vmoptions"] = "-Db\n-include-options A.VMOPTIONS\n";
  OptionAssembly assembly;
  HandleOptionLine(nullptr, "-include-options a.vmoptions", &assembly, fake.System());
  EXPECT_EQ(assembly.options, (Lines{"-Da", "-Db", "-Db"}));
  EXPECT_TRUE(fake.Logged("ERROR: vmoptions file <C:\\app\\A.VMOPTIONS> is already being read: include refused"));
  EXPECT_TRUE(assembly.open_files.empty());
  EXPECT_EQ(fake.open_files, 0);
}

// A file that includes itself under another of its names (the fake holds
// both, as Windows opens both) is read once.
TEST(HandleOptionLine, AnIncludeLoopIsFoundUnderAnotherName) {
  FakeOptionSystem fake;
  fake.files["C:\\app\\x.vmoptions"] = fake.files["C:\\app\\.\\x.vmoptions"] = "-Dx\n-include-options .\\x.vmoptions";
  OptionAssembly assembly;
  HandleOptionLine(nullptr, "-include-options x.vmoptions", &assembly, fake.System());
  EXPECT_EQ(assembly.options, (Lines{"-Dx"}));
  EXPECT_TRUE(fake.Logged("ERROR: vmoptions file <C:\\app\\.\\x.vmoptions> is already being read: include refused"));
}

TEST(HandleOptionLine, NestingStopsAtAFixedDepth) {
  FakeOptionSystem fake;
  for (int i = 0; i < 40; ++i) {
    fake.files["C:\\app\\f" + std::to_string(i) + ".vmoptions"] =
        "-Df" + std::to_string(i) + "\n-include-options f" + std::to_string(i + 1) + ".vmoptions\n";
  }
  OptionAssembly assembly;
  HandleOptionLine(nullptr, "-include-options f0.vmoptions", &assembly, fake.System());
  ASSERT_EQ(assembly.options.size(), kMaxNestedOptionFiles);
  EXPECT_EQ(assembly.options.back(), "-Df31");
  EXPECT_TRUE(fake.Logged("ERROR: vmoptions files nested deeper than 32: <C:\\app\\f32.vmoptions> not read"));
  EXPECT_EQ(fake.open_files, 0);
}

// Each level includes the next one twice: 2^13 reads without a cap.
TEST(HandleOptionLine, IncludedFilesAreCapped) {
  FakeOptionSystem fake;
  for (int i = 0; i < 13; ++i) {
    const std::string next = "-include-options f" + std::to_string(i + 1) + ".vmoptions\n";
    fake.files["C:\\app\\f" + std::to_string(i) + ".vmoptions"] = next + next;
  }
  fake.files["C:\\app\\f13.vmoptions"] = "-Dleaf";
  OptionAssembly assembly;
  HandleOptionLine(nullptr, "-include-options f0.vmoptions", &assembly, fake.System());
  EXPECT_EQ(assembly.files_read, kMaxOptionFilesRead);
  EXPECT_LT(assembly.options.size(), kMaxOptionFilesRead);
  EXPECT_FALSE(assembly.options.empty());
  EXPECT_EQ(fake.open_files, 0);
  EXPECT_TRUE(fake.LoggedStartingWith("ERROR: vmoptions files: more than 1000 included: <C:\\app\\f"));
}

TEST(ReadOptionsFile, ExpandsEachLineOnce) {
  FakeOptionSystem fake;
  fake.files["C:\\cfg\\svc.vmoptions"] = "-Dexe=%EXEDIR%\n-include-options %EXEDIR%x.vmoptions\n";
  fake.files["C:\\app\\x.vmoptions"] = "-Dx=1";
  OptionAssembly assembly;
  void* file = fake.System().open_file(&fake, "C:\\cfg\\svc.vmoptions");
  ReadOptionsFile("C:\\cfg\\svc.vmoptions", file, &assembly, fake.System());
  EXPECT_EQ(assembly.options, (Lines{"-Dexe=C:\\app\\", "-Dx=1"}));
  ReadOptionsFile(nullptr, nullptr, &assembly, fake.System());  // no file: nothing
  EXPECT_EQ(assembly.options.size(), 2u);
}

}  // namespace
}  // namespace vexlo
