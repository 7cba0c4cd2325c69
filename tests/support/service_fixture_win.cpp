#include "support/service_fixture_win.h"

#include "core/record_ids.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void ServiceTest::SetUp() {
  RuntimeTest::SetUp();
  runtime_ = MakeRuntime();
  dll_ = runtime_ + "\\bin\\server";
  name_ = std::string("vexlo-main-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  Remove(name_);
}

void ServiceTest::TearDown() {
  for (const std::string& name : installed_) Remove(name);
  for (const std::string& path : service_logs_) DeleteFileA(path.c_str());
  RuntimeTest::TearDown();
}

BlockContents ServiceTest::Contents() {
  BlockContents contents = JvmContents();
  SetText(contents, record::kSearchSequence, "A" + runtime_);
  return contents;
}

BlockContents ServiceTest::BridgeContents(const char* jar_variable, const std::string& main_class,
                                          std::vector<IncludedFile>* files) {
  SetDouble(dll_, "host-java=" + TestEnvironment("VEXLO_HOST_JAVA"));
  BlockContents contents = Contents();
  *files = {{"vexlo-runtime.jar", ReadWholeFile(TestEnvironment("VEXLO_RUNTIME_JAR"))}};
  DescribeIncludedFiles(*files, &contents);
  SetText(contents, record::kClassPath, "A1" + TestEnvironment(jar_variable));
  SetText(contents, record::kMainClass, main_class);
  return contents;
}

std::string ServiceTest::Install(const std::string& name, const BlockContents& contents, const std::string& exe_name,
                                 const std::vector<IncludedFile>& files) {
  const std::string exe = WriteLauncher(exe_name, contents, files);
  installed_.push_back(name);
  const ProcessResult result = Run(exe, "-install-demand " + name);
  EXPECT_EQ(result.exit_code, 0u) << result.out;
  return exe;
}

bool ServiceTest::StartWith(const std::string& name, const std::vector<std::string>& parameters) {
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_START));
  std::vector<const char*> pointers;
  for (const std::string& parameter : parameters) pointers.push_back(parameter.c_str());
  return StartServiceA(service.get(), static_cast<DWORD>(pointers.size()), pointers.empty() ? nullptr : pointers.data());
}

SERVICE_STATUS_PROCESS ServiceTest::Status(const std::string& name, bool* found) {
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  const bool queried = QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                            sizeof(status), &needed) != 0;
  if (found != nullptr) *found = queried;
  return status;
}

DWORD ServiceTest::State(const std::string& name) { return Status(name).dwCurrentState; }

bool ServiceTest::WaitForState(const std::string& name, DWORD state, DWORD timeout_ms) {
  for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
    if (State(name) == state) return true;
    Sleep(50);
  }
  return false;
}

bool ServiceTest::WaitForRecord(const std::string& line, DWORD timeout_ms) {
  for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
    if (Contains(Record(dll_), line)) return true;
    Sleep(50);
  }
  return false;
}

void ServiceTest::Remove(const std::string& name) {
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return;
  SERVICE_STATUS status;
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) WaitForState(name, SERVICE_STOPPED, 10000);
  DeleteService(service.get());
}

std::vector<std::string> ServiceTest::ServiceLogWith(const std::string& line) {
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

std::vector<std::string> ServiceTest::FinishedServiceLog(const std::string& name) {
  std::vector<std::string> log;
  for (int waited = 0; waited < 300; ++waited) {
    log = ServiceLogWith("service name is '" + name + "'");
    if (!log.empty() && log.back() == "exiting") break;
    Sleep(100);
  }
  return log;
}

}  // namespace testing_support
}  // namespace vexlo
