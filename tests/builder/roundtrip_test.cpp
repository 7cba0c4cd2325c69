// Build, inspect, build again: the same bytes for what vexlo-build wrote,
// the same records (and an honest warning) for blocks of other tools, and
// the reader's own error for damaged executables.
#include <gtest/gtest.h>

#include <sstream>

#include "builder_test_support.h"
#include "commands.h"
#include "compile.h"
#include "core/block_format.h"
#include "core/block_writer.h"
#include "inspect.h"
#include "support/test_icons.h"

namespace vexlo {
namespace builder {
namespace {

namespace fs = std::filesystem;
using testing_support::MinimalStub;
using testing_support::ReadBytes;
using testing_support::SourceDir;
using testing_support::WriteBytes;

class RoundTripTest : public testing_support::ScratchTest {
 protected:
  int BuildExe(const std::string& config, const std::string& output) {
    BuildRequest request;
    request.config = config;
    request.output = output;
    request.stub = stub_.u8string();
    request.runtime_jar_candidates = {(SourceDir() / "tests" / "builder" / "data" / "files" / "runtime.jar").u8string()};
    std::ostringstream out, err;
    const int code = Build(request, out, err);
    EXPECT_EQ(code, 0) << err.str();
    return code;
  }

  // Inspects `exe` into `config` (extracting into `extract`); returns the
  // warnings printed.
  std::string InspectExe(const std::string& exe, const std::string& config, const std::string& extract) {
    InspectRequest request{exe, config, extract};
    std::ostringstream out, err;
    EXPECT_EQ(Inspect(request, out, err), 0) << err.str();
    return err.str();
  }

