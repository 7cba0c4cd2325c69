// The candidate test (checkJavaExe, javaExeForHome, the version cache and the
// version run) and the packed runtime preparation, in real processes: the
// probe runs the launcher's code against runtime directories made of the
// java.exe and unpack200.exe doubles, with the real per-user registry.
#include <gtest/gtest.h>

#include "support/jvm_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class CheckJavaTest : public JvmTest {
 protected:
  // checkjava <path> <min> <max> <beta> with this test's probe.
  std::map<std::string, std::string> Check(const std::string& path, const std::string& minimum = "",
                                           const std::string& maximum = "", bool beta = true,
                                           const std::string& probe_options = "") {
    if (probe_.empty()) probe_ = JvmProbe({});
    return Fields(RunProbe(probe_, probe_options + "checkjava " + Quoted(path) + " " + Quoted(minimum) + " " +
                                       Quoted(maximum) + (beta ? " 1" : " 0")));
  }
  // Files the version runs may have left in the temporary directory.
  std::vector<std::string> TempFilesLeft() const {
    std::vector<std::string> left;
    for (const std::string& name : ListDirectory(tmp_)) {
      if (name.rfind("tvl_nlog_", 0) != 0) left.push_back(name);
    }
    return left;
  }

  std::string probe_;
};

TEST_F(CheckJavaTest, VersionLinesAsRuntimesPrintThem) {
  const struct {
    std::vector<std::string> settings;
    const char* version;  // null: refused, nothing cached
  } cases[] = {
      {{"line=openjdk version \"17.0.2\" 2022-01-18"}, "17.0.2"},
      {{"line=java version \"1.7.0_45\"", "line=Java(TM) SE Runtime Environment"}, "1.7.0_45"},
      {{"line=openjdk version \"1.8.0_262\""}, "1.8.0_262"},
      {{"line=Picked up JAVA_TOOL_OPTIONS: -Xmx1g", "line=NOTE: Picked up JDK_JAVA_OPTIONS: -Da=b",
        "line=openjdk version \"11.0.2\" 2019-01-15"},
       "11.0.2"},
      {{"raw=openjdk version \"21.0.2\""}, "21.0.2"},  // no final line feed
      {{"line=openjdk version \"17.0.2"}, nullptr},     // no closing quote
      {{"line=java version \""}, nullptr},
      {{"line=Error occurred during initialization of VM"}, nullptr},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::string home = MakeRuntime("rt" + std::to_string(index++), "", {c.settings});
    const std::string java = Lower(home + "\\bin\\java.exe");
    const auto found = Check(java);
    std::string cached;
    FILETIME time;
    const bool has_cache = ReadCache(java, &cached, &time);
    if (c.version != nullptr) {
      EXPECT_EQ(found.at("result"), "1") << c.settings[0];
      EXPECT_EQ(found.at("version"), c.version);
      EXPECT_TRUE(has_cache);
      EXPECT_EQ(cached, c.version);
      EXPECT_EQ(LastLogLines("Java version: "), std::vector<std::string>{std::string("Java version: ") + c.version});
    } else {
      EXPECT_EQ(found.at("result"), "0") << c.settings[0];
      EXPECT_FALSE(has_cache) << cached;
      EXPECT_EQ(LastLogLines("couldn't get version").size(), 1u);
    }
  }
  EXPECT_EQ(TempFilesLeft(), std::vector<std::string>{});
}

// A service's child has no console, so its version run gets a console of its
// own, whose host may still hold the run's output when the run has ended.
TEST_F(CheckJavaTest, AFirstRunWithoutAConsoleLeavesNoFile) {
  const std::string java = Lower(MakeRuntime("rt") + "\\bin\\java.exe");
  creation_flags_ = DETACHED_PROCESS;
  EXPECT_EQ(Check(java).at("version"), "17.0.2");
  EXPECT_EQ(LastLogLines("got version from execution 17.0.2").size(), 1u);
  // Gone once the console's host lets go too, which may be a moment after the
  // probe has ended.
  for (int waited = 0; waited < 100 && !TempFilesLeft().empty(); ++waited) Sleep(100);
  EXPECT_EQ(TempFilesLeft(), std::vector<std::string>{});
}

