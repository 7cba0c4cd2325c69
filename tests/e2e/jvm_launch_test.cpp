// The launch in a child start against the recording jvm.dll double: the
// option list from every source, VM options files, the class path, the
// arguments handed to main, the first-run hook and how main ends.
#include <gtest/gtest.h>

#include "support/runtime_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

const std::wstring kPathSetting = L"PATH=C:\\windows\\system32;C:\\windows";

class JvmLaunchTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    runtime_ = MakeRuntime();
    dll_ = runtime_ + "\\bin\\server";
  }

  // Builds svc.exe and runs it as a child start with a fresh record.
  ProcessResult Launch(const BlockContents& contents, const std::string& arguments,
                       std::vector<std::wstring> environment = {}) {
    exe_ = WriteLauncher("svc.exe", contents);
    DeleteFileA((dll_ + "\\jvm-double.record").c_str());
    return RunChild(exe_, runtime_, arguments, std::move(environment));
  }
  ProcessResult Launch(const BlockContents& contents, const std::wstring& command_tail, const ProcessOptions& options) {
    exe_ = WriteLauncher("svc.exe", contents);
    DeleteFileA((dll_ + "\\jvm-double.record").c_str());
    return RunProcess(L"\"" + Widen(exe_) + L"\" " + command_tail + L" __tvl_restart", options);
  }

  std::vector<std::string> Recorded() const { return Record(dll_); }
  std::vector<std::string> RecordedOptions() const { return Values(Record(dll_), "option="); }
  std::vector<std::string> RecordedArguments() const { return Values(Record(dll_), "arg="); }
  std::string ClassPathOption() const {
    const std::vector<std::string> options = RecordedOptions();
    return options.empty() ? std::string() : options.back();
  }
  void WriteFile(const std::string& relative, const std::string& bytes) {
    ASSERT_TRUE(WriteWholeFile(work_ + "\\" + relative, bytes)) << relative;
  }
  void MakeDirectory(const std::string& relative) { CreateDirectoryA((work_ + "\\" + relative).c_str(), nullptr); }

  std::string runtime_;
  std::string dll_;
  std::string exe_;
};

// Every source at once, in the fixed order: own properties, VM parameters
// (with an include), -J arguments, the locale option, the default VM options
// file, the Java side's stop timeout (30 s less 5 s by default) and the class
// path last.
TEST_F(JvmLaunchTest, OptionListWithEverySource) {
  BlockContents contents = JvmContents();
  SetText(contents, 123, "-Xmx256m -include-options extra.vmoptions \"-Dquoted=a b\" -Dexe=%VEXLO_EXEDIR%");
  SetText(contents, 125, "1");
  SetText(contents, 10005, "1");
  SetText(contents, 121, "A0lib\\app.jar;E0VEXLO_TEST_CP;S0libs");
  WriteFile("extra.vmoptions", "-Dfrom.extra=1\r\n");
  WriteFile("svc.vmoptions", "# options for the test\r\n  -Dfrom.file=1  \r\n-classpath/a tail.jar\r\n");
  MakeDirectory("libs");
  WriteFile("libs\\a.jar", "a");
  WriteFile("libs\\b.zip", "b");
  const ProcessResult result = Launch(contents, "svc -J-Dj=1 -Dsun.locale.formatasdefault=true x",
                                      {kPathSetting, L"MANPATH=", L"VEXLO_TEST_CP=\"C:\\shared\\y.jar\""});
  ASSERT_EQ(result.exit_code, 0u) << result.err;

  const std::vector<std::string> record = Recorded();
  std::vector<std::string> options = RecordedOptions();
  // Named once the instance check runs; its value is that check's business.
  if (!options.empty() && options[0].rfind("-Dvexlo.semaphoreName=Local\\", 0) == 0) options.erase(options.begin());
  const std::string bin = Lower(runtime_) + "\\bin";
  const std::vector<std::string> expected = {
      "-Dvexlo.isService=true",
      "-Dvexlo.moduleName=" + exe_,
      "-Dsun.java.command=" + exe_,
      "-Dvexlo.processCommFile=" + tmp_ + "\\vxl_p" + Values(record, "pid=").at(0) + ".tmp",
      "-Dvexlo.tempDir=",
      "-Dvexlo.unextractedPosition=0",
      "-Djava.library.path=C:\\windows\\system32;C:\\windows;" + bin,
      "-Dvexlo.consoleCodepage=cp" + Values(record, "console-output-cp=").at(0),
      "-Xmx256m",
      "-Dfrom.extra=1",
      "-Dquoted=a b",
      "-Dexe=" + work_ + "\\",
      "-Dj=1",
      "-Dsun.locale.formatasdefault=true",
      "-Dfrom.file=1",
      "-Dvexlo.stopTimeoutMillis=25000",
      "-Djava.class.path=" + work_ + "\\lib\\app.jar;C:\\shared\\y.jar;" + work_ + "\\libs\\a.jar;" + work_ +
          "\\libs\\b.zip;tail.jar",
  };
  EXPECT_EQ(options, expected);
  EXPECT_EQ(Values(record, "create ").at(0),
            "version=0x00010002 ignoreUnrecognized=1 options=" + std::to_string(RecordedOptions().size()));
  const std::vector<std::string> log = LastLog();
  EXPECT_TRUE(Contains(log, "vmoption count " + std::to_string(RecordedOptions().size())));
  EXPECT_TRUE(Contains(log, "vmoption 0: " + RecordedOptions()[0]));
}

