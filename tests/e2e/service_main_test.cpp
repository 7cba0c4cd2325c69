// The service role under the real service control manager: the launcher is
// installed as a service, started by the manager, runs its child (the same
// launcher with the restart marker) against the recording jvm.dll, and ends
// it through the stop line on the child's standard input.
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>

#include "core/record_ids.h"
#include "support/runtime_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The service log's lines without their time, after checking that each has
// one ("2026-12-09 08:07:50.123 ").
std::vector<std::string> Untimed(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  for (const std::string& line : lines) {
    const bool timed = line.size() > 24 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
                       line[16] == ':' && line[19] == '.' && line[23] == ' ';
    EXPECT_TRUE(timed) << line;
    texts.push_back(timed ? line.substr(24) : line);
  }
  return texts;
}

// The first of `expected` (each a line's beginning) not found in `lines` after
// the ones before it; "" when all are there in order.
std::string MissingInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& beginning : expected) {
    at = std::find_if(at, lines.end(), [&](const std::string& line) { return line.rfind(beginning, 0) == 0; });
    if (at == lines.end()) return beginning;
    ++at;
  }
  return "";
}

class ServiceMainTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    runtime_ = MakeRuntime();
    dll_ = runtime_ + "\\bin\\server";
    name_ = std::string("vexlo-main-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Remove(name_);
  }
  void TearDown() override {
    for (const std::string& name : installed_) Remove(name);
    for (const std::string& path : service_logs_) DeleteFileA(path.c_str());
    RuntimeTest::TearDown();
  }

  // A launcher that finds the fake runtime through its search sequence: a
  // service does not get the test's environment.
  BlockContents Contents() {
    BlockContents contents = JvmContents();
    SetText(contents, record::kSearchSequence, "A" + runtime_);
    return contents;
  }

  // A real Java application behind the bridge jvm.dll: the host's java runs
  // the main class from the jar the test variable names, with the runtime
  // jar inside the executable, as vexlo-build embeds it.
  BlockContents BridgeContents(const char* jar_variable, const char* main_class, std::vector<IncludedFile>* files) {
    SetDouble(dll_, "host-java=" + TestEnvironment("VEXLO_HOST_JAVA"));
    BlockContents contents = Contents();
    *files = {{"vexlo-runtime.jar", ReadWholeFile(TestEnvironment("VEXLO_RUNTIME_JAR"))}};
    DescribeIncludedFiles(*files, &contents);
    SetText(contents, record::kClassPath, "A1" + TestEnvironment(jar_variable));
    SetText(contents, record::kMainClass, main_class);
    return contents;
  }

  // testapp.StopMethodApp as a service with `arguments` and `records`, its
  // output in output.log, started and stopped once it is ready; the lines of
  // output.log.
  std::vector<std::string> RunStopMethodApp(const char* arguments,
                                            const std::vector<std::pair<int32_t, std::string>>& records) {
    std::vector<IncludedFile> files;
    BlockContents contents = BridgeContents("VEXLO_TESTAPP_JAR", "testapp.StopMethodApp", &files);
    SetText(contents, record::kAppArguments, arguments);
    SetText(contents, record::kPassOutputLog, "1");
    SetText(contents, record::kOutputLog, "output.log");
    for (const auto& given : records) SetText(contents, given.first, given.second);
    const std::string exe = Install(name_, contents, "svc.exe", files);
    EXPECT_TRUE(StartWith(name_, {}));
    const std::string output = work_ + "\\output.log";
    for (int waited = 0; waited < 600 && !Contains(SplitLines(ReadWholeFile(output)), "ready"); ++waited) Sleep(100);
    EXPECT_EQ(Run(exe, "-stop " + name_).out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
    return SplitLines(ReadWholeFile(output));
  }

  // Installs the launcher as a demand-start service under `name`.
  std::string Install(const std::string& name, const BlockContents& contents, const std::string& exe_name = "svc.exe",
                      const std::vector<IncludedFile>& files = {}) {
    const std::string exe = WriteLauncher(exe_name, contents, files);
    installed_.push_back(name);
    const ProcessResult result = Run(exe, "-install-demand " + name);
    EXPECT_EQ(result.exit_code, 0u) << result.out;
    return exe;
  }

  static bool StartWith(const std::string& name, const std::vector<std::string>& parameters) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_START));
    std::vector<const char*> pointers;
    for (const std::string& parameter : parameters) pointers.push_back(parameter.c_str());
    return StartServiceA(service.get(), static_cast<DWORD>(pointers.size()), pointers.empty() ? nullptr : pointers.data());
  }

  static SERVICE_STATUS_PROCESS Status(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                         &needed);
    return status;
  }
  static DWORD State(const std::string& name) { return Status(name).dwCurrentState; }

  static bool WaitForState(const std::string& name, DWORD state, DWORD timeout_ms = 30000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
      if (State(name) == state) return true;
      Sleep(50);
    }
    return false;
  }

  // Waits until the double's record holds the line.
  bool WaitForRecord(const std::string& line, DWORD timeout_ms = 30000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
      if (Contains(Record(dll_), line)) return true;
      Sleep(50);
    }
    return false;
  }

  static void Remove(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) WaitForState(name, SERVICE_STOPPED, 10000);
    DeleteService(service.get());
  }

  // The launcher log of a process of this test's services that holds the
  // line. Services log (the test prefix turns their log on) into the
  // system's temporary directory, not the test's; the files found are
  // removed with the test.
  std::vector<std::string> ServiceLogWith(const std::string& line) {
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    for (const std::string& name : ListDirectory(directory)) {
      if (name.rfind("tvl_nlog_", 0) != 0) continue;
      const std::string path = std::string(directory) + name;
      const std::vector<std::string> lines = SplitLines(ReadWholeFile(path));
      if (!Contains(lines, line)) continue;
      service_logs_.push_back(path);
      return lines;
    }
    return {};
  }

  // The service process's log once the process has logged its last line.
  std::vector<std::string> FinishedServiceLog(const std::string& name) {
    std::vector<std::string> log;
    for (int waited = 0; waited < 300; ++waited) {
      log = ServiceLogWith("service name is '" + name + "'");
      if (!log.empty() && log.back() == "exiting") break;
      Sleep(100);
    }
    return log;
  }

  // The service log at its default place beside svc.exe, without the times.
  std::vector<std::string> ServiceLog(const std::string& suffix = "") const {
    return Untimed(SplitLines(ReadWholeFile(work_ + "\\logs\\svc.service.log" + suffix)));
  }

  std::string runtime_;
  std::string dll_;
  std::string name_;
  std::vector<std::string> installed_;
  std::vector<std::string> service_logs_;
};

