// The command line: help, exit codes, and what is (not) written.
#include "commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include <unistd.h>  // getpid, in MinGW too

#include "builder_test_support.h"

namespace vexlo {
namespace builder {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::SourceDir;
using testing_support::WriteBytes;

struct CommandResult {
  int code;
  std::string out, err;
};

CommandResult Command(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "vexlo-build");
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  std::ostringstream out, err;
  const int code = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

TEST(CommandLine, HelpAndUsageErrors) {
  const CommandResult help = Command({"--help"});
  EXPECT_EQ(help.code, kExitSuccess);
  for (const char* text : {"Usage: vexlo-build [OPTIONS] SUBCOMMAND", "build ", "inspect ", "init ",
                           "Exit codes: 0 success, 1 error in the configuration or an input file, 2 wrong command line."}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text << "\n" << help.out;
  }
  for (const char* command : {"build", "inspect", "init"}) {
    const CommandResult sub = Command({command, "--help"});
    EXPECT_EQ(sub.code, kExitSuccess) << command;
    EXPECT_NE(sub.out.find(std::string("Usage: vexlo-build ") + command), std::string::npos) << sub.out;
  }
  EXPECT_EQ(Command({"--version"}).code, kExitSuccess);
  const struct {
    std::vector<std::string> arguments;
    const char* error;
  } usage_errors[] = {
      {{}, "A subcommand is required"},
      {{"compile", "a.toml"}, "Unknown command: compile (the commands are build, inspect and init)"},
      {{"build", "a.toml"}, "--output is required"},
      {{"build", "-o", "a.exe"}, "config is required"},
      {{"build", "a.toml", "-o", "a.exe", "--colour"}, "The following argument was not expected: --colour"},
      {{"inspect"}, "executable is required"},
  };
  for (const auto& test : usage_errors) {
    const CommandResult run = Command(test.arguments);
    EXPECT_EQ(run.code, kExitUsageError) << test.error;
    EXPECT_NE(run.err.find(test.error), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Run with --help for more information."), std::string::npos);
  }
}

class CommandsTest : public testing_support::ScratchTest {
 protected:
  CommandResult BuildWith(const std::string& config, const std::string& output, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"build", config, "-o", output, "--stub", stub_.u8string(),
                                          "--runtime-jar", Jar()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Command(arguments);
  }
  static std::string Jar() {
    return (SourceDir() / "tests" / "builder" / "data" / "files" / "runtime.jar").u8string();
  }
  // Files in the scratch folder, to see that nothing else was left behind.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(CommandsTest, AConfigurationWithErrorsWritesNothing) {
  WriteBytes(Path("bad.toml"), "[service]\nname = \"ok\"\nstart = \"never\"\n[java]\nmain-class = \"a.B\"\n");
  WriteBytes(Path("app.exe"), "the previous build");
  const CommandResult run = BuildWith(Path("bad.toml"), Path("app.exe"));
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_NE(run.err.find("bad.toml:3:9: error: service.start: \"never\" is not one of"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("app.exe not written (1 error)"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(Path("app.exe")), "the previous build");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", "bad.toml", "stub.exe"}));
}

TEST_F(CommandsTest, AMissingIncludedFileWritesNothing) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[[files]]\nsource = \"gone.jar\"\n[java]\nmain-class = \"a.B\"\n");
  const CommandResult run = BuildWith(Path("app.toml"), Path("app.exe"));
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_NE(run.err.find("app.toml:4:10: error: files[1].source: cannot read gone.jar: "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Path("app.exe")));
}

// The icon and manifest files are read with the included files: a bad one
// is an error that names it, and nothing is written.
TEST_F(CommandsTest, AnUnusableIconOrManifestWritesNothing) {
  WriteBytes(Path("cursor.ico"), std::string("\0\0\2\0\1\0", 6) + std::string(16, '\0'));
  WriteBytes(Path("empty.manifest"), "\r\n");
  const struct {
    const char* exe;
    const char* error;
  } cases[] = {
      {"icon = \"cursor.ico\"", "app.toml:2:8: error: exe.icon: cursor.ico is not a usable icon: a cursor file, not an "
                                "icon file"},
      {"icon = \"gone.ico\"", "app.toml:2:8: error: exe.icon: cannot read gone.ico: "},
      {"manifest = \"empty.manifest\"", "app.toml:2:12: error: exe.manifest: empty.manifest is empty"},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("app.toml"), std::string("[exe]\n") + c.exe + "\n[java]\nmain-class = \"a.B\"\n");
    const CommandResult run = BuildWith(Path("app.toml"), Path("app.exe"));
    EXPECT_EQ(run.code, kExitConfigurationError) << c.exe;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("app.exe"))) << c.exe;
  }
}