TEST_F(CheckJavaTest, CacheHitMakesNoRunAndAReplacedExecutableRunsAgain) {
  const std::string home = MakeRuntime("rt");
  const std::string java = Lower(home + "\\bin\\java.exe");
  EXPECT_EQ(Check(java).at("version"), "17.0.2");
  EXPECT_EQ(LastLogLines("got version from execution 17.0.2").size(), 1u);
  EXPECT_EQ(Check(java).at("version"), "17.0.2");
  EXPECT_EQ(RunCount(home + "\\bin"), 1);
  EXPECT_EQ(LastLogLines("got version from registry 17.0.2").size(), 1u);

  // A new last-write time (the executable was replaced) makes a new run.
  SetDoubleSettings(home + "\\bin", {"line=openjdk version \"17.0.9\""});
  FILETIME newer = LastWriteTime(java);
  newer.dwHighDateTime += 1;
  {
    HANDLE file = CreateFileA(java.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &newer));
    CloseHandle(file);
  }
  EXPECT_EQ(Check(java).at("version"), "17.0.9");
  EXPECT_EQ(RunCount(home + "\\bin"), 2);
  std::string cached;
  FILETIME time;
  ASSERT_TRUE(ReadCache(java, &cached, &time));
  EXPECT_EQ(cached, "17.0.9");
  EXPECT_EQ(CompareFileTime(&time, &newer), 0);
}

TEST_F(CheckJavaTest, FailedRunCachesTheMarkerAndRunsAgain) {
  const std::string home = MakeRuntime("rt", "", {{"exit=1", "line=Error: no VM"}});
  const std::string java = Lower(home + "\\bin\\java.exe");
  EXPECT_EQ(Check(java).at("result"), "0");
  std::string cached;
  FILETIME time;
  ASSERT_TRUE(ReadCache(java, &cached, &time));
  EXPECT_EQ(cached, "1.0.0");
  EXPECT_EQ(LastLogLines("Exit Code 1").size(), 1u);
  EXPECT_EQ(Check(java).at("result"), "0");
  EXPECT_EQ(RunCount(home + "\\bin"), 2);  // the marker is never trusted
  SetDoubleSettings(home + "\\bin", {});
  EXPECT_EQ(Check(java).at("version"), "17.0.2");
  EXPECT_EQ(RunCount(home + "\\bin"), 3);
  EXPECT_EQ(TempFilesLeft(), std::vector<std::string>{});
}

TEST_F(CheckJavaTest, TimeOutTerminatesTheRunAndLeavesTheCacheAlone) {
  const std::string home = MakeRuntime("rt", "", {{"sleep=30000"}});
  const std::string java = Lower(home + "\\bin\\java.exe");
  FILETIME older = LastWriteTime(java);
  older.dwHighDateTime -= 1;
  SeedCache(java, older, "1.6.0_45");
  EXPECT_EQ(Check(java, "", "", true, "--run-limit=1000 ").at("result"), "0");
  EXPECT_EQ(LastLogLines("Exit Code 259").size(), 1u);
  EXPECT_EQ(LastLogLines("Terminating process").size(), 1u);
  std::string cached;
  FILETIME time;
  ASSERT_TRUE(ReadCache(java, &cached, &time));
  EXPECT_EQ(cached, "1.6.0_45");
  EXPECT_EQ(CompareFileTime(&time, &older), 0);
  EXPECT_EQ(TempFilesLeft(), std::vector<std::string>{});
}

TEST_F(CheckJavaTest, UntrustedCacheEntriesAreRunAgain) {
  int index = 0;
  for (const char* cached_version : {"1.0.0", "17.0.2\" 2022-01-1", ""}) {
    const std::string home = MakeRuntime("rt" + std::to_string(index++));
    const std::string java = Lower(home + "\\bin\\java.exe");
    SeedCache(java, LastWriteTime(java), cached_version);
    EXPECT_EQ(Check(java).at("version"), "17.0.2") << cached_version;
    EXPECT_EQ(RunCount(home + "\\bin"), 1) << cached_version;
    std::string cached;
    FILETIME time;
    ASSERT_TRUE(ReadCache(java, &cached, &time));
    EXPECT_EQ(cached, "17.0.2");
  }
}