// With a start check, -start returns once the service has run through it.
TEST_F(ServiceMainTest, StartRunStopThroughTheStopLine) {
  SetDouble(dll_, "main-stdin=all");
  BlockContents contents = Contents();
  SetText(contents, record::kStartCheck, "1s");
  const std::string exe = Install(name_, contents);
  const ProcessResult start = Run(exe, "-start " + name_);
  EXPECT_EQ(start.out, "Starting service '" + name_ + "'.\r\nService '" + name_ + "' is running.\r\n");
  EXPECT_EQ(start.exit_code, 0u);
  EXPECT_EQ(State(name_), static_cast<DWORD>(SERVICE_RUNNING));
  ASSERT_TRUE(WaitForRecord("call main"));
  EXPECT_EQ(Run(exe, "-status " + name_).out, "Running.\r\n");

  const ProcessResult stop = Run(exe, "-stop " + name_);
  EXPECT_EQ(stop.out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
  EXPECT_EQ(State(name_), static_cast<DWORD>(SERVICE_STOPPED));
  // The stop line, then the end of input; the application ends normally.
  const std::vector<std::string> record = Record(dll_);
  const std::vector<std::string> input = Values(record, "stdin ");
  EXPECT_EQ(input, (std::vector<std::string>{"line=0", "end"}));
  EXPECT_TRUE(Contains(record, "DestroyJavaVM"));

  const std::vector<std::string> service = FinishedServiceLog(name_);
  const std::vector<std::string> expected = {
      "service main", "service name is '" + name_ + "'", "consuming output", "registering ConsoleCtrlHandler",
      "control handler request 1", "sending shutdown 0", "shutdown sent", "process terminated with exit code 0"};
  for (const std::string& line : expected) EXPECT_TRUE(Contains(service, line)) << line;
  EXPECT_TRUE(Contains(service, "service stopped set"));
  EXPECT_EQ(service.back(), "exiting") << Joined(service);
  for (const std::string& line : service) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
  // The child: the same executable, the service name first, the marker last.
  const std::vector<std::string> child = ServiceLogWith("command line " + exe + " " + name_ + " __tvl_restart");
  EXPECT_TRUE(Contains(child, "launch done")) << Joined(child);
}

// Service names and start parameters with blanks and quote characters reach
// the application in order, and cannot swallow the restart marker.
TEST_F(ServiceMainTest, NamesAndStartParametersReachMainInOrder) {
  SetDouble(dll_, "main-stdin=1");
  // (An empty parameter would end Wine's list of start parameters.)
  const std::vector<std::string> parameters = {"-x", "a b", "it's", "say \"hi\""};
  for (const std::string name : {name_ + " with space", "Bob'sSvc-" + name_}) {
    SCOPED_TRACE(name);
    DeleteFileA((dll_ + "\\jvm-double.record").c_str());
    Install(name, Contents());
    ASSERT_TRUE(StartWith(name, parameters));
    ASSERT_TRUE(WaitForRecord("arg=" + parameters.back()));
    std::vector<std::string> expected = {"false", "org.example.App", "", "", "false", name};
    expected.insert(expected.end(), parameters.begin(), parameters.end());
    EXPECT_EQ(Values(Record(dll_), "arg="), expected);
    Remove(name);
    EXPECT_EQ(State(name), 0u);
  }
}

// A stop sent at once, while the child is still starting (its JVM takes a
// while), ends in stopped: the stop is relayed as soon as there is a child.
TEST_F(ServiceMainTest, EarlyStopEndsInStopped) {
  SetDouble(dll_, "create-sleep=1000\nmain-stdin=1");
  Install(name_, Contents());
  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(attempt);
    DeleteFileA((dll_ + "\\jvm-double.record").c_str());
    ASSERT_TRUE(StartWith(name_, {}));
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name_.c_str(), SERVICE_STOP));
    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_TRUE(WaitForState(name_, SERVICE_STOPPED));
    EXPECT_TRUE(Contains(Record(dll_), "stdin stop"));
  }
}