// Which own properties are present: the tavrelium flag with mode letter "i",
// the communication file with single instance mode, the console code page
// only while MANPATH is unset.
TEST_F(JvmLaunchTest, OwnPropertiesFollowTheirPresenceRules) {
  struct Case {
    const char* mode_letter;
    const char* single_instance;
    const wchar_t* manpath;
    bool tavrelium, comm_file, code_page;
  };
  const Case cases[] = {
      {"i", "0", L"MANPATH=C:\\man", true, false, false},
      {"", "1", L"MANPATH=", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode_letter);
    BlockContents contents = JvmContents();
    SetText(contents, 2001, c.mode_letter);
    SetText(contents, 10005, c.single_instance);
    ASSERT_EQ(Launch(contents, "svc", {c.manpath}).exit_code, 0u);
    const std::vector<std::string> options = RecordedOptions();
    auto present = [&](const std::string& prefix) {
      for (const std::string& option : options) {
        if (option.rfind(prefix, 0) == 0) return true;
      }
      return false;
    };
    EXPECT_EQ(present("-Dvexlo.isTavrelium=true"), c.tavrelium);
    EXPECT_EQ(present("-Dvexlo.processCommFile="), c.comm_file);
    EXPECT_EQ(present("-Dvexlo.consoleCodepage=cp"), c.code_page);
    EXPECT_TRUE(present("-Dvexlo.isService=true"));
  }
}

// svc.vmoptions is preferred to svc.exe.vmoptions; either is found alone.
TEST_F(JvmLaunchTest, DefaultOptionsFileByEitherName) {
  WriteFile("svc.vmoptions", "-Dshort=1");
  WriteFile("svc.exe.vmoptions", "-Dlong=1");
  ASSERT_EQ(Launch(JvmContents(), "svc").exit_code, 0u);
  EXPECT_TRUE(Contains(RecordedOptions(), "-Dshort=1"));
  EXPECT_FALSE(Contains(RecordedOptions(), "-Dlong=1"));
  DeleteFileA((work_ + "\\svc.vmoptions").c_str());
  ASSERT_EQ(Launch(JvmContents(), "svc").exit_code, 0u);
  EXPECT_TRUE(Contains(RecordedOptions(), "-Dlong=1"));
}

