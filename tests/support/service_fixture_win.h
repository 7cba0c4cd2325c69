// Fixture for tests of the service role under the real service control
// manager: launchers installed as demand-start services that find the fake
// runtime through their search sequence (a service does not get the test's
// environment), removed with the test together with the launcher logs their
// processes wrote.
#pragma once
#include <string>
#include <vector>

#include "support/runtime_fixture_win.h"

namespace vexlo {
namespace testing_support {

std::string Joined(const std::vector<std::string>& lines);

class ServiceTest : public RuntimeTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // JvmContents finding the test's runtime through the search sequence.
  BlockContents Contents();
  // Contents for a real Java application behind the bridge jvm.dll: the
  // host's java runs the main class from the jar that the test variable
  // names, with the runtime jar in *files, as vexlo-build embeds it.
  BlockContents BridgeContents(const char* jar_variable, const std::string& main_class,
                               std::vector<IncludedFile>* files);
  // Installs the launcher as a demand-start service under `name`.
  std::string Install(const std::string& name, const BlockContents& contents, const std::string& exe_name = "svc.exe",
                      const std::vector<IncludedFile>& files = {});
  static bool StartWith(const std::string& name, const std::vector<std::string>& parameters);
  // The service's status as the manager reports it; found is false without one.
  static SERVICE_STATUS_PROCESS Status(const std::string& name, bool* found = nullptr);
  static DWORD State(const std::string& name);
  static bool WaitForState(const std::string& name, DWORD state, DWORD timeout_ms = 30000);
  // Waits until the double's record holds the line.
  bool WaitForRecord(const std::string& line, DWORD timeout_ms = 30000);
  // Stops (waiting up to 10 s) and deletes the service.
  static void Remove(const std::string& name);

  // The launcher log of a process of this test's services that holds the
  // line. Services log (the test prefix turns their log on) into the
  // system's temporary directory, not the test's; the files found are
  // removed with the test.
  std::vector<std::string> ServiceLogWith(const std::string& line);
  // The service process's log once the process has logged its last line.
  std::vector<std::string> FinishedServiceLog(const std::string& name);

  std::string runtime_;
  std::string dll_;
  std::string name_;
  std::vector<std::string> installed_;
  std::vector<std::string> service_logs_;
};

}  // namespace testing_support
}  // namespace vexlo
