// The administration commands against the real service control manager.
// Every test uses its own service name and removes what it installed.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/record_ids.h"
#include "support/launcher_fixture_win.h"
#include "support/service_query_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

class ServiceCommandsTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    name_ = std::string("vexlo-test-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    installed_.push_back(name_);
    for (const auto& name : installed_) RemoveService(name);
  }
  void TearDown() override {
    for (const auto& name : installed_) RemoveService(name);
    LauncherTest::TearDown();
  }

  static DWORD State(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    if (!service || !QueryServiceStatus(service.get(), &status)) return 0;
    return status.dwCurrentState;
  }

  static bool WaitForState(const std::string& name, DWORD state) {
    for (int i = 0; i < 200; ++i) {
      if (State(name) == state) return true;
      Sleep(100);
    }
    return false;
  }

  // Installs the stand-in service program under a name: the launcher's own
  // service role is not what these tests are about.
  void CreateTestService(const std::string& name, const std::string& arguments) {
    installed_.push_back(name);
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const std::string binary = "\"" + TestServicePath() + "\" " + arguments;
    UniqueService service(CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                                         nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
  }

  static std::string TestServicePath() {
    const char* path = getenv("VEXLO_TEST_SERVICE");
    return path ? path : "";
  }

  void ExpectCommand(const std::string& exe, const std::string& arguments, const std::string& out,
                     DWORD exit_code) {
    const ProcessResult result = Run(exe, arguments);
    EXPECT_EQ(result.out, out) << arguments;
    EXPECT_EQ(result.exit_code, exit_code) << arguments;
  }

  // The stand-in service under this test's name, started with the launcher.
  std::string StartStandIn(const std::string& arguments, const std::string& start_mode) {
    CreateTestService(name_, arguments);
    const std::string exe = Launcher(start_mode);
    ExpectCommand(exe, "-start", "Starting service '" + name_ + "'.\r\n", 0);
    EXPECT_TRUE(WaitForState(name_, SERVICE_RUNNING));
    return exe;
  }

  std::string Launcher(const std::string& start_mode = "4", const std::string& dependencies = "") {
    BlockContents contents = DefaultContents(name_);
    SetText(contents, 107, start_mode);
    SetText(contents, 149, dependencies);
    return WriteLauncher("svc.exe", contents);
  }

  std::string name_;
  std::vector<std::string> installed_;
};

// Never interactive (type 0x10); the preshutdown time is the default, set
// without a line.
TEST_F(ServiceCommandsTest, InstallAutoOwnProcess) {
  const std::string exe = Launcher("4", ",Tcpip,,Afd,");
  const ProcessResult result = Run(exe, "-install");
  EXPECT_EQ(result.out, "Installed service '" + name_ + "'.\r\n");
  EXPECT_EQ(result.exit_code, 0u);
  const ServiceConfig config = QueryServiceSettings(name_);
  ASSERT_TRUE(config.found);
  EXPECT_EQ(config.type, 0x10u);
  EXPECT_EQ(config.preshutdown_ms, 60000u);
  EXPECT_EQ(config.start_type, 2u);
  EXPECT_EQ(config.error_control, 1u);
  EXPECT_EQ(config.account, "LocalSystem");
  EXPECT_EQ(config.binary_path, exe);
  EXPECT_EQ(config.description, L"Vexlo test service description");
  EXPECT_EQ(FirstDependency(name_), "Tcpip");
}

TEST_F(ServiceCommandsTest, InstallNonInteractiveAndDemandStart) {
  const std::string exe = Launcher("2");
  EXPECT_EQ(Run(exe, "-install non-interactive").exit_code, 0u);
  ServiceConfig config = QueryServiceSettings(name_);
  EXPECT_EQ(config.type, 0x10u);
  EXPECT_EQ(config.start_type, 3u);  // launch mode other than 4: demand
  EXPECT_EQ(FirstDependency(name_), "<none>");

  EXPECT_EQ(Run(exe, "-install-auto").exit_code, 0u);
  EXPECT_EQ(QueryServiceSettings(name_).start_type, 2u);
  EXPECT_EQ(Run(Launcher("4"), "-install-demand").exit_code, 0u);
  EXPECT_EQ(QueryServiceSettings(name_).start_type, 3u);
}

TEST_F(ServiceCommandsTest, PathWithSpaceIsRegisteredQuoted) {
  const std::string directory = work_ + "\\Program Files";
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
  BlockContents contents = DefaultContents(name_);
  const std::string exe = WriteLauncher("Program Files\\svc.exe", contents);
  EXPECT_EQ(Run(exe, "-install").exit_code, 0u);
  EXPECT_EQ(QueryServiceSettings(name_).binary_path, "\"" + exe + "\"");
}