TEST_F(CheckJavaTest, BoundsAndPreReleasesOnCachedVersions) {
  const struct {
    const char* version;
    const char* minimum;
    const char* maximum;
    bool beta;
    const char* allow_pre_release;  // record 130
    const char* result;
  } cases[] = {
      {"1.8.0-ea", "", "", false, "0", "0"}, {"1.8.0-ea", "", "", true, "0", "1"},
      {"1.8.0-ea", "", "", false, "1", "1"}, {"11.0.2", "9", "", false, "0", "1"},
      {"9.0.4", "11", "", false, "0", "0"},  {"1.7.0_80", "", "1.7", false, "0", "1"},
      {"1.8.0_31", "", "1.7", false, "0", "0"}, {"1.6.0_45", "1.6.0_5", "", false, "0", "1"},
      {"1.5", "1.5.0", "", false, "0", "0"},
  };
  const std::string home = MakeRuntime("rt");
  const std::string java = Lower(home + "\\bin\\java.exe");
  for (const auto& c : cases) {
    SeedCache(java, LastWriteTime(java), c.version);
    probe_ = JvmProbe({{130, c.allow_pre_release}});
    EXPECT_EQ(Check(java, c.minimum, c.maximum, c.beta).at("result"), c.result)
        << c.version << " [" << c.minimum << ", " << c.maximum << "] beta " << c.beta << " 130=" << c.allow_pre_release;
  }
  EXPECT_EQ(RunCount(home + "\\bin"), 0);
  // An out-of-bounds version is cached all the same.
  const std::string other = MakeRuntime("other");
  const std::string other_java = Lower(other + "\\bin\\java.exe");
  EXPECT_EQ(Check(other_java, "18").at("result"), "0");
  std::string cached;
  FILETIME time;
  ASSERT_TRUE(ReadCache(other_java, &cached, &time));
  EXPECT_EQ(cached, "17.0.2");
}

TEST_F(CheckJavaTest, LaunchModeOneNeedsJavawBeside) {
  probe_ = JvmProbe({{107, "1"}});
  const std::string without = Lower(MakeRuntime("without") + "\\bin\\java.exe");
  const auto refused = Check(without);
  EXPECT_EQ(refused.at("result"), "0");
  EXPECT_EQ(refused.at("path"), without.substr(0, without.size() - 4) + "w.exe");
  RuntimeOptions options;
  options.javaw = true;
  const std::string with = Lower(MakeRuntime("with", "17.0.2", options) + "\\bin\\java.exe");
  const auto accepted = Check(with);
  EXPECT_EQ(accepted.at("result"), "1");
  EXPECT_EQ(accepted.at("path"), Lower(work_ + "\\with\\bin\\javaw.exe"));
  // Any other launch mode keeps java.exe.
  probe_ = JvmProbe({{107, "5"}});
  EXPECT_EQ(Check(without).at("path"), without);
}

TEST_F(CheckJavaTest, PathsAreResolvedLowerCasedAndMissingFilesRefused) {
  MakeRuntime("Rt");
  const auto found = Check("Rt\\BIN\\..\\Bin\\Java.EXE");
  const std::string resolved = Lower(work_ + "\\rt\\bin\\java.exe");
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), resolved);
  EXPECT_EQ(LastLogLines("checkJavaExe ("),
            std::vector<std::string>{"checkJavaExe (Rt\\BIN\\..\\Bin\\Java.EXE, [out], , , 1)"});
  std::string cached;
  FILETIME time;
  EXPECT_TRUE(ReadCache(resolved, &cached, &time));

  for (const char* missing : {"nothing\\bin\\java.exe", "Rt\\bin\\j*.exe", "Rt\\bin\\jav?.exe"}) {
    const auto refused = Check(missing, "1.5", "", false);
    EXPECT_EQ(refused.at("result"), "0") << missing;
    EXPECT_EQ(LastLogLines("file doesn't exist").size(), 1u) << missing;
    EXPECT_EQ(LastLogLines("checkJavaExe returning 0").size(), 1u) << missing;
  }
  EXPECT_EQ(LastLogLines("checkJavaExe (")[0], "checkJavaExe (Rt\\bin\\jav?.exe, [out], 1.5, , 0)");
}

TEST_F(CheckJavaTest, VersionRunQuotesThePathAndNamesTheApplication) {
  // A decoy where an unquoted command line would lead.
  ASSERT_TRUE(CopyFileA(JavaDoublePath().c_str(), (work_ + "\\Program.exe").c_str(), FALSE));
  const std::string home = MakeRuntime("Program Files\\Java\\jre");
  const std::string java = Lower(home + "\\bin\\java.exe");
  EXPECT_EQ(Check(java).at("version"), "17.0.2");
  EXPECT_EQ(RunCount(work_), 0);
  EXPECT_EQ(SplitLines(ReadWholeFile(home + "\\bin\\java-double.runs")),
            std::vector<std::string>{Quoted(java) + " -version"});
}