TEST_F(CommandsTest, ASuccessfulBuildReplacesTheOutputWhole) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nmain-class = \"a.B\"\n");
  WriteBytes(Path("app.exe"), "the previous build");
  const CommandResult run = BuildWith(Path("app.toml"), Path("app.exe"));
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("wrote "), std::string::npos);
  const std::string built = ReadBytes(Path("app.exe"));
  // The stub's section data comes over unchanged (its headers gain the
  // resource section).
  EXPECT_EQ(built.substr(0x200, 0x200), ReadBytes(stub_).substr(0x200));
  EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", "app.toml", "stub.exe"}));
}

// Other builds of the same output, half-way through their temporary files (as
// this process would name its first, or an earlier builder): both are left alone.
TEST_F(CommandsTest, ABuildLeavesAnotherBuildsTemporaryFileAlone) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nmain-class = \"a.B\"\n");
  const std::vector<std::string> others = {"app.exe." + std::to_string(getpid()) + "-0.vexlo-build-tmp",
                                           "app.exe.vexlo-build-tmp"};
  for (const std::string& other : others) WriteBytes(Path(other), "another build's half");
  ASSERT_EQ(BuildWith(Path("app.toml"), Path("app.exe")).code, kExitSuccess);
  for (const std::string& other : others) EXPECT_EQ(ReadBytes(Path(other)), "another build's half") << other;
  EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", others[0], others[1], "app.toml", "stub.exe"}));
}

TEST_F(CommandsTest, UnwritableOutputIsAnErrorAndLeavesNoTemporaryFile) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nmain-class = \"a.B\"\n");
  const CommandResult run = BuildWith(Path("app.toml"), Path("no-such-folder/app.exe"));
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_NE(run.err.find("cannot create "), std::string::npos) << run.err;
  EXPECT_EQ(Listing(), (std::vector<std::string>{"app.toml", "stub.exe"}));
}

// The new file is complete but cannot take the old one's place (a folder of
// that name): the folder stays and the temporary file goes.
TEST_F(CommandsTest, FailedReplacementKeepsTheOldAndLeavesNoTemporaryFile) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nmain-class = \"a.B\"\n");
  WriteBytes(Path("app.exe/inside"), "kept");
  const CommandResult run = BuildWith(Path("app.toml"), Path("app.exe"));
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_NE(run.err.find("cannot replace " + Path("app.exe") + ": "), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(Path("app.exe/inside")), "kept");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", "app.toml", "stub.exe"}));
}