// The child ends on its own: with 0 the service reports a clean stop; with
// any other code it reports stopped with the service-specific error and the
// child's code, so that the manager sees the failure.
TEST_F(ServiceMainTest, ChildEndingOnItsOwn) {
  const struct {
    const char* suffix;
    DWORD exit_code;
    DWORD win32_exit_code;
  } cases[] = {{"clean", 0, 0}, {"failing", 3, ERROR_SERVICE_SPECIFIC_ERROR}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.suffix);
    SetDouble(dll_, "main-exit=" + std::to_string(c.exit_code));
    const std::string name = name_ + "-" + c.suffix;
    Install(name, Contents(), std::string(c.suffix) + ".exe");
    ASSERT_TRUE(StartWith(name, {}));
    EXPECT_TRUE(WaitForState(name, SERVICE_STOPPED));
    const SERVICE_STATUS_PROCESS status = Status(name);
    EXPECT_EQ(status.dwWin32ExitCode, c.win32_exit_code);
    EXPECT_EQ(status.dwServiceSpecificExitCode, c.win32_exit_code != 0 ? c.exit_code : 0);
    const std::vector<std::string> log = FinishedServiceLog(name);
    EXPECT_TRUE(Contains(log, "process terminated with exit code " + std::to_string(c.exit_code))) << Joined(log);
    EXPECT_EQ(Contains(log, "ERROR: the process ended on its own: the service stopped with service-specific error 3"),
              c.exit_code == 3);
    EXPECT_TRUE(Contains(log, "service stopped set"));
  }
}