TEST_F(CheckJavaTest, JavaExeForHomePrefersTheJreInside) {
  RuntimeOptions jdk;
  jdk.under_jre = true;
  const std::string both = MakeRuntime("both", "1.8.0_31", jdk);
  MakeRuntime("both");  // and bin\java.exe too
  const std::string plain = MakeRuntime("plain");
  const std::string empty = work_ + "\\empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  const std::string probe = JvmProbe({});
  const struct {
    std::string home;
    const char* result;
    std::string path;
  } cases[] = {
      {both, "1", both + "\\jre\\bin\\java.exe"},
      {plain, "1", plain + "\\bin\\java.exe"},
      {empty, "1", empty + "\\bin\\java.exe"},  // existence is the caller's question
  };
  for (const auto& c : cases) {
    const auto found = Fields(RunProbe(probe, "javaexeforhome " + Quoted(c.home)));
    EXPECT_EQ(found.at("result"), c.result) << c.home;
    EXPECT_EQ(found.at("path"), c.path);
  }
  // A JDK required: lib\tools.jar decides, and the runtime inside is used.
  jdk.tools_jar = true;
  const std::string with_tools = MakeRuntime("jdk", "1.8.0_31", jdk);
  const std::string jdk_probe = JvmProbe({{131, "1"}});
  auto found = Fields(RunProbe(jdk_probe, "javaexeforhome " + Quoted(with_tools)));
  EXPECT_EQ(found.at("result"), "1");
  EXPECT_EQ(found.at("path"), with_tools + "\\jre\\bin\\java.exe");
  found = Fields(RunProbe(jdk_probe, "javaexeforhome " + Quoted(plain)));
  EXPECT_EQ(found.at("result"), "0");
  EXPECT_EQ(found.at("path"), plain + "\\jre\\bin\\java.exe");
}

class PrepareJreTest : public JvmTest {
 protected:
  // A runtime with the unpacker double and the given packed files.
  std::string PackedRuntime(const std::vector<std::string>& packs, const std::vector<std::string>& jars = {},
                            bool unpacker = true) {
    const std::string home = work_ + "\\jre";
    CreateDirectories(home + "\\bin");
    CreateDirectories(home + "\\lib\\ext");
    if (unpacker) EXPECT_TRUE(CopyFileA(Unpack200DoublePath().c_str(), (home + "\\bin\\unpack200.exe").c_str(), FALSE));
    for (const std::string& pack : packs) EXPECT_TRUE(WriteWholeFile(home + "\\" + pack + ".pack", pack));
    for (const std::string& jar : jars) EXPECT_TRUE(WriteWholeFile(home + "\\" + jar, "jar"));
    return home;
  }
  ProcessResult Prepare(const std::string& home) {
    if (probe_.empty()) probe_ = JvmProbe({});
    return RunProbe(probe_, "preparejre " + Quoted(home));
  }
  std::vector<std::string> UnpackRuns(const std::string& home) const {
    return SplitLines(ReadWholeFile(home + "\\bin\\unpack200-double.runs"));
  }
  bool FileExists(const std::string& path) const { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string probe_;
};

TEST_F(PrepareJreTest, RestoresThePackedJarsOnceWithRtJarLast) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\jsse.jar"});
  const ProcessResult first = Prepare(home);
  EXPECT_EQ(first.exit_code, 0u);
  EXPECT_EQ(first.out, "Preparing JRE ...\r\n");
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\jsse.jar"), "unpacked:lib\\jsse.jar");
  EXPECT_FALSE(FileExists(home + "\\lib\\rt.jar.pack"));
  EXPECT_FALSE(FileExists(home + "\\lib\\jsse.jar.pack"));
  EXPECT_EQ(LastLogLines("pack path doesn't exists").size(), 5u);
  EXPECT_EQ(LastLogLines("Unpacking JRE").size(), 2u);  // and "Unpacking JRE done"
  EXPECT_EQ(UnpackRuns(home),
            (std::vector<std::string>{"-r \"" + home + "\\lib\\jsse.jar.pack\" \"" + home + "\\lib\\jsse.jar\"",
                                      "-r \"" + home + "\\lib\\rt.jar.pack\" \"" + home + "\\lib\\rt.jar\""}));
  const ProcessResult second = Prepare(home);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(UnpackRuns(home).size(), 2u);
  EXPECT_TRUE(LastLogLines("Unpacking JRE").empty());
}

