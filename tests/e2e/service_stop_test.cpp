// Supervision that always ends: a stop waits at most the stop timeout and
// then ends the child's whole process tree; the child and everything it
// started end with the service process; an application that ends by itself
// with a hanging shutdown hook is halted and shows as a failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/record_ids.h"
#include "support/service_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

class ServiceStopTest : public ServiceTest {
 protected:
  // The double's main starts a Windows grandchild (the java.exe double,
  // sleeping) and then never reads its input.
  void SetStubbornDouble() {
    SetDouble(dll_, "main-grandchild=\"" + runtime_ + "\\bin\\java.exe\" --sleep 600000\nmain-sleep=600000");
  }

  // The child and the grandchild, once the double has started the latter.
  std::vector<UniqueHandle> ChildTree() {
    std::vector<UniqueHandle> processes;
    std::vector<std::string> record;
    for (int waited = 0; waited < 600 && Values(record, "grandchild pid=").empty(); ++waited) {
      Sleep(100);
      record = Record(dll_);
    }
    if (Values(record, "grandchild pid=").empty()) return processes;
    for (const std::string& pid : {Values(record, "pid=").at(0), Values(record, "grandchild pid=").at(0)}) {
      processes.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(pid)));
      EXPECT_TRUE(processes.back()) << pid;
    }
    return processes;
  }

  static bool AllEnded(const std::vector<UniqueHandle>& processes, DWORD within_ms) {
    const ULONGLONG start = GetTickCount64();
    for (const UniqueHandle& process : processes) {
      const ULONGLONG spent = GetTickCount64() - start;
      const DWORD left = spent < within_ms ? static_cast<DWORD>(within_ms - spent) : 0;
      if (WaitForSingleObject(process.get(), left) != WAIT_OBJECT_0) return false;
    }
    return true;
  }
};