TEST_F(ServiceCommandsTest, InstallReplacesAnExistingService) {
  BlockContents contents = DefaultContents(name_);
  SetText(contents, 107, "2");
  EXPECT_EQ(Run(WriteLauncher("svc.exe", contents), "-install").exit_code, 0u);
  EXPECT_EQ(QueryServiceSettings(name_).start_type, 3u);

  SetText(contents, 107, "4");
  contents.wides = {{20017, VEXLO_WIDE("Changed description \x00e9")}};
  const ProcessResult again = Run(WriteLauncher("svc2.exe", contents), "-install");
  EXPECT_EQ(again.out, "Service is already stopped.\r\nInstalled service '" + name_ + "'.\r\n");
  const ServiceConfig config = QueryServiceSettings(name_);
  EXPECT_EQ(config.start_type, 2u);
  EXPECT_EQ(config.description, L"Changed description \x00e9");
  EXPECT_EQ(config.binary_path, work_ + "\\svc2.exe");
}

TEST_F(ServiceCommandsTest, StatusStopAndUninstallOfStoppedOrMissingService) {
  const std::string exe = Launcher("4");
  ExpectCommand(exe, "-status", "Could not get status.\r\n", 1);
  ExpectCommand(exe, "-stop", "Could not stop service.\r\n", 1);
  ExpectCommand(exe, "-uninstall", "Could not delete service.\r\n", 1);
  // The system's text for the code follows it (Wine 8's words).
  ExpectCommand(exe, "-start", "Could not start service '" + name_ + "' (error 1060): Service does not exist.\r\n", 1);

  ASSERT_EQ(Run(exe, "-install").exit_code, 0u);
  ExpectCommand(exe, "-status", "Not running.\r\nAuto-start.\r\n", 3);
  ExpectCommand(exe, "-stop", "Service is already stopped.\r\n", 0);
  ExpectCommand(exe, "-uninstall", "Service is already stopped.\r\nUninstalled service '" + name_ + "'.\r\n", 0);
  EXPECT_FALSE(QueryServiceSettings(name_).found);
}

// A running service, with the stand-in program reporting stop progress for
// longer than its wait hint: the stop waits on as long as progress comes.
TEST_F(ServiceCommandsTest, RunningServiceStartStatusStop) {
  const std::string exe = StartStandIn("progress 6 400 1000", "2");
  ExpectCommand(exe, "-start", "Service is already running.\r\n", 0);
  ExpectCommand(exe, "-status", "Running.\r\n", 0);  // demand start: no auto-start line
  ExpectCommand(exe, "-stop", "Stopping service '" + name_ + "'.\r\nService stopped\r\n", 0);
  EXPECT_EQ(State(name_), static_cast<DWORD>(SERVICE_STOPPED));
}

// A stop that does not complete fails the command: the service still runs.
TEST_F(ServiceCommandsTest, StopWithoutProgressGivesUpAfterTheWaitHint) {
  const std::string exe = StartStandIn("stuck 8 500 1000", "2");
  const DWORD start = GetTickCount();
  ExpectCommand(exe, "-stop", "Stopping service '" + name_ + "'.\r\nError while stopping service\r\n", 1);
  EXPECT_LT(GetTickCount() - start, 3500u);  // gave up long before the service's 4 s
  EXPECT_TRUE(WaitForState(name_, SERVICE_STOPPED));
}

TEST_F(ServiceCommandsTest, UninstallAndInstallOverARunningService) {
  std::string exe = StartStandIn("progress 2 300 1000", "4");
  ExpectCommand(exe, "-install",
                "Stopping service '" + name_ + "'.\r\nService stopped\r\nInstalled service '" + name_ + "'.\r\n", 0);
  EXPECT_EQ(QueryServiceSettings(name_).binary_path, exe);

  // Running again (the stand-in program once more), then removed.
  RemoveService(name_);
  exe = StartStandIn("progress 2 300 1000", "4");
  ExpectCommand(exe, "-uninstall",
                "Stopping service '" + name_ + "'.\r\nService stopped\r\nUninstalled service '" + name_ + "'.\r\n",
                0);
  EXPECT_FALSE(QueryServiceSettings(name_).found);
}