// An application that writes megabytes to its standard output and error is
// drained and never blocks.
TEST_F(ServiceMainTest, MegabytesOfOutputNeverBlock) {
  SetDouble(dll_, "main-output=8000000\nmain-stdin=1");
  const std::string exe = Install(name_, Contents());
  ASSERT_TRUE(StartWith(name_, {}));
  EXPECT_TRUE(WaitForRecord("output written=8000000"));
  EXPECT_EQ(Run(exe, "-stop " + name_).out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
  EXPECT_TRUE(Contains(Record(dll_), "stdin stop"));
}

// The child's priority class comes from the registry when it is one of the
// priority classes; anything else is logged and ignored.
TEST_F(ServiceMainTest, PriorityFromTheRegistry) {
  SetDouble(dll_, "main-stdin=1");
  const char kKey[] = "SOFTWARE\\morvane-digital\\vexlo\\priority";
  struct Case {
    const char* suffix;
    std::string data;  // the value's bytes
    const char* line;  // the service log's line about it, or null for none
  };
  const Case cases[] = {
      {"below", std::string("\x00\x40\x00\x00", 4), "using priority 16384"},
      {"suspend", std::string("\x04\x00\x00\x00", 4), "ERROR: ignoring priority 4: not a priority class"},
      {"eight-bytes", std::string("\x00\x40\x00\x00\x00\x00\x00\x00", 8), nullptr},
  };
  for (const Case& c : cases) {
    const std::string name = name_ + "-" + c.suffix;
    SCOPED_TRACE(name);
    {
      UniqueKey key;
      ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                ERROR_SUCCESS);
      RegSetValueExA(key.get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(c.data.data()),
                     static_cast<DWORD>(c.data.size()));
    }
    DeleteFileA((dll_ + "\\jvm-double.record").c_str());
    Install(name, Contents(), std::string(c.suffix) + ".exe");
    ASSERT_TRUE(StartWith(name, {}));
    EXPECT_TRUE(WaitForRecord("call main"));  // the child runs in every case
    Remove(name);
    const std::vector<std::string> log = FinishedServiceLog(name);
    if (c.line != nullptr) {
      EXPECT_TRUE(Contains(log, c.line));
    } else {
      for (const std::string& line : log) EXPECT_EQ(line.find("priority"), std::string::npos) << line;
    }
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS) {
      RegDeleteValueA(key.get(), name.c_str());
    }
  }
}

// Interrogate reports the status again and sends the child nothing.
TEST_F(ServiceMainTest, InterrogateSendsNothing) {
  SetDouble(dll_, "main-stdin=all");
  Install(name_, Contents());
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForRecord("call main"));
  {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name_.c_str(), SERVICE_INTERROGATE));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  }
  Sleep(200);
  EXPECT_TRUE(Values(Record(dll_), "stdin ").empty());
  Remove(name_);
  EXPECT_EQ(Values(Record(dll_), "stdin "), (std::vector<std::string>{"line=0", "end"}));
  const std::vector<std::string> log = FinishedServiceLog(name_);
  EXPECT_TRUE(Contains(log, "control handler request 4"));
  EXPECT_EQ(Count(log, "sending shutdown 0"), 1u);
}

// Preshutdown is accepted only with a preshutdown time (60 s without the
// record, "0s" turns it off). Wine's manager never sends it and refuses it
// from ControlService (87): the rule that relays it like a stop is tested
// with the supervision rules.
TEST_F(ServiceMainTest, PreshutdownIsAcceptedOnlyWithItsTime) {
  for (const char* time : {"", "0s"}) {
    BlockContents contents = Contents();
    if (*time != '\0') SetText(contents, record::kPreshutdownTimeout, time);
    Install(name_, contents);
    ASSERT_TRUE(StartWith(name_, {}));
    ASSERT_TRUE(WaitForState(name_, SERVICE_RUNNING));
    EXPECT_EQ(Status(name_).dwControlsAccepted,
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | (*time ? 0 : SERVICE_ACCEPT_PRESHUTDOWN)))
        << time;
    Remove(name_);
  }
}

// Start parameters the child's command line cannot carry end the start with
// stopped and the service-specific error 5000, and start no child.
TEST_F(ServiceMainTest, UnpassableStartsReportTheServiceSpecificError) {
  const std::vector<std::vector<std::string>> starts = {{"both ' and \""}, {std::string(33000, 'x')}};
  Install(name_, Contents());
  for (const std::vector<std::string>& parameters : starts) {
    StartWith(name_, parameters);  // Wine may already fail it with 1053
    ASSERT_TRUE(WaitForState(name_, SERVICE_STOPPED));
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(service.get(), &status));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 5000u);
  }
  EXPECT_TRUE(Record(dll_).empty());
}

// What the service process and its child hand on: the child inherits exactly
// the handles given to it; the console handler keeps every event from ending
// the process.
TEST_F(ServiceMainTest, ChildInheritsOnlyItsHandlesAndConsoleEventsAreAbsorbed) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  EXPECT_EQ(SplitLines(Run(probe, "inherit").out), (std::vector<std::string>{"given 10", "withheld 11"}));
  const ProcessResult console = Run(probe, "consolectrl", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(console.out, "1\r\n");
  ASSERT_EQ(LogFiles().size(), 1u);
  EXPECT_TRUE(Contains(SplitLines(ReadWholeFile(tmp_ + "\\" + LogFiles()[0])), "ConsoleCtrlHandler event"));
}