TEST_F(PrepareJreTest, PreparedRuntimeIsLeftAlone) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\charsets.jar"}, {"lib\\jsse.jar", "lib\\rt.jar"});
  EXPECT_EQ(Prepare(home).out, "");
  EXPECT_TRUE(UnpackRuns(home).empty());
  EXPECT_TRUE(FileExists(home + "\\lib\\charsets.jar.pack"));
  // Without rt.jar.pack nothing is packed, whatever else is.
  const std::string no_rt = work_ + "\\jre";
  DeleteFileA((no_rt + "\\lib\\rt.jar.pack").c_str());
  DeleteFileA((no_rt + "\\lib\\jsse.jar").c_str());
  EXPECT_EQ(Prepare(no_rt).out, "");
  EXPECT_TRUE(UnpackRuns(no_rt).empty());
}

TEST_F(PrepareJreTest, InterruptedPreparationIsTakenUpAgain) {
  // Stopped after jsse.jar, before rt.jar: charsets.jar failed earlier.
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\charsets.jar"}, {"lib\\jsse.jar"});
  EXPECT_EQ(Prepare(home).out, "Preparing JRE ...\r\n");
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\charsets.jar"), "unpacked:lib\\charsets.jar");
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\jsse.jar"), "jar");
  EXPECT_EQ(UnpackRuns(home).size(), 2u);
}

TEST_F(PrepareJreTest, FailedUnpackKeepsThePackedFileForTheNextStart) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\jsse.jar"});
  const struct {
    const char* settings;
  } failures[] = {{"exit=3\n"}, {"write=0\n"}};
  size_t runs = 0;
  for (const auto& failure : failures) {
    ASSERT_TRUE(WriteWholeFile(home + "\\bin\\unpack200-double.txt", failure.settings));
    EXPECT_EQ(Prepare(home).out, "Preparing JRE ...\r\n") << failure.settings;
    runs += 2;
    EXPECT_EQ(UnpackRuns(home).size(), runs);  // retried on every start
    EXPECT_TRUE(FileExists(home + "\\lib\\rt.jar.pack")) << failure.settings;
    EXPECT_TRUE(FileExists(home + "\\lib\\jsse.jar.pack")) << failure.settings;
    EXPECT_FALSE(FileExists(home + "\\lib\\rt.jar")) << failure.settings;  // no half-written jar
    EXPECT_EQ(LastLogLines("unpack200 failed").size(), 2u);
  }
  DeleteFileA((home + "\\bin\\unpack200-double.txt").c_str());
  Prepare(home);
  EXPECT_FALSE(FileExists(home + "\\lib\\rt.jar.pack"));
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
}

TEST_F(PrepareJreTest, MissingUnpackerEndsWithInternalError20) {
  const std::string home = PackedRuntime({"lib\\rt.jar"}, {}, false);
  const ProcessResult result = Prepare(home);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.out, "Preparing JRE ...\r\n");
  EXPECT_EQ(result.err.rfind("An internal error occurred (error code: 20)\r\n", 0), 0u) << result.err;
  EXPECT_EQ(LastLogLines("could not create unpack process").size(), 1u);
  EXPECT_TRUE(FileExists(home + "\\lib\\rt.jar.pack"));
}

// An unpacker that does not finish in time is ended, and so is the start,
// with the packed file kept for the next one.
TEST_F(PrepareJreTest, UnpackerThatDoesNotFinishEndsWithInternalError20) {
  const std::string home = PackedRuntime({"lib\\rt.jar"});
  ASSERT_TRUE(WriteWholeFile(home + "\\bin\\unpack200-double.txt", "sleep=20000\n"));
  const ProcessResult result = RunProbe(JvmProbe({}), "--unpack-limit=300 preparejre " + Quoted(home));
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err.rfind("An internal error occurred (error code: 20)\r\n", 0), 0u) << result.err;
  EXPECT_EQ(LastLogLines("ERROR: unpack200 did not finish within 300 ms: ending it").size(), 1u);
  EXPECT_TRUE(FileExists(home + "\\lib\\rt.jar.pack"));
  EXPECT_FALSE(FileExists(home + "\\lib\\rt.jar"));
}