// Includes resolve against the including file; a byte-order mark is dropped;
// a file already being read is refused while siblings of the same file are
// read each time; a line is one option, tabs included.
TEST_F(JvmLaunchTest, VmOptionsFilesAndIncludes) {
  MakeDirectory("sub");
  WriteFile("sub\\a.vmoptions",
            "\xEF\xBB\xBF-Da=1\r\n-include-options b.vmoptions\r\n-include-options b.vmoptions\r\n"
            "-include-options ${VEXLO_EXEDIR}SUB\\a.vmoptions\r\n\t# not a comment\r\n-Xmx1g -Xms64m\r\n");
  WriteFile("sub\\b.vmoptions", "-Db=1");
  WriteFile("b.vmoptions", "-Dwrong=1");
  BlockContents contents = JvmContents();
  SetText(contents, 123, "-include-options sub\\a.vmoptions -Dlast -include-options");
  ASSERT_EQ(Launch(contents, "svc").exit_code, 0u);
  std::vector<std::string> options = RecordedOptions();
  const auto first = std::find(options.begin(), options.end(), "-Da=1");
  ASSERT_NE(first, options.end()) << ::testing::PrintToString(options);
  EXPECT_EQ(std::vector<std::string>(first, options.end() - 1),
            (std::vector<std::string>{"-Da=1", "-Db=1", "-Db=1", "\t# not a comment", "-Xmx1g -Xms64m", "-Dlast",
                                      "-include-options", "-Dvexlo.stopTimeoutMillis=25000"}));
  const std::vector<std::string> log = LastLog();
  EXPECT_TRUE(Contains(log, "ERROR: vmoptions file <" + work_ + "\\SUB\\a.vmoptions> is already being read: "
                            "include refused"));
  auto includes_of = [&](const std::string& file, const std::string& as_written) {
    size_t count = 0;
    for (const std::string& line : log) {
      count += line.rfind("adding vmoptions from <" + work_ + file + "> (" + as_written + ") (", 0) == 0;
    }
    return count;
  };
  EXPECT_EQ(includes_of("\\sub\\a.vmoptions", "sub\\a.vmoptions"), 1u);
  EXPECT_EQ(includes_of("\\sub\\b.vmoptions", "b.vmoptions"), 2u);
}