// The real thing behind the bridge jvm.dll: the demo application and the
// runtime jar run on a real JVM as a service, write their output log, and end
// through their stop handler and shutdown hook on stop.
TEST_F(ServiceMainTest, RealJavaApplicationThroughTheBridge) {
  std::vector<IncludedFile> files;
  BlockContents contents = BridgeContents("VEXLO_DEMO_JAR", "com.vexlo.demo.DemoService", &files);
  SetText(contents, record::kVmParameters, "-Ddemo.heartbeatMillis=100");
  SetText(contents, record::kPassOutputLog, "1");
  SetText(contents, record::kOutputLog, "output.log");
  SetText(contents, record::kAppArguments, "first \"second arg\"");
  const std::string exe = Install(name_, contents, "svc.exe", files);
  ASSERT_TRUE(StartWith(name_, {}));
  const std::string output = work_ + "\\output.log";
  for (int waited = 0; waited < 600 && !Contains(SplitLines(ReadWholeFile(output)), "demo: heartbeat 3"); ++waited) {
    Sleep(100);
  }
  EXPECT_EQ(Run(exe, "-stop " + name_).out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
  const std::vector<std::string> lines = SplitLines(ReadWholeFile(output));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "demo: service '" + name_ + "' started with arguments [first, second arg]");
  EXPECT_TRUE(Contains(lines, "demo: heartbeat 3")) << Joined(lines);
  // The stop handler first, then the shutdown hook, and nothing after them.
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "demo: stop handler: finishing the work in hand") << Joined(lines);
  EXPECT_EQ(lines.back(), "demo: shutdown hook");
  EXPECT_TRUE(Contains(Record(dll_), "host-java exit=0"));
  EXPECT_TRUE(Contains(FinishedServiceLog(name_), "process terminated with exit code 0"));
}

// The demo's service log, with no output file configured: what the service
// did and what the application wrote, in order, each line with its time.
TEST_F(ServiceMainTest, DemoServiceLogHoldsEachEventInOrder) {
  std::vector<IncludedFile> files;
  BlockContents contents = BridgeContents("VEXLO_DEMO_JAR", "com.vexlo.demo.DemoService", &files);
  SetText(contents, record::kVmParameters, "-Ddemo.heartbeatMillis=100");
  const std::string exe = Install(name_, contents, "svc.exe", files);
  ASSERT_TRUE(StartWith(name_, {"-x", "a b"}));
  // Written within a second of its coming.
  for (int waited = 0; waited < 600 && !Contains(ServiceLog(), "[child] demo: heartbeat 2"); ++waited) Sleep(100);
  EXPECT_EQ(Run(exe, "-stop " + name_).out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
  const std::vector<std::string> log = ServiceLog();
  EXPECT_EQ(MissingInOrder(log, {"[service] service '" + name_ + "' starting, start parameters [-x, a b]",
                                 "[service] child command line: " + exe + " " + name_ + " -x \"a b\" __tvl_restart",
                                 "[service] child started, process id ",
                                 "[child] demo: service '" + name_ + "' started with arguments [",
                                 "[child] demo: heartbeat 1",
                                 "[service] stop requested",
                                 "[service] stop relayed to the child",
                                 "[child] demo: stop handler: finishing the work in hand",
                                 "[child] demo: shutdown hook",
                                 "[service] child ended with exit code 0, ",
                                 "[service] service stopped, exit code 0"}),
            "")
      << Joined(log);
  EXPECT_EQ(log.back(), "[service] service stopped, exit code 0");
}

// The configured variables reach the Java application, each value expanded
// in the service with the lines before it set; an application without a
// stop handler ends gracefully through its configured stop method alone.
TEST_F(ServiceMainTest, ConfiguredVariablesAndStopMethodReachTheApplication) {
  const std::vector<std::string> lines = RunStopMethodApp(
      "env=VEXLO_TEST_HOME env=VEXLO_TEST_CONF",
      {{record::kServiceEnvironment, "VEXLO_TEST_HOME=%VEXLO_EXEDIR%home\nVEXLO_TEST_CONF=${VEXLO_TEST_HOME}\\conf"},
       {record::kJavaStop, "testapp.StopMethodApp\nstop\nfrom the configuration"}});
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "env VEXLO_TEST_HOME=" + work_ + "\\home");
  EXPECT_EQ(lines[1], "env VEXLO_TEST_CONF=" + work_ + "\\home\\conf");
  EXPECT_EQ(MissingInOrder(lines, {"ready", "stop method args=[from the configuration]", "hook ran"}), "")
      << Joined(lines);
  EXPECT_EQ(Status(name_).dwWin32ExitCode, 0u);
  EXPECT_TRUE(Contains(ServiceLog(), "[service] child environment sets VEXLO_TEST_HOME, VEXLO_TEST_CONF"))
      << Joined(ServiceLog());
}