  void ExpectRoundTrip(const fs::path& config) {
    ASSERT_EQ(BuildExe(config.u8string(), Path("first.exe")), 0);
    fs::create_directories(Path("inspected"));
    EXPECT_EQ(InspectExe(Path("first.exe"), Path("inspected/again.toml"), Path("extracted")), "");
    ASSERT_EQ(BuildExe(Path("inspected/again.toml"), Path("second.exe")), 0);
    const std::string first = ReadBytes(Path("first.exe")), second = ReadBytes(Path("second.exe"));
    EXPECT_GT(first.size(), MinimalStub().size());
    EXPECT_TRUE(first == second) << "the rebuilt executable differs; configuration:\n"
                                 << ReadBytes(Path("inspected/again.toml"));
  }
};

TEST_F(RoundTripTest, DemoConfigurationRebuildsIdentically) {
  ExpectRoundTrip(SourceDir() / "examples" / "demo" / "demo.toml");
}

TEST_F(RoundTripTest, EveryKeyConfigurationRebuildsIdentically) {
  ExpectRoundTrip(SourceDir() / "tests" / "builder" / "data" / "every_key.toml");
  // The included files came out as they went in.
  EXPECT_EQ(ReadBytes(Path("extracted/lib/b.jar")),
            ReadBytes(SourceDir() / "tests" / "builder" / "data" / "files" / "lib" / "b.jar"));
  EXPECT_EQ(ReadBytes(Path("extracted/vexlo-runtime.jar")),
            ReadBytes(SourceDir() / "tests" / "builder" / "data" / "files" / "runtime.jar"));
  EXPECT_EQ(ReadBytes(Path("extracted/icon.ico")),
            ReadBytes(SourceDir() / "tests" / "builder" / "data" / "files" / "app.ico"));
  EXPECT_EQ(ReadBytes(Path("extracted/app.manifest")),
            ReadBytes(SourceDir() / "tests" / "builder" / "data" / "files" / "app.manifest"));
}

// An empty service log path (no log) is a record of its own, unlike no path
// (the default log).
TEST_F(RoundTripTest, ServiceLogTurnedOffRebuildsIdentically) {
  WriteBytes(Path("off.toml"), "[java]\nmain-class = \"a.B\"\n[logs]\nservice = \"\"\n");
  ExpectRoundTrip(Path("off.toml"));
  EXPECT_NE(ReadBytes(Path("inspected/again.toml")).find("service = \"\""), std::string::npos);
}

// The icon is written out under a name no included file takes, and an
// executable without a manifest says so.
TEST_F(RoundTripTest, ResourcesBesideAnIncludedFileOfTheSameNameRebuildIdentically) {
  const std::string icon = vexlo::testing_support::TestIconFile({{48, vexlo::testing_support::TestBitmap(48, 9)}});
  WriteBytes(Path("data/my.ico"), icon);
  WriteBytes(Path("data/icon.ico"), "an included file");
  WriteBytes(Path("data/exe.toml"), "[exe]\nversion = \"3.1\"\nicon = \"my.ico\"\nmanifest = false\n"
                                    "[java]\nmain-class = \"a.B\"\n[[files]]\nsource = \"icon.ico\"\n");
  ExpectRoundTrip(Path("data/exe.toml"));
  EXPECT_EQ(ReadBytes(Path("extracted/icon-2.ico")), icon);
  const std::string printed = ReadBytes(Path("inspected/again.toml"));
  EXPECT_NE(printed.find("[exe]\nversion = \"3.1\"\nicon = \"../extracted/icon-2.ico\"\nmanifest = false\n"),
            std::string::npos) << printed;
}

// The service's own settings that every_key.toml cannot hold beside its
// message boxes: delayed start, the virtual account, a run action in two
// places, and preshutdown off.
TEST_F(RoundTripTest, ServiceSettingsRebuildIdentically) {
  WriteBytes(Path("data/service.toml"),
             "[service]\nname = \"S\"\nstart = \"delayed-auto\"\naccount = \"virtual\"\n"
             "recovery = { actions = [{ restart = \"90s\" }, { run = 'C:\\tools\\alert.exe \"S\"' }, "
             "{ run = 'C:\\tools\\alert.exe \"S\"' }], reset-after = \"12h\" }\n"
             "preshutdown-timeout = \"0s\"\n[java]\nmain-class = \"a.B\"\n");
  ExpectRoundTrip(Path("data/service.toml"));
  EXPECT_NE(ReadBytes(Path("inspected/again.toml")).find("start = \"delayed-auto\"\naccount = \"virtual\"\n"),
            std::string::npos);
}

// Without the runtime jar the first included file is the application's.
TEST_F(RoundTripTest, NoRuntimeJarRebuildsIdentically) {
  WriteBytes(Path("data/app.jar"), "application");
  WriteBytes(Path("data/none.toml"), "[java]\nruntime = \"none\"\n[[files]]\nsource = \"app.jar\"\n");
  ExpectRoundTrip(Path("data/none.toml"));
  EXPECT_NE(ReadBytes(Path("inspected/again.toml")).find("runtime = \"none\""), std::string::npos);
}

TEST_F(RoundTripTest, WithoutExtractingTheFilesAreListedWithTheirSizes) {
  ASSERT_EQ(BuildExe((SourceDir() / "tests" / "builder" / "data" / "every_key.toml").u8string(), Path("a.exe")), 0);
  std::ostringstream out, err;
  InspectRequest request{Path("a.exe"), "", ""};
  ASSERT_EQ(Inspect(request, out, err), 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_NE(out.str().find("# 20 bytes; not written out (vexlo-build inspect --extract DIR writes it)\n"
                           "source = \"app.jar\"\nname = \"app.jar\"\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("# the embedded runtime jar (34 bytes) is taken from the builder"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("app.jar")));
}

LauncherImage ImageOf(const std::string& bytes) {
  LauncherImage image;
  std::string error;
  EXPECT_TRUE(ReadLauncherImage(bytes, &image, &error)) << error;
  return image;
}

ConfigTables TablesFor(const std::string& executable, const std::string& locale) {
  LauncherImage image = ImageOf(executable);
  ConfigTables tables;
  for (const auto& text : image.stored.texts) tables.texts[text.first] = text.second;
  for (const auto& wide : image.stored.wides) tables.wides[wide.first] = wide.second;
  for (const auto& block : image.stored.locales) {
    if (!LocalePrefixMatches(block.prefix, locale)) continue;
    for (const auto& value : block.values) tables.wides[value.first] = value.second;
  }
  return tables;
}

// A block as another tool writes it: records out of order, one twice, values
// no key describes, and bytes behind the included files.
TEST_F(RoundTripTest, ForeignBlocksRebuildWithTheSameRecords) {
  BlockContents contents;
  contents.texts = {{2001, "i"},   {107, "4"},       {101, "Old Tool"}, {103, "error.log"}, {102, "0"}, {105, "out.log"},
                    {128, "Y;EJAVA_HOME;EJDK_HOME;"}, {1000, "Error"}, {101, "Old Tool 2"},
                    {121, "A0app.jar;X1odd"},           {10109, "splash font"}, {122, "old.Main"}};
  contents.wides = {{20017, VEXLO_WIDE("Described")}, {20099, VEXLO_WIDE("unknown wide")}};
  contents.locales = {{"de", {{20017, VEXLO_WIDE("Beschrieben")}}}};
  const std::vector<IncludedFile> files = {{"app.jar", "jar bytes"}};
  DescribeIncludedFiles(files, &contents);
  std::string launcher, error;
  ASSERT_TRUE(BuildLauncher(MinimalStub(), contents, files, &launcher, &error));
  launcher += "tail bytes";
  WriteBytes(Path("old.exe"), launcher);

  const std::string warnings = InspectExe(Path("old.exe"), Path("old.toml"), Path("old-files"));
  EXPECT_NE(warnings.find("a rebuild writes a different configuration block: the executable's block was not "
                          "written by vexlo-build (its records are in another order or repeated, or its header "
                          "differs); the records themselves are the same"),
            std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("10 bytes after the included files belong to no configuration"), std::string::npos);
  const std::string printed = ReadBytes(Path("old.toml"));
  EXPECT_NE(printed.find("[raw.text]\n102 = \"0\"\n103 = \"error.log\"\n105 = \"out.log\"\n121 = \"A0app.jar;X1odd\"\n"
                         "128 = \"Y;EJAVA_HOME;EJDK_HOME;\"\n10109 = \"splash font\"\n"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("name = \"Old Tool 2\""), std::string::npos);  // the value the launcher reads

  ASSERT_EQ(BuildExe(Path("old.toml"), Path("new.exe")), 0);
  const std::string rebuilt = ReadBytes(Path("new.exe"));
  for (const char* locale : {"en_US", "de_AT"}) {
    const ConfigTables before = TablesFor(launcher, locale), after = TablesFor(rebuilt, locale);
    EXPECT_EQ(after.wides, before.wides) << locale;
    // The messages the old block lacked are printed as omitted.
    EXPECT_EQ(after.texts, before.texts) << locale;
  }
  EXPECT_EQ(ImageOf(rebuilt).files[0].contents, "jar bytes");
}

// Resources of another tool: what inspect cannot print is said on standard
// error, and the rebuild still works.
TEST_F(RoundTripTest, ForeignResourcesAreReportedNotReproduced) {
  const std::string string_table = SerializeResourceTree({{6, 1, 0x409, "strings"}}, 0x2000);
  std::string foreign = vexlo::testing_support::TestImage({{".text", 0x200}, {".rsrc", 0x200}});
  foreign.replace(0x600, string_table.size(), string_table);
  const struct {
    const char* what;
    std::string stub;
    const char* warning;
  } cases[] = {
      {"unreadable", vexlo::testing_support::TestImage({{".text", 0x200}, {".rsrc", 0x200}}),
       "the executable's resources cannot be read (damaged resource section); the printed configuration leaves "
       "them out"},
      {"not printable", foreign,
       "a rebuild writes a different resource section: the executable's resources were not written by vexlo-build "
       "(only its version texts, icon and manifest are printed)"},
  };
  for (const auto& c : cases) {
    std::string launcher, error;
    ASSERT_TRUE(BuildLauncher(c.stub, BlockContents(), {}, &launcher, &error)) << error;
    WriteBytes(Path("foreign.exe"), launcher);
    const std::string warnings = InspectExe(Path("foreign.exe"), Path("foreign.toml"), Path("foreign-files"));
    EXPECT_NE(warnings.find(c.warning), std::string::npos) << c.what << ": " << warnings;
    EXPECT_EQ(BuildExe(Path("foreign.toml"), Path("rebuilt.exe")), 0) << c.what;
  }
}

// A record of the launcher's own range that no key gives back (a value its
// rule refuses, or an id this builder does not know) is left out with a
// warning: the printed configuration still builds.
TEST_F(RoundTripTest, OwnRecordsNoKeyGivesBackAreLeftOut) {
  BlockContents contents;
  contents.texts = {{101, "Svc"}, {122, "app.Main"}, {30000, "45"}, {30500, "x"}};
  contents.wides = {{30999, VEXLO_WIDE("wide")}};
  std::string launcher, error;
  ASSERT_TRUE(BuildLauncher(MinimalStub(), contents, {}, &launcher, &error));
  WriteBytes(Path("own.exe"), launcher);
  const std::string warnings = InspectExe(Path("own.exe"), Path("own.toml"), Path("own-files"));
  for (const char* warning :
       {"record 30000 holds \"45\", which is no valid service.stop-timeout; it is left out: the launcher does not "
        "use it either",
        "record 30500 holds \"x\", which no key describes; it is left out",
        "record 30999 holds \"wide\", which no key describes; it is left out"}) {
    EXPECT_NE(warnings.find(warning), std::string::npos) << warnings;
  }
  EXPECT_EQ(warnings.find("does not build"), std::string::npos) << warnings;
  const std::string printed = ReadBytes(Path("own.toml"));
  EXPECT_EQ(printed.find("300"), std::string::npos) << printed;
  ASSERT_EQ(BuildExe(Path("own.toml"), Path("rebuilt.exe")), 0);
}

TEST_F(RoundTripTest, HostileIncludedNamesAreNotWrittenOutsideTheFolder) {
  BlockContents contents;
  const std::vector<IncludedFile> files = {{"..\\evil.jar", "evil"}, {"ok.jar", "fine"}};
  DescribeIncludedFiles(files, &contents);
  // The writer refuses such names: put the parts together as another tool might.
  const std::string stub = MinimalStub();
  uint64_t image_end = 0;
  std::string error;
  ASSERT_TRUE(ImageEnd(stub, &image_end, &error)) << error;
  WriteBytes(Path("hostile.exe"), stub.substr(0, image_end) + SerializeBlock(contents) + SerializeIncludedFiles(files));
  fs::create_directories(Path("out"));
  const std::string warnings = InspectExe(Path("hostile.exe"), Path("out/h.toml"), Path("out/files"));
  EXPECT_NE(warnings.find("included file 1 has a name the builder refuses (../evil.jar); written out as "
                          "included-1.bin"),
            std::string::npos)
      << warnings;
  EXPECT_EQ(ReadBytes(Path("out/files/included-1.bin")), "evil");
  EXPECT_EQ(ReadBytes(Path("out/files/ok.jar")), "fine");
  EXPECT_FALSE(fs::exists(Path("out/evil.jar")));
  EXPECT_FALSE(fs::exists(Path("evil.jar")));
}

TEST(ReadLauncherImage, DamagedExecutablesGetTheReadersError) {
  BlockContents contents;
  contents.texts = {{101, "Name"}};
  contents.wides = {{20017, VEXLO_WIDE("Wide")}};
  const std::vector<IncludedFile> files = {{"a.jar", "0123456789"}};
  DescribeIncludedFiles(files, &contents);
  std::string launcher, error;
  ASSERT_TRUE(BuildLauncher(MinimalStub(), contents, files, &launcher, &error));
  const size_t block = 0x400;
  const size_t first_text = block + 4 + 4 + 4 + 8 + 4 + 4;  // after the id of record 101
  const size_t wide_text = launcher.find(std::string("W\0i\0d\0e\0", 8));
  const size_t data = launcher.size() - 10 - 8;
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"not an image", "just text", "not a Windows executable (Internal Error: readInt)"},
      {"stub only", MinimalStub(), "no configuration block after the image (Internal Error: readInt)"},
      {"wrong magic", MinimalStub() + std::string(64, 'x'), "no configuration block after the image (Internal Error: magic)"},
      {"inside a text length", launcher.substr(0, first_text + 2), "damaged configuration block (Internal Error: readInt)"},
      {"inside a text", launcher.substr(0, first_text + 6), "damaged configuration block (Internal Error: readString)"},
      {"inside a wide text", launcher.substr(0, wide_text + 3), "damaged configuration block (Internal Error: readWString)"},
      {"inside a file size", launcher.substr(0, data + 5), "damaged included file a.jar (Internal Error: readLong)"},
      {"inside a file", launcher.substr(0, launcher.size() - 1),
       "included file a.jar is cut short: 10 bytes announced, 9 present"},
  };
  for (const auto& test : cases) {
    LauncherImage image;
    EXPECT_FALSE(ReadLauncherImage(test.bytes, &image, &error)) << test.what;
    EXPECT_EQ(error, test.error) << test.what;
  }
  LauncherImage image;
  ASSERT_TRUE(ReadLauncherImage(launcher, &image, &error)) << error;
  EXPECT_EQ(image.files.size(), 1u);
  EXPECT_EQ(image.files[0].contents, "0123456789");
}

}  // namespace
}  // namespace builder
}  // namespace vexlo