TEST_F(ServiceCommandsTest, CommandFormsAndNames) {
  const std::string exe = Launcher("4");
  const std::string spaced = name_ + " with spaces";
  installed_.push_back(spaced);
  installed_.push_back(spaced + " non-interactive");

  ProcessResult result = Run(exe, "/install " + spaced);
  EXPECT_EQ(result.out, "Installed service '" + spaced + "'.\r\n");
  EXPECT_EQ(QueryServiceSettings(spaced).type, 0x10u);

  result = Run(exe, "--install non-interactive " + spaced);
  EXPECT_EQ(result.out, "Service is already stopped.\r\nInstalled service '" + spaced + "'.\r\n");
  EXPECT_EQ(QueryServiceSettings(spaced).type, 0x10u);

  result = Run(exe, "-install " + spaced + " non-interactive");
  EXPECT_EQ(result.out, "Installed service '" + spaced + " non-interactive'.\r\n");
  EXPECT_EQ(QueryServiceSettings(spaced + " non-interactive").type, 0x10u);

  // A one-character name, with and without the token.
  installed_.push_back("Q");
  EXPECT_EQ(Run(exe, "-install Q").out, "Installed service 'Q'.\r\n");
  EXPECT_EQ(QueryServiceSettings("Q").type, 0x10u);
  EXPECT_EQ(Run(exe, "-install non-interactive Q").out, "Service is already stopped.\r\nInstalled service 'Q'.\r\n");
  EXPECT_EQ(QueryServiceSettings("Q").type, 0x10u);

  // A name quoted as cmd.exe users type it loses its quotes; one that reads
  // as a command word is refused.
  EXPECT_EQ(Run(exe, "-install \"" + spaced + "\"").out, "Service is already stopped.\r\nInstalled service '" + spaced + "'.\r\n");
  installed_.push_back("-x");
  result = Run(exe, "-install -x");
  EXPECT_EQ(result.out, "Could not create service '-x': a service name must not begin with '-' or '/'.\r\n");
  EXPECT_FALSE(QueryServiceSettings("-x").found);

  // The trailing space users do not see still runs the command.
  EXPECT_EQ(Run(exe, "-status ").out, "Could not get status.\r\n");

  // Without prefix or in capitals nothing is installed under the default name.
  EXPECT_EQ(Run(exe, "install").out, "");
  EXPECT_EQ(Run(exe, "-INSTALL").out, "");
  EXPECT_FALSE(QueryServiceSettings(name_).found);
  EXPECT_EQ(Run(exe, "-uninstall " + spaced).out, "Service is already stopped.\r\nUninstalled service '" +
                                                      spaced + "'.\r\n");
}