// The Java side's output log rolls over at its size, and every line is in one
// of the files exactly once, in order.
TEST_F(ServiceMainTest, OutputLogRollsOverKeepingEveryLineOnce) {
  RunStopMethodApp("lines=3000",
                   {{record::kJavaStop, "testapp.StopMethodApp\nstop"}, {record::kLogRotation, "4KB 99"}});
  std::string all, expected, found;
  for (int i = 99; i >= 0; --i) all += ReadWholeFile(work_ + "\\output.log" + (i > 0 ? "." + std::to_string(i) : ""));
  for (int i = 1; i <= 3000; ++i) expected += "line " + std::string(6 - std::to_string(i).size(), '0') + std::to_string(i);
  for (const std::string& line : SplitLines(all)) found += line.rfind("line ", 0) == 0 ? line.substr(0, 11) : "";
  EXPECT_EQ(found, expected);
  EXPECT_NE(ReadWholeFile(work_ + "\\output.log.20"), "");  // it rolled over
}

// A child that cannot start the application leaves the launcher's message
// in the service log, which holds it by the time the service shows stopped.
// -start watches the start and reports it: the exit code and the child's
// last lines, read from that log (none when the log is off); -status shows
// the exit code too.
TEST_F(ServiceMainTest, FailedStartsAreReportedWithTheLauncherMessage) {
  const struct {
    const char* suffix;
    int32_t id;
    std::string value;
    std::string message;  // the first line of the child's message; "" with the log off
  } cases[] = {
      {"no-jvm", record::kSearchSequence, "A" + work_ + "\\no-runtime", "No JVM could be found."},
      {"missing-jar", record::kClassPath, "A1" + work_ + "\\missing.jar",
       "File or directory " + work_ + "\\missing.jar not found or empty"},
      {"log-off", record::kServiceLog, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.suffix);
    BlockContents contents = Contents();
    SetText(contents, c.id, c.value);
    SetText(contents, record::kStartCheck, "30s");  // for a loaded machine: a failure ends it early
    if (c.message.empty()) SetText(contents, record::kClassPath, "A1" + work_ + "\\missing.jar");
    const std::string name = name_ + "-" + c.suffix;
    const std::string exe = Install(name, contents);
    const ProcessResult start = Run(exe, "-start " + name);
    EXPECT_EQ(start.exit_code, 1u) << start.out;
    const std::vector<std::string> log = ServiceLog();
    if (!c.message.empty()) {
      EXPECT_EQ(MissingInOrder(log, {"[service] service '" + name + "' starting", "[child] " + c.message,
                                     "[service] child ended with exit code 1",
                                     "[service] service stopped, exit code 1066, service-specific exit code 1"}),
                "")
          << Joined(log);
    }
    // The report: the exit code, then the child's last lines of this run as
    // it wrote them. (Wine may fail the start call itself with 1053: no
    // "Starting" line then.)
    const std::string starting = "Starting service '" + name + "'.\r\n";
    std::string child;
    for (size_t i = 0, from = log.size(); i < log.size(); ++i) {
      if (log[i].rfind("[service] service '" + name + "' starting", 0) == 0) {
        from = i;
        child.clear();
      }
      if (i > from && log[i].rfind("[child] ", 0) == 0) child += log[i].substr(8) + "\r\n";
    }
    EXPECT_EQ(start.out.substr(start.out.rfind(starting, 0) == 0 ? starting.size() : 0),
              "Service '" + name + "' failed to start (exit code 1).\r\n" + child);
    const ProcessResult status = Run(exe, "-status " + name);
    EXPECT_EQ(status.out, "Not running.\r\nLast exit code 1.\r\n");
    EXPECT_EQ(status.exit_code, 3u);
    Remove(name);
  }
}

