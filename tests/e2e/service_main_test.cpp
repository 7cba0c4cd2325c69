// The service role under the real service control manager: the launcher is
// installed as a service, started by the manager, runs its child (the same
// launcher with the restart marker) against the recording jvm.dll, and ends
// it through the stop line on the child's standard input.
#include <gtest/gtest.h>

#include "core/record_ids.h"
#include "support/service_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

using ServiceMainTest = ServiceTest;

TEST_F(ServiceMainTest, StartRunStopThroughTheStopLine) {
  SetDouble(dll_, "main-stdin=all");
  const std::string exe = Install(name_, Contents());
  const ProcessResult start = Run(exe, "-start " + name_);
  EXPECT_EQ(start.out, "Starting service '" + name_ + "'.\r\n");
  // Running is reported at once, not after the application is up.
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

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