// The recording JVM ignores the stop line: after the stop timeout (6 s here)
// the service ends the child and its Windows grandchild and reports stopped;
// the stop command returns within the timeout and 5 s, and the check point
// moved on while it waited.
TEST_F(ServiceStopTest, StopTimeoutEndsTheWholeProcessTree) {
  SetStubbornDouble();
  BlockContents contents = Contents();
  SetText(contents, record::kStopTimeout, "6s");
  const std::string exe = Install(name_, contents);
  ASSERT_TRUE(StartWith(name_, {}));
  const std::vector<UniqueHandle> tree = ChildTree();
  ASSERT_EQ(tree.size(), 2u);

  const ULONGLONG start = GetTickCount64();
  PROCESS_INFORMATION stop = {};
  ASSERT_TRUE(StartProcess(Widen("\"" + exe + "\" -stop " + name_), Options({}), &stop));
  UniqueHandle stop_process(stop.hProcess), stop_thread(stop.hThread);
  DWORD highest_check_point = 0;
  bool pending = false;
  while (WaitForSingleObject(stop_process.get(), 100) == WAIT_TIMEOUT && GetTickCount64() - start < 30000) {
    const SERVICE_STATUS_PROCESS status = Status(name_);
    if (status.dwCurrentState != SERVICE_STOP_PENDING) continue;
    pending = true;
    highest_check_point = std::max(highest_check_point, status.dwCheckPoint);
    EXPECT_EQ(status.dwWaitHint, 3000u);
  }
  const ULONGLONG elapsed = GetTickCount64() - start;
  DWORD stop_exit_code = 1;
  GetExitCodeProcess(stop_process.get(), &stop_exit_code);
  EXPECT_EQ(stop_exit_code, 0u);
  EXPECT_GE(elapsed, 5500u);
  EXPECT_LE(elapsed, 11000u);
  EXPECT_TRUE(pending);
  EXPECT_GE(highest_check_point, 3u);
  EXPECT_EQ(State(name_), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(Status(name_).dwWin32ExitCode, 0u);
  EXPECT_TRUE(AllEnded(tree, 1000));

  const std::vector<std::string> log = FinishedServiceLog(name_);
  for (const char* line : {"sending shutdown 0", "waiting up to 6000 ms for the process to end",
                           "ERROR: the process did not end within 6000 ms of the stop: ending its process tree",
                           "process terminated with exit code 1460", "service stopped set"}) {
    EXPECT_TRUE(Contains(log, line)) << line << "\n" << Joined(log);
  }
  // The Java side would have halted a second before.
  EXPECT_TRUE(Contains(Record(dll_), "option=-Dvexlo.stopTimeoutMillis=1000"));
}

// The child and everything it started run in a job that ends with the service
// process. (Wine keeps showing a killed service as running: the name is used
// once per run.)
TEST_F(ServiceStopTest, KillingTheServiceProcessEndsItsChildren) {
  SetStubbornDouble();
  const std::string name = name_ + "-" + std::to_string(GetCurrentProcessId());
  Install(name, Contents());
  ASSERT_TRUE(StartWith(name, {}));
  const std::vector<UniqueHandle> tree = ChildTree();
  ASSERT_EQ(tree.size(), 2u);
  UniqueHandle service(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Status(name).dwProcessId));
  ASSERT_TRUE(service);
  ASSERT_TRUE(TerminateProcess(service.get(), 9));
  EXPECT_EQ(WaitForSingleObject(service.get(), 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(AllEnded(tree, 1000));
  ServiceLogWith("service name is '" + name + "'");  // only to have it removed
  installed_.pop_back();  // nothing to stop
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueService entry(OpenServiceA(manager.get(), name.c_str(), DELETE));
  DeleteService(entry.get());
}

// A real application whose shutdown hook never returns ends by itself: the
// Java side halts it a stop timeout less 5 s later with exit code 2, and the
// service stops with that code as its service-specific error.
TEST_F(ServiceStopTest, JavaApplicationHungInItsOwnExitIsHalted) {
  std::vector<IncludedFile> files;
  BlockContents contents = BridgeContents("VEXLO_TESTAPP_JAR", "testapp.StubbornApp", &files);
  SetText(contents, record::kAppArguments, "hook return");
  SetText(contents, record::kPassErrorLog, "1");
  SetText(contents, record::kErrorLog, "error.log");
  SetText(contents, record::kStopTimeout, "7s");
  Install(name_, contents, "svc.exe", files);
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForState(name_, SERVICE_STOPPED, 90000));
  const SERVICE_STATUS_PROCESS status = Status(name_);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(status.dwServiceSpecificExitCode, 2u);
  EXPECT_TRUE(Contains(Record(dll_), "host-java exit=2"));
  const std::string errors = ReadWholeFile(work_ + "\\error.log");
  EXPECT_NE(errors.find("did not end within 2000 ms after the JVM began to shut down; halting"), std::string::npos)
      << errors;
}

// A child that fails before its JVM runs, with message boxes configured:
// as a service's child it writes the message instead of showing a box in a
// session nobody sees, and the service stops with its exit code.
TEST_F(ServiceStopTest, ServiceChildShowsNoMessageBoxes) {
  BlockContents contents = Contents();
  SetText(contents, record::kSearchSequence, "A" + work_ + "\\no-runtime");
  SetText(contents, record::kLaunchMode, "5");
  const std::string exe = Install(name_, contents);
  ASSERT_TRUE(StartWith(name_, {}));
  ASSERT_TRUE(WaitForState(name_, SERVICE_STOPPED, 60000));
  EXPECT_EQ(Status(name_).dwServiceSpecificExitCode, 1u);
  const std::vector<std::string> child = ServiceLogWith("command line " + exe + " " + name_ + " __tvl_restart");
  EXPECT_TRUE(Contains(child, "a service's child: messages go to standard error")) << Joined(child);

  // The rule itself, at the probe: standard error instead of a box, and the
  // variable does not reach what the child starts.
  const std::string probe = WriteProbe("probe.exe", contents);
  const ProcessResult message = Run(probe, "message 1009 16", {L"VEXLO_SERVICE_CHILD=1"});
  EXPECT_EQ(message.exit_code, 1u);
  EXPECT_EQ(message.err, "An internal error occurred (error code: 16)\r\n");
  EXPECT_EQ(Run(probe, "variable VEXLO_SERVICE_CHILD", {L"VEXLO_SERVICE_CHILD=1"}).out, "<unset>\r\n");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