// The settings beyond the name and start type, for both of the system's
// accounts with few rights. Wine 8 stores the account and the preshutdown
// time, accepts failure actions without keeping them anywhere (neither
// QueryServiceConfig2W nor the service's key holds them: the line after the
// call is what shows) and knows neither delayed start nor the non-crash flag
// (error 124: a warning, and the install goes on). The account gets rights on
// the log folders, each once and created with the folders above them, never
// on the executable's folder.
TEST_F(ServiceCommandsTest, SystemAccountsAndServiceSettings) {
  for (const std::string account : {"LocalService", "NetworkService"}) {
    const bool local = account == "LocalService";
    BlockContents contents = DefaultContents(name_);
    for (const auto& text : std::vector<std::pair<int32_t, std::string>>{
             {record::kServiceAccount, account}, {record::kDelayedStart, "1"},
             {record::kRecovery, "86400 R10000 R60000 N\n"}, {record::kPreshutdownTimeout, "2m"},
             {record::kPassErrorLog, "1"}, {record::kErrorLog, local ? "data\\app\\error.log" : "logs\\error.log"},
             {record::kPassOutputLog, local ? "1" : "0"}, {record::kOutputLog, "output.log"}}) {
      SetText(contents, text.first, text.second);
    }
    const std::string exe = WriteLauncher("svc.exe", contents);
    const std::string who = "NT AUTHORITY\\" + account, granted = "Granted " + who + " modify rights on " + work_;
    const ProcessResult result = Run(exe, "-install");
    EXPECT_EQ(result.out.substr(std::min(result.out.find("Service account"), result.out.size())),
              "Service account: " + who + ".\r\n"
              "Warning: delayed automatic start not supported (error 124); installed without it.\r\n"
              "Recovery actions set.\r\n"
              "Warning: recovery after non-crash failures not supported (error 124); installed without it.\r\n"
              "Preshutdown timeout: 120 s.\r\n" + granted + "\\logs.\r\n" +
              (local ? granted + "\\data\\app.\r\nWarning: not granting " + who + " rights on " + work_ +
                           ": it holds the executable.\r\n"
                     : "") +
              "Installed service '" + name_ + "'.\r\n");
    const ServiceConfig config = QueryServiceSettings(name_);
    EXPECT_EQ(config.type, 0x10u);
    EXPECT_EQ(config.start_type, 2u);
    EXPECT_EQ(config.account, who);
    EXPECT_EQ(config.preshutdown_ms, 120000u);
  }
  EXPECT_NE(GetFileAttributesA((work_ + "\\data\\app").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // -install-auto keeps meaning plain automatic start.
  EXPECT_EQ(Run(work_ + "\\svc.exe", "-install-auto").out.find("delayed"), std::string::npos);
}

// The virtual account is NT SERVICE\<name>, with the name the install uses.
// Wine resolves no such account (the access list refuses it with 87), so it
// has no rights to give: a warning, and the install goes on.
TEST_F(ServiceCommandsTest, VirtualAccount) {
  BlockContents contents = DefaultContents("configured");
  SetText(contents, record::kServiceAccount, "virtual");
  const ProcessResult result = Run(WriteLauncher("svc.exe", contents), "-install " + name_);
  const std::string who = "NT SERVICE\\" + name_;
  EXPECT_EQ(result.out.rfind("Service account: " + who + ".\r\nWarning: could not grant " + who + " modify rights on " +
                                 work_ + "\\logs (error ", 0), 0u) << result.out;
  EXPECT_EQ(QueryServiceSettings(name_).account, who);
}

// A user's password comes from VEXLO_SERVICE_PASSWORD or from the first line
// of standard input; without one nothing changes. It reaches the service
// control manager and nothing else: no output, no file, no log. (Wine keeps
// no passwords: that the manager got it is not to be seen here.)
TEST_F(ServiceCommandsTest, UserAccountPassword) {
  ASSERT_EQ(Run(Launcher("4"), "-install").exit_code, 0u);  // an older install, under LocalSystem
  BlockContents contents = DefaultContents(name_);
  SetText(contents, record::kServiceAccount, ".\\vexlo-user");
  const std::string exe = WriteLauncher("user.exe", contents);
  for (const char* command : {"-install", "-install-and-start"}) {
    const ProcessResult refused = Run(exe, command, {L"VEXLO_SERVICE_PASSWORD="});
    EXPECT_EQ(refused.out, "Could not create service '" + name_ + "': the account .\\vexlo-user needs a password "
                           "(VEXLO_SERVICE_PASSWORD or standard input).\r\n") << command;
    EXPECT_EQ(refused.exit_code, 1u) << command;
    EXPECT_EQ(QueryServiceSettings(name_).binary_path, work_ + "\\svc.exe") << command;
  }

  const std::string from_environment = "Env-S3cret-9f2c", from_input = "Input-S3cret-7d1e";
  std::vector<ProcessResult> results;
  results.push_back(Run(exe, "-install", {L"VEXLO_SERVICE_PASSWORD=" + Widen(from_environment), L"VEXLO_LOG=yes"}));
  const std::string input = tmp_ + "\\..\\input.txt";
  ASSERT_TRUE(WriteWholeFile(input, from_input + "\r\nthe next line\r\n"));
  ProcessOptions options = Options({L"VEXLO_SERVICE_PASSWORD=", L"VEXLO_LOG=yes"});
  options.input_path = Widen(input);
  results.push_back(RunProcess(L"\"" + Widen(exe) + L"\" -install", options));
  for (const ProcessResult& result : results) {
    EXPECT_EQ(result.exit_code, 0u) << result.out;
    EXPECT_NE(result.out.find("Service account: .\\vexlo-user.\r\n"), std::string::npos) << result.out;
    for (const std::string& secret : {from_environment, from_input}) {
      EXPECT_EQ((result.out + result.err).find(secret), std::string::npos);
    }
  }
  EXPECT_EQ(QueryServiceSettings(name_).account, ".\\vexlo-user");
  ASSERT_GE(LogFiles().size(), 2u);  // both runs logged
  std::vector<std::string> paths = {work_};
  for (size_t i = 0; i < paths.size(); ++i) {  // every file below the work folder
    const bool folder = GetFileAttributesA(paths[i].c_str()) & FILE_ATTRIBUTE_DIRECTORY;
    for (const std::string& entry : folder ? ListDirectory(paths[i]) : std::vector<std::string>()) {
      if (entry != "input.txt") paths.push_back(paths[i] + "\\" + entry);
    }
    const std::string bytes = folder ? std::string() : ReadWholeFile(paths[i]);
    EXPECT_TRUE(bytes.find(from_environment) == std::string::npos && bytes.find(from_input) == std::string::npos)
        << paths[i];
  }
}

TEST_F(ServiceCommandsTest, InstallAndStartReturnsStartsResult) {
  const std::string exe = Launcher("2");
  const ProcessResult result = Run(exe, "-install-and-start");
  EXPECT_EQ(result.out.rfind("Installed service '" + name_ + "'.\r\n", 0), 0u) << result.out;
  // The install succeeded; the exit code is the start's, whichever way the
  // service control manager answered (Wine refuses the start of a service
  // process that reports itself stopped at once: 1053, and the start's
  // report reads the status then).
  const bool started = result.out.find("Starting service '" + name_ + "'.") != std::string::npos;
  const bool refused = result.out.find("Service '" + name_ + "' failed to start (exit code 1).") != std::string::npos;
  EXPECT_NE(started, refused) << result.out;
  EXPECT_EQ(result.exit_code, started ? 0u : 1u) << result.out;
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