// The class path: prepend, replace and append values from VM options files,
// configured entries of each type, and values kept whole.
TEST_F(JvmLaunchTest, ClassPathComposition) {
  MakeDirectory("lib");
  WriteFile("lib\\app.jar", "a");
  const std::string long_jar = "C:\\" + std::string(9000, 'j') + ".jar";
  struct Case {
    const char* name;
    std::string entries;
    std::string options_file;
    std::string mode_letter;
    std::string class_path;
  };
  const Case cases[] = {
      {"prepend and append", "A0lib\\app.jar", "-classpath/p a.jar\n-classpath/a b.jar\n", "",
       "a.jar;" + work_ + "\\lib\\app.jar;b.jar"},
      {"replace", "A0lib\\app.jar", "-classpath c.jar\n", "", "c.jar"},
      {"append alone", "", "-classpath/a b.jar\n-classpath/a second.jar\n", "", "second.jar"},
      {"long append line", "", "-classpath/a " + long_jar + "\n", "", long_jar},
      {"missing optional entries", "A0missing.jar;E0VEXLO_UNSET_VARIABLE;S0nodir;D0lib", "", "",
       work_ + "\\missing.jar;" + work_ + "\\lib;"},
      {"unknown type letter", "X1whatever;A0lib\\app.jar", "", "", work_ + "\\lib\\app.jar;"},
      {"tavrelium runtime jar", "A0lib\\app.jar", "", "i",
       work_ + "\\inst\\.tavrelium\\tvlruntime.jar;" + work_ + "\\lib\\app.jar;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockContents contents = JvmContents();
    SetText(contents, 121, c.entries);
    SetText(contents, 2001, c.mode_letter);
    SetText(contents, 10003, "inst");
    WriteFile("svc.vmoptions", c.options_file);
    const ProcessResult result = Launch(contents, "svc", {L"VEXLO_UNSET_VARIABLE="});
    EXPECT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(ClassPathOption(), "-Djava.class.path=" + c.class_path);
    if (c.entries[0] == 'X') {
      EXPECT_TRUE(Contains(LastLog(), "ERROR: unknown classpath entry type X in X1whatever: entry ignored"));
    }
  }
  EXPECT_TRUE(Contains(LastLog(), "classpath entry A0lib\\app.jar"));
}

// A required entry that is missing stops the launch before the JVM exists.
TEST_F(JvmLaunchTest, MissingRequiredEntriesStopTheLaunch) {
  struct Case {
    const char* entries;
    const char* shown;
  };
  const Case cases[] = {
      {"A1missing.jar", "File or directory missing.jar not found or empty\r\n\r\n"},
      {"S1nodir", "File or directory nodir not found or empty\r\n\r\n"},
      {"E1VEXLO_UNSET_VARIABLE", "The environment variable VEXLO_UNSET_VARIABLE has to be defined\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries);
    BlockContents contents = JvmContents();
    SetText(contents, 121, c.entries);
    const ProcessResult result = Launch(contents, "svc", {L"VEXLO_UNSET_VARIABLE="});
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.err.substr(0, result.err.find("Log: ")), std::string(c.shown) + "\r\n");
    EXPECT_FALSE(Contains(LastLog(), "Creating JVM"));
  }
}

// The String[] for main: five fixed values, the first program argument even
// when it looks like an option, record 124 split, then the rest less the
// arguments that became JVM options. Non-ASCII arguments reach Java as UTF-16.
TEST_F(JvmLaunchTest, ArgumentsHandedToMain) {
  BlockContents contents = JvmContents();
  SetText(contents, 102, "1");
  SetText(contents, 103, "error.log");
  SetText(contents, 104, "0");
  SetText(contents, 105, "out.log");
  SetText(contents, 106, "1");
  SetText(contents, 124, "one \"two three\"");
  const std::wstring tail = L"-Jfirst -J-Xmx1g x -Dsun.locale.formatasdefault=true \x65E5\x672C";
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";
  {
    SCOPED_TRACE("-J arguments allowed");
    SetText(contents, 125, "1");
    ASSERT_EQ(Launch(contents, tail, ChildOptions(runtime_)).exit_code, 0u);
    EXPECT_EQ(RecordedArguments(), (std::vector<std::string>{"false", "org.example.App", work_ + "\\error.log", "",
                                                             "true", "-Jfirst", "one", "two three", "x", japanese}));
    EXPECT_TRUE(Contains(RecordedOptions(), "first"));
    EXPECT_TRUE(Contains(RecordedOptions(), "-Xmx1g"));
    EXPECT_TRUE(Contains(LastLog(), "param 9: ??"));
    EXPECT_TRUE(Contains(LastLog(), "param count: 10"));
  }
  {
    SCOPED_TRACE("-J arguments not allowed");
    SetText(contents, 125, "0");
    SetText(contents, 102, "0");
    SetText(contents, 107, "1");
    SetText(contents, 124, "");
    ASSERT_EQ(Launch(contents, tail, ChildOptions(runtime_)).exit_code, 0u);
    EXPECT_EQ(RecordedArguments(), (std::vector<std::string>{"true", "org.example.App", "", "", "true", "-Jfirst",
                                                             "-J-Xmx1g", "x", japanese}));
    EXPECT_FALSE(Contains(RecordedOptions(), "-Xmx1g"));
  }
  {
    SCOPED_TRACE("no program arguments");
    ASSERT_EQ(Launch(contents, L"", ChildOptions(runtime_)).exit_code, 0u);
    EXPECT_EQ(RecordedArguments().size(), 5u);
  }
}

// How main is looked up, called and ended.
TEST_F(JvmLaunchTest, MainOutcomes) {
  struct Case {
    const char* settings;
    DWORD exit_code;
    std::string shown;     // standard error up to the log path
    const char* log_line;  // a line the log must have
    bool main_called;
    bool call_failed;  // "could not call main": the start fails, the JVM stays
    bool destroyed;
  };
  const std::string thrown = "Exception in thread \"main\" java/lang/";
  const Case cases[] = {
      {"", 0, "", "launch done", true, false, true},
      {"main-throws=1", 1, thrown + "RuntimeException: from the jvm double\n", "ERROR: an exception occured", true,
       true, false},
      {"missing-class=com/vexlo/runtime/WinLauncher", 1, "Couldn't load main class.\r\n\r\n",
       "ERROR: could not find main class", false, false, false},
      {"missing-method=main", 1, "Main method not found.\r\n\r\n", "ERROR: could not find main method", false, false,
       false},
      {"create=-6", 1, "", "ERROR: could not initialize JVM", false, false, false},
      {"main-exit=7", 7, "", "calling main", true, false, false},
      {"missing-class=java/lang/String", 1, thrown + "NoClassDefFoundError: from the jvm double\n",
       "ERROR: could not find class java/lang/String", false, true, false},
      {"fail=NewObjectArray", 1, thrown + "OutOfMemoryError: from the jvm double\n",
       "ERROR: could not create the argument array", false, true, false},
      {"fail-string=3", 1, thrown + "OutOfMemoryError: from the jvm double\n", "ERROR: could not create argument 3",
       false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    SetDouble(dll_, c.settings);
    const ProcessResult result = Launch(JvmContents(), "svc");
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_EQ(result.err.substr(0, result.err.find("Log: ")), c.shown);
    const std::vector<std::string> record = Recorded();
    const std::vector<std::string> log = LastLog();
    EXPECT_TRUE(Contains(log, c.log_line));
    EXPECT_EQ(Contains(record, "call main"), c.main_called);
    EXPECT_EQ(Contains(log, "main returned"), c.main_called && c.exit_code != 7);
    EXPECT_EQ(Contains(log, "ERROR: could not call main"), c.call_failed);
    EXPECT_EQ(Contains(record, "DestroyJavaVM"), c.destroyed);
  }
  EXPECT_TRUE(Contains(Recorded(), "FindClass com/vexlo/runtime/WinLauncher"));
  EXPECT_TRUE(Contains(Recorded(), "GetStaticMethodID main ([Ljava/lang/String;)V"));
}

// Mode letter "i": the tavrelium launcher class, and the first-run hook while
// its marker exists below the installation directory.
TEST_F(JvmLaunchTest, FirstRunHook) {
  BlockContents contents = JvmContents();
  SetText(contents, 2001, "i");
  SetText(contents, 10003, "inst");
  SetText(contents, 1009, "An internal error occurred (error code: {0})");
  {
    SCOPED_TRACE("no marker");
    ASSERT_EQ(Launch(contents, "svc").exit_code, 0u);
    EXPECT_FALSE(Contains(Recorded(), "FindClass com/tavrelium/runtime/launcher/FirstRun"));
    EXPECT_TRUE(Contains(Recorded(), "FindClass com/tavrelium/runtime/launcher/WinLauncher"));
    EXPECT_TRUE(Contains(Recorded(), "call main"));
  }
  MakeDirectory("inst");
  MakeDirectory("inst\\.tavrelium");
  WriteFile("inst\\.tavrelium\\firstrun", "");
  struct Case {
    const char* settings;
    DWORD exit_code;
    const char* shown;
    bool first_run_called, main_called, destroyed;
  };
  const Case cases[] = {
      {"", 0, "", true, true, true},
      {"firstrun=false", 0, "", true, false, true},
      {"missing-class=com/tavrelium/runtime/launcher/FirstRun", 1, "An internal error occurred (error code: 14)\r\n\r\n",
       false, false, false},
      {"missing-method=firstRun", 1, "An internal error occurred (error code: 15)\r\n\r\n", false, false, false},
      {"firstrun-throws=1", 1, "Exception in thread \"main\" java/lang/IllegalStateException: from the jvm double\n",
       true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    SetDouble(dll_, c.settings);
    const ProcessResult result = Launch(contents, "svc");
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.err.substr(0, result.err.find("Log: ")), c.shown);
    const std::vector<std::string> record = Recorded();
    EXPECT_TRUE(Contains(record, "GetStaticMethodID firstRun ()Z") || !c.first_run_called);
    EXPECT_EQ(Contains(record, "call firstRun"), c.first_run_called);
    EXPECT_EQ(Contains(record, "call main"), c.main_called);
    EXPECT_EQ(Contains(record, "DestroyJavaVM"), c.destroyed);
    const std::vector<std::string> log = LastLog();
    EXPECT_EQ(Contains(log, "checkFirstRun stopped further execution"), std::string(c.settings) == "firstrun=false");
    if (std::string(c.settings) == "firstrun-throws=1") EXPECT_TRUE(Contains(log, "ERROR: could not call main"));
  }
}

// main reads standard input until the stop line "0" or its end, as the
// launcher class does; the service stops its child that way.
TEST_F(JvmLaunchTest, MainReadsStandardInputUntilTheStopLine) {
  WriteFile("input.txt", "hello\r\n 0 \r\nafter\r\n");
  {
    SCOPED_TRACE("stop line, then return");
    SetDouble(dll_, "main-stdin=1\n");
    ProcessOptions options = ChildOptions(runtime_);
    options.input_path = Widen(work_ + "\\input.txt");
    ASSERT_EQ(Launch(JvmContents(), L"svc", options).exit_code, 0u);
    const std::vector<std::string> record = Recorded();
    EXPECT_EQ(Values(record, "stdin "), (std::vector<std::string>{"line=hello", "line= 0 ", "stop"}));
    EXPECT_TRUE(Contains(record, "DestroyJavaVM"));
  }
  {
    SCOPED_TRACE("end of input, then System.exit(0)");
    SetDouble(dll_, "main-stdin=1\nmain-exit=0\n");
    ASSERT_EQ(Launch(JvmContents(), "svc").exit_code, 0u);
    const std::vector<std::string> record = Recorded();
    EXPECT_EQ(Values(record, "stdin "), std::vector<std::string>{"end"});
    EXPECT_FALSE(Contains(record, "DestroyJavaVM"));
  }
}

// While the application runs, the launcher holds none of its VM options
// files open (an administrator can edit or replace them), and main ends on
// the stop line written to a live pipe, as the service writes it.
TEST_F(JvmLaunchTest, OptionsFilesAreClosedWhileTheApplicationRuns) {
  WriteFile("svc.vmoptions", "-include-options extra.vmoptions\r\n");
  WriteFile("extra.vmoptions", "-Dextra=1\r\n");
  SetDouble(dll_, "main-stdin=1\n");
  exe_ = WriteLauncher("svc.exe", JvmContents());

  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
  UniqueHandle input(read_end);
  UniqueHandle stop(write_end);
  SetHandleInformation(stop.get(), HANDLE_FLAG_INHERIT, 0);
  ProcessOptions options = ChildOptions(runtime_);
  options.input_handle = input.get();
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(StartProcess(L"\"" + Widen(exe_) + L"\" svc __tvl_restart", options, &info));
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  input.reset();

  // main has been called once the double has recorded it.
  for (int wait = 0; wait < 600 && !Contains(Recorded(), "call main"); ++wait) Sleep(50);
  ASSERT_TRUE(Contains(Recorded(), "call main"));
  EXPECT_TRUE(DeleteFileA((work_ + "\\svc.vmoptions").c_str())) << GetLastError();
  EXPECT_TRUE(DeleteFileA((work_ + "\\extra.vmoptions").c_str())) << GetLastError();

  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(stop.get(), "0\n", 2, &written, nullptr));
  stop.reset();
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.get(), &exit_code);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(Values(Recorded(), "stdin "), (std::vector<std::string>{"line=0", "stop"}));
  EXPECT_TRUE(Contains(Recorded(), "DestroyJavaVM"));
  EXPECT_TRUE(Contains(RecordedOptions(), "-Dextra=1"));
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