// 50 MB of output in numbered lines: the log stays within its 10 MB, one old
// file beside it, and no line is missing from the end of the output.
TEST_F(ServiceMainTest, FiftyMegabytesOfOutputKeepTheLogWithinItsLimit) {
  const unsigned long kLines = 262144;  // of 100 bytes, on each stream
  SetDouble(dll_, "main-output=" + std::to_string(kLines * 100) + "\nmain-stdin=1");
  const std::string exe = Install(name_, Contents());
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForRecord("output written=" + std::to_string(kLines * 100), 120000));
  EXPECT_EQ(Run(exe, "-stop " + name_).out, "Stopping service '" + name_ + "'.\r\nService stopped\r\n");
  std::vector<std::string> names = ListDirectory(work_ + "\\logs");
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names, (std::vector<std::string>{"svc.service.log", "svc.service.log.1"}));
  for (const std::string& name : names) {
    EXPECT_LE(ReadWholeFile(work_ + "\\logs\\" + name).size(), 10u << 20) << name;
  }
  // Each line follows the one before it, across the two files, up to the
  // last line written.
  std::vector<std::string> lines = ServiceLog(".1");
  const std::vector<std::string> current = ServiceLog();
  lines.insert(lines.end(), current.begin(), current.end());
  std::string previous;
  for (const std::string& line : lines) {
    if (line.rfind("[child] ", 0) != 0) continue;
    const std::string stream = line.substr(8, 3);
    const unsigned long number = std::stoul(line.substr(12, 8));
    if (!previous.empty()) {
      ASSERT_EQ(previous, number == 1 ? "out " + std::to_string(kLines) : stream + " " + std::to_string(number - 1))
          << line;
    }
    previous = stream + " " + std::to_string(number);
  }
  EXPECT_EQ(previous, "err " + std::to_string(kLines));
  EXPECT_EQ(current.back(), "[service] service stopped, exit code 0");
}

// A service's child held in its search, where it never reads its stop line:
// the version run of the java.exe double sleeps (java-double.txt says
// "sleep=..."), and that run is a Windows grandchild. Returns the child and
// the grandchild once both run.
std::vector<UniqueHandle> ChildTree(DWORD service_id) {
  std::vector<UniqueHandle> tree;
  for (int waited = 0; waited < 600 && tree.size() < 2; ++waited, Sleep(100)) {
    tree.clear();
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    std::vector<PROCESSENTRY32> processes;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
      processes.push_back(entry);
    }
    for (DWORD parent = service_id; tree.size() < 2 && parent != 0;) {
      const auto child = std::find_if(processes.begin(), processes.end(),
                                      [parent](const PROCESSENTRY32& p) { return p.th32ParentProcessID == parent; });
      parent = child == processes.end() ? 0 : child->th32ProcessID;
      if (parent != 0) tree.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, parent));
    }
  }
  return tree;
}

bool AllEndWithin(const std::vector<UniqueHandle>& processes, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (const UniqueHandle& process : processes) {
    const ULONGLONG now = GetTickCount64();
    if (WaitForSingleObject(process.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0) != WAIT_OBJECT_0) {
      return false;
    }
  }
  return true;
}

// A child that does not end on the stop line: after the stop timeout (6 s
// here) the service ends the child and its grandchild and reports stopped;
// the stop command returns within the timeout and 5 s, and the check point
// moved on while it waited.
TEST_F(ServiceMainTest, StopTimeoutEndsTheWholeProcessTree) {
  BlockContents contents = Contents();
  SetText(contents, record::kStopTimeout, "6s");
  const std::string exe = Install(name_, contents);
  ASSERT_TRUE(WriteWholeFile(runtime_ + "\\bin\\java-double.txt", "sleep=600000\n"));
  ASSERT_TRUE(StartWith(name_, {}));
  const std::vector<UniqueHandle> tree = ChildTree(Status(name_).dwProcessId);
  ASSERT_EQ(tree.size(), 2u);
  const ULONGLONG start = GetTickCount64();
  PROCESS_INFORMATION stop = {};
  ASSERT_TRUE(StartProcess(Widen("\"" + exe + "\" -stop " + name_), Options({}), &stop));
  UniqueHandle stop_process(stop.hProcess), stop_thread(stop.hThread);
  DWORD check_point = 0;
  while (WaitForSingleObject(stop_process.get(), 100) == WAIT_TIMEOUT && GetTickCount64() - start < 30000) {
    const SERVICE_STATUS_PROCESS status = Status(name_);
    if (status.dwCurrentState == SERVICE_STOP_PENDING) check_point = std::max(check_point, status.dwCheckPoint);
  }
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 5500u);
  EXPECT_LE(elapsed, 11000u);
  EXPECT_GE(check_point, 3u);
  EXPECT_EQ(Status(name_).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(Status(name_).dwWin32ExitCode, 0u);
  // Ended, not left running: under load their handles were seen to signal
  // more than a second after the service reported stopped.
  EXPECT_TRUE(AllEndWithin(tree, 5000));
  const std::vector<std::string> log = FinishedServiceLog(name_);
  for (const char* line : {"waiting up to 6000 ms for the process to end",
                           "ERROR: the process did not end within 6000 ms of the stop: ending its process tree",
                           "process terminated with exit code 1460", "service stopped set"}) {
    EXPECT_TRUE(Contains(log, line)) << line << "\n" << Joined(log);
  }
  EXPECT_EQ(MissingInOrder(ServiceLog(), {"[service] stop requested",
                                          "[service] child did not end within 6s of the stop request: ending it and "
                                          "every process it started",
                                          "[service] child ended with exit code 1460, ",
                                          "[service] service stopped, exit code 0"}),
            "");
}