class HeldPreparationTest : public PrepareJreTest {
 protected:
  void TearDown() override {
    if (hold_) SetEvent(hold_.get());
    if (first_) WaitForSingleObject(first_.get(), 30000);
    PrepareJreTest::TearDown();
  }
  // Starts a launcher that prepares the runtime and then stays alive until
  // the test lets it go.
  void StartHeldPreparation(const std::string& home) {
    const std::string event = "vexlo-hold-" + std::to_string(GetCurrentProcessId());
    hold_.reset(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(StartProcess(Widen(Quoted(probe_) + " preparejre " + Quoted(home) + " hold " + event),
                             Options({L"VEXLO_LOG=yes"}), &info));
    first_.reset(info.hProcess);
    CloseHandle(info.hThread);
  }
  // Waits until a launcher log holds the line.
  bool WaitForLogLine(const std::string& line) {
    for (int waited = 0; waited < 300; ++waited) {
      for (const std::string& log : LogFiles()) {
        if (HasLine(SplitLines(ReadWholeFile(tmp_ + "\\" + log)), line)) return true;
      }
      Sleep(100);
    }
    return false;
  }
  DWORD FirstExitCode() {
    SetEvent(hold_.get());
    DWORD exit_code = 99;
    if (WaitForSingleObject(first_.get(), 30000) == WAIT_OBJECT_0) GetExitCodeProcess(first_.get(), &exit_code);
    return exit_code;
  }

  UniqueHandle hold_, first_;
};

// The first launcher releases the preparation lock when it is done, not when
// it ends: a second one that finds the runtime packed again finishes while
// the first still runs.
TEST_F(HeldPreparationTest, ASecondLauncherFinishesWhileTheFirstStillRuns) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\jsse.jar"});
  probe_ = JvmProbe({});
  StartHeldPreparation(home);
  ASSERT_TRUE(WaitForLogLine("Unpacking JRE done"));
  // Packed again, so that the second launcher must take the lock.
  ASSERT_TRUE(WriteWholeFile(home + "\\lib\\rt.jar.pack", "lib\\rt.jar"));
  ASSERT_TRUE(DeleteFileA((home + "\\lib\\rt.jar").c_str()));
  const ProcessResult second = RunProbe(probe_, "--preparation-wait=20000 preparejre " + Quoted(home));
  EXPECT_EQ(second.exit_code, 0u) << second.err;
  EXPECT_EQ(second.out, "Preparing JRE ...\r\n");
  EXPECT_EQ(WaitForSingleObject(first_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
  EXPECT_EQ(FirstExitCode(), 0u);
}

// A launcher waits only so long for another one's preparation.
TEST_F(HeldPreparationTest, PreparationThatDoesNotFinishElsewhereEndsWithInternalError20) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\jsse.jar"});
  ASSERT_TRUE(WriteWholeFile(home + "\\bin\\unpack200-double.txt", "sleep=3000\n"));
  probe_ = JvmProbe({});
  StartHeldPreparation(home);
  ASSERT_TRUE(WaitForLogLine("waiting for unpack200 to finish"));
  const ProcessResult second = RunProbe(probe_, "--preparation-wait=300 preparejre " + Quoted(home));
  EXPECT_EQ(second.exit_code, 1u);
  EXPECT_EQ(second.err.rfind("An internal error occurred (error code: 20)\r\n", 0), 0u) << second.err;
  EXPECT_EQ(LastLogLines("ERROR: another launcher has been preparing the runtime for 300 ms: giving up").size(), 1u);
  EXPECT_EQ(FirstExitCode(), 0u);
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
}

TEST_F(PrepareJreTest, TwoLaunchersAtOncePrepareOnce) {
  const std::string home = PackedRuntime({"lib\\rt.jar", "lib\\jsse.jar"});
  ASSERT_TRUE(WriteWholeFile(home + "\\bin\\unpack200-double.txt", "sleep=1500\n"));
  const std::string probe = JvmProbe({});
  const std::vector<DWORD> exit_codes =
      RunTogether(probe, {"preparejre " + Quoted(home), "preparejre " + Quoted(home)}, {L"VEXLO_LOG=yes"});
  EXPECT_EQ(exit_codes, (std::vector<DWORD>{0, 0}));
  EXPECT_EQ(UnpackRuns(home).size(), 2u);
  int preparing = 0;
  for (const std::string& log : LogFiles()) {
    for (const std::string& line : SplitLines(ReadWholeFile(tmp_ + "\\" + log))) preparing += line == "Unpacking JRE";
  }
  EXPECT_EQ(preparing, 1);
  EXPECT_EQ(ReadWholeFile(home + "\\lib\\rt.jar"), "unpacked:lib\\rt.jar");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
