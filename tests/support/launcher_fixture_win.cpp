#include "support/launcher_fixture_win.h"

#include <algorithm>
#include <cstdlib>

#include "support/test_icons.h"

namespace vexlo {
namespace testing_support {
std::string TestEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set: run the tests through ctest";
    return std::string();
  }
  return value;
}

std::string StubPath() { return TestEnvironment("VEXLO_STUB"); }
std::string ProbePath() { return TestEnvironment("VEXLO_PROBE"); }

BlockContents DefaultContents(const std::string& service_name) {
  BlockContents contents;
  contents.texts = {
      {101, service_name},
      {107, "4"},
      {146, ""},
      {1000, "Error"},
      {1006, "File or directory {0} not found or empty\n"},
      {1009, "An internal error occurred (error code: {0})"},
      {1015, "You must be at least Poweruser to run this program."},
      {2001, "i"},
      {2002, "0"},
      {2003, ""},
      // -start returns at once: only the tests of the start check watch.
      {30007, "0s"},
  };
  contents.wides = {{20017, VEXLO_WIDE("Vexlo test service description")}};
  return contents;
}

void SetText(BlockContents& contents, int32_t id, const std::string& value) {
  for (auto& record : contents.texts) {
    if (record.first == id) {
      record.second = value;
      return;
    }
  }
  contents.texts.emplace_back(id, value);
}

ExeResources TestResources() {
  ExeResources resources;
  resources.has_version = true;
  resources.version.version[0] = 1;
  resources.version.strings = {{L"FileDescription", L"Vexlo test launcher"}, {L"FileVersion", L"1.0"}};
  std::string error;
  EXPECT_TRUE(ParseIconFile(TestIconFile({{16, TestBitmap(16, 0x80)}}), &resources.icon, &error)) << error;
  resources.has_manifest = true;
  resources.manifest = DefaultManifest();
  return resources;
}

void LauncherTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  work_ = TestEnvironment("VEXLO_TEST_WORK") + "\\" + info->test_suite_name() + "." + info->name();
  RemoveTree(work_);
  CreateDirectoryA(TestEnvironment("VEXLO_TEST_WORK").c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr)) << work_;
  tmp_ = work_ + "\\tmp";
  ASSERT_TRUE(CreateDirectoryA(tmp_.c_str(), nullptr));
}

void LauncherTest::TearDown() {
  if (!HasFailure()) RemoveTree(work_);
}

static std::string WriteImage(const std::string& stub_path, const std::string& target,
                              const BlockContents& contents, const std::vector<IncludedFile>& files) {
  const std::string stub = ReadWholeFile(stub_path);
  std::string launcher, error;
  // The roles run on executables with resources, as vexlo-build writes them.
  EXPECT_TRUE(BuildLauncherWithResources(stub, TestResources(), contents, files, &launcher, &error)) << error;
  EXPECT_TRUE(WriteWholeFile(target, launcher)) << target;
  return target;
}

std::string LauncherTest::WriteLauncher(const std::string& name, const BlockContents& contents,
                                        const std::vector<IncludedFile>& files) {
  return WriteImage(StubPath(), work_ + "\\" + name, contents, files);
}

std::string LauncherTest::WriteProbe(const std::string& name, const BlockContents& contents,
                                     const std::vector<IncludedFile>& files) {
  return WriteImage(ProbePath(), work_ + "\\" + name, contents, files);
}

ProcessOptions LauncherTest::Options(std::vector<std::wstring> environment) const {
  ProcessOptions options;
  options.environment = {L"TMP=" + Widen(tmp_), L"TEMP=" + Widen(tmp_), L"VEXLO_LOG=",
                         L"TAVRELIUM_LOG="};
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  options.creation_flags = creation_flags_;
  return options;
}

ProcessResult LauncherTest::Run(const std::string& executable, const std::string& arguments,
                                std::vector<std::wstring> environment) {
  std::wstring command = L"\"" + Widen(executable) + L"\"";
  if (!arguments.empty()) command += L" " + Widen(arguments);
  return RunProcess(command, Options(std::move(environment)));
}

std::vector<DWORD> LauncherTest::RunTogether(const std::string& executable,
                                             const std::vector<std::string>& arguments,
                                             std::vector<std::wstring> environment) {
  const ProcessOptions options = Options(std::move(environment));
  std::vector<PROCESS_INFORMATION> started;
  for (const std::string& argument : arguments) {
    PROCESS_INFORMATION info = {};
    const std::wstring command = L"\"" + Widen(executable) + L"\" " + Widen(argument);
    EXPECT_TRUE(StartProcess(command, options, &info)) << argument;
    started.push_back(info);
  }
  std::vector<DWORD> exit_codes;
  for (PROCESS_INFORMATION& info : started) {
    DWORD exit_code = 0xFFFFFFFF;
    if (info.hProcess != nullptr) {
      WaitForSingleObject(info.hProcess, options.timeout_ms);
      GetExitCodeProcess(info.hProcess, &exit_code);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
    exit_codes.push_back(exit_code);
  }
  return exit_codes;
}

std::vector<std::string> LauncherTest::LogFiles() const {
  std::vector<std::string> logs;
  for (const std::string& name : ListDirectory(tmp_)) {
    if (name.rfind("tvl_nlog_", 0) == 0) logs.push_back(name);
  }
  std::sort(logs.begin(), logs.end(), [](const std::string& a, const std::string& b) {
    return std::atoi(a.c_str() + 9) < std::atoi(b.c_str() + 9);
  });
  return logs;
}

std::vector<std::string> LauncherTest::NewestLog() const {
  const std::vector<std::string> logs = LogFiles();
  return logs.empty() ? std::vector<std::string>() : SplitLines(ReadWholeFile(tmp_ + "\\" + logs.back()));
}

std::vector<std::string> LauncherTest::TempDirectories() const {
  std::vector<std::string> found;
  for (const std::string& name : ListDirectory(tmp_)) {
    if (name.find("_dir") != std::string::npos) found.push_back(name);
  }
  return found;
}

}  // namespace testing_support
}  // namespace vexlo