// The child and everything it starts end with the service process. (Wine
// keeps showing a killed service as running: the name is used once a run.)
TEST_F(ServiceMainTest, KillingTheServiceProcessEndsItsChildren) {
  const std::string name = name_ + "-" + std::to_string(GetCurrentProcessId());
  Install(name, Contents());
  installed_.pop_back();  // it cannot be stopped any more
  ASSERT_TRUE(WriteWholeFile(runtime_ + "\\bin\\java-double.txt", "sleep=600000\n"));
  ASSERT_TRUE(StartWith(name, {}));
  const DWORD service_id = Status(name).dwProcessId;
  const std::vector<UniqueHandle> tree = ChildTree(service_id);
  ASSERT_EQ(tree.size(), 2u);
  UniqueHandle service(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, service_id));
  ASSERT_TRUE(TerminateProcess(service.get(), 9));
  EXPECT_TRUE(AllEndWithin(tree, 1000));
  ServiceLogWith("service name is '" + name + "'");  // to have it removed
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  DeleteService(UniqueService(OpenServiceA(manager.get(), name.c_str(), DELETE)).get());
}

// A real application that ends by itself while its shutdown hook never
// returns: the Java side halts it the stop timeout less 5 s later with exit
// code 2, and the service stops with that service-specific error.
TEST_F(ServiceMainTest, JavaApplicationHungInItsOwnExitIsHalted) {
  std::vector<IncludedFile> files;
  BlockContents contents = BridgeContents("VEXLO_TESTAPP_JAR", "testapp.StubbornApp", &files);
  SetText(contents, record::kAppArguments, "hook return");
  SetText(contents, record::kPassErrorLog, "1");
  SetText(contents, record::kErrorLog, "error.log");
  SetText(contents, record::kStopTimeout, "7s");
  Install(name_, contents, "svc.exe", files);
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForState(name_, SERVICE_STOPPED, 90000));
  EXPECT_EQ(Status(name_).dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(Status(name_).dwServiceSpecificExitCode, 2u);
  const std::string errors = ReadWholeFile(work_ + "\\error.log");
  EXPECT_NE(errors.find("did not end within 2000 ms after the JVM began to shut down; halting"), std::string::npos)
      << errors;
}

// With message boxes configured, a service's child that fails writes its
// message to standard error: nobody would see a box in the services'
// session. It takes the variable that says so out of its environment.
TEST_F(ServiceMainTest, ServiceChildShowsNoMessageBoxes) {
  BlockContents contents = Contents();
  SetText(contents, record::kSearchSequence, "A" + work_ + "\\no-runtime");
  SetText(contents, record::kLaunchMode, "5");
  const std::string exe = Install(name_, contents);
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForState(name_, SERVICE_STOPPED, 60000));
  EXPECT_EQ(Status(name_).dwServiceSpecificExitCode, 1u);
  const std::vector<std::string> child = ServiceLogWith("command line " + exe + " " + name_ + " __tvl_restart");
  EXPECT_TRUE(Contains(child, "a service's child: messages go to standard error")) << Joined(child);
  const std::string probe = WriteProbe("probe.exe", contents);
  const ProcessResult message = Run(probe, "message 1009 16", {L"VEXLO_SERVICE_CHILD=1"});
  EXPECT_EQ(message.err, "An internal error occurred (error code: 16)\r\n");
  EXPECT_EQ(Run(probe, "variable VEXLO_SERVICE_CHILD", {L"VEXLO_SERVICE_CHILD=1"}).out, "<unset>\r\n");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