TEST_F(CommandsTest, StubAndRuntimeJarAreFoundOrReported) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nmain-class = \"a.B\"\n");
  BuildRequest request;
  request.config = Path("app.toml");
  request.output = Path("app.exe");
  request.stub_candidates = {Path("missing/vexlo-service.exe"), stub_.u8string()};
  request.runtime_jar_candidates = {Path("missing/vexlo-runtime.jar")};
  std::ostringstream out, err;
  EXPECT_EQ(Build(request, out, err), kExitConfigurationError);
  EXPECT_NE(err.str().find("app.toml: error: java.runtime: the Java runtime jar (vexlo-runtime.jar) to embed was not "
                           "found; looked at " + Path("missing/vexlo-runtime.jar") +
                           "; give --runtime-jar, or set java.runtime = \"beside\" or \"none\""),
            std::string::npos)
      << err.str();

  request.runtime_jar_candidates.push_back(Jar());
  std::ostringstream out2, err2;
  EXPECT_EQ(Build(request, out2, err2), kExitSuccess) << err2.str();  // the second candidates exist

  request.stub_candidates = {Path("missing/vexlo-service.exe")};
  std::ostringstream out3, err3;
  EXPECT_EQ(Build(request, out3, err3), kExitConfigurationError);
  EXPECT_NE(err3.str().find("no launcher stub (vexlo-service.exe) found; looked at " +
                            Path("missing/vexlo-service.exe") + "; give --stub"),
            std::string::npos)
      << err3.str();

  WriteBytes(Path("not-a-stub.exe"), "text");
  request.stub = Path("not-a-stub.exe");
  std::ostringstream out4, err4;
  EXPECT_EQ(Build(request, out4, err4), kExitConfigurationError);
  EXPECT_NE(err4.str().find("is not usable: not a Windows executable (no MZ header)"), std::string::npos) << err4.str();
}

TEST_F(CommandsTest, RuntimeJarOptionOverridesTheConfiguration) {
  WriteBytes(Path("app.toml"), "[service]\nname = \"ok\"\n[java]\nruntime-jar = \"missing.jar\"\nmain-class = \"a.B\"\n");
  EXPECT_EQ(BuildWith(Path("app.toml"), Path("app.exe")).code, kExitSuccess);
  const CommandResult without = Command({"build", Path("app.toml"), "-o", Path("b.exe"), "--stub", stub_.u8string()});
  EXPECT_EQ(without.code, kExitConfigurationError);
  EXPECT_NE(without.err.find("app.toml:4:15: error: java.runtime-jar: cannot read the Java runtime jar "), std::string::npos)
      << without.err;
}

TEST_F(CommandsTest, MissingConfigurationIsAnError) {
  const CommandResult run = BuildWith(Path("none.toml"), Path("app.exe"));
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_NE(run.err.find("vexlo-build: cannot read " + Path("none.toml") + ": "), std::string::npos) << run.err;
}

TEST_F(CommandsTest, InitWritesATemplateThatBuilds) {
  const CommandResult init = Command({"init", Path("vexlo.toml")});
  EXPECT_EQ(init.code, kExitSuccess) << init.err;
  EXPECT_EQ(ReadBytes(Path("vexlo.toml")), ConfigurationTemplate());
  const CommandResult build = BuildWith(Path("vexlo.toml"), Path("app.exe"));
  EXPECT_EQ(build.code, kExitSuccess) << build.err;
  EXPECT_EQ(build.err, "");  // not even a warning

  WriteBytes(Path("vexlo.toml"), "mine");
  const CommandResult again = Command({"init", Path("vexlo.toml")});
  EXPECT_EQ(again.code, kExitConfigurationError);
  EXPECT_NE(again.err.find("exists; --force replaces it"), std::string::npos);
  EXPECT_EQ(ReadBytes(Path("vexlo.toml")), "mine");
  EXPECT_EQ(Command({"init", "--force", Path("vexlo.toml")}).code, kExitSuccess);
  EXPECT_EQ(ReadBytes(Path("vexlo.toml")), ConfigurationTemplate());
  EXPECT_EQ(Command({"init", "-"}).out, ConfigurationTemplate());
}

TEST_F(CommandsTest, InspectReportsUnreadableExecutables) {
  CommandResult run = Command({"inspect", Path("none.exe")});
  EXPECT_EQ(run.code, kExitConfigurationError);
  WriteBytes(Path("stub-only.exe"), ReadBytes(stub_));
  run = Command({"inspect", Path("stub-only.exe")});
  EXPECT_EQ(run.code, kExitConfigurationError);
  EXPECT_EQ(run.err, "vexlo-build: " + Path("stub-only.exe") +
                         ": no configuration block after the image (Internal Error: readInt)\n");
  EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace builder
}  // namespace vexlo
