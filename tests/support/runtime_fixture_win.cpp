#include "support/runtime_fixture_win.h"

#include <algorithm>
#include <cstdlib>

#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

const char kVersionCacheKey[] = "SOFTWARE\\morvane-digital\\vexlo\\jvms";

}  // namespace

BlockContents JvmContents() {
  BlockContents contents = DefaultContents();
  SetText(contents, 2001, "");
  SetText(contents, 1005, "The JVM could not be started.");
  SetText(contents, 1008, "The environment variable {0} has to be defined");
  SetText(contents, 1010, "Couldn't load main class.");
  SetText(contents, 1011, "Main method not found.");
  SetText(contents, 1016, "No JVM could be found.\nInstall a {0}-bit JDK or JRE.");
  SetText(contents, 1018, "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE.");
  SetText(contents, 1020, "The JVM found at {0} is damaged.");
  SetText(contents, 122, "org.example.App");
  return contents;
}

std::string JvmDoublePath() { return TestEnvironment("VEXLO_JVM_DOUBLE"); }
std::string JvmWithoutEntryPath() { return TestEnvironment("VEXLO_JVM_WITHOUT_ENTRY"); }

bool Contains(const std::vector<std::string>& lines, const std::string& line) { return Count(lines, line) > 0; }

size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

void RuntimeTest::TearDown() {
  // The search caches each runtime's version under its java.exe path.
  std::string prefix = Lower(work_);
  std::replace(prefix.begin(), prefix.end(), '\\', '/');
  UniqueKey cache;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kVersionCacheKey, 0, KEY_READ | KEY_WRITE, cache.put()) == ERROR_SUCCESS) {
    std::vector<std::string> stale;
    char name[1024];
    for (DWORD index = 0;; ++index) {
      DWORD size = sizeof(name);
      if (RegEnumKeyExA(cache.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (Lower(name).rfind(prefix, 0) == 0) stale.push_back(name);
    }
    for (const std::string& key : stale) RegDeleteTreeA(cache.get(), key.c_str());
  }
  LauncherTest::TearDown();
}

std::string RuntimeTest::MakeRuntime(const std::string& name, const std::vector<std::string>& vm_types) {
  const std::string runtime = work_ + "\\" + name;
  CreateDirectories(runtime + "\\bin");
  // Both executables, as every runtime has them: launch mode 1 takes javaw.exe.
  for (const char* executable : {"\\bin\\java.exe", "\\bin\\javaw.exe"}) {
    EXPECT_TRUE(CopyFileA(TestEnvironment("VEXLO_JAVA_DOUBLE").c_str(), (runtime + executable).c_str(), FALSE));
  }
  for (const std::string& type : vm_types) PlaceJvmDll(runtime + "\\bin\\" + type, JvmDoublePath());
  return runtime;
}

void RuntimeTest::PlaceJvmDll(const std::string& directory, const std::string& source) {
  CreateDirectories(directory);
  EXPECT_TRUE(CopyFileA(source.c_str(), (directory + "\\jvm.dll").c_str(), FALSE)) << directory;
}

void RuntimeTest::PlaceBrokenJvmDll(const std::string& directory) {
  CreateDirectories(directory);
  EXPECT_TRUE(WriteWholeFile(directory + "\\jvm.dll", "MZ and nothing of an image")) << directory;
}

void RuntimeTest::SetDouble(const std::string& dll_directory, const std::string& settings) {
  ASSERT_TRUE(WriteWholeFile(dll_directory + "\\jvm-double.txt", settings));
}

std::vector<std::string> RuntimeTest::Record(const std::string& dll_directory) {
  return SplitLines(ReadWholeFile(dll_directory + "\\jvm-double.record"));
}

std::vector<std::string> RuntimeTest::Values(const std::vector<std::string>& record, const std::string& prefix) {
  std::vector<std::string> values;
  for (const std::string& line : record) {
    if (line.rfind(prefix, 0) == 0) values.push_back(line.substr(prefix.size()));
  }
  return values;
}

ProcessOptions RuntimeTest::ChildOptions(const std::string& runtime, std::vector<std::wstring> environment) const {
  environment.insert(environment.begin(),
                     {L"VEXLO_LOG=yes", L"VEXLO_JAVA_HOME=" + Widen(runtime), L"TAVRELIUM_JAVA_HOME="});
  return Options(std::move(environment));
}

ProcessResult RuntimeTest::RunChild(const std::string& exe, const std::string& runtime,
                                    const std::string& arguments, std::vector<std::wstring> environment) {
  return RunChild(exe, arguments, ChildOptions(runtime, std::move(environment)));
}

ProcessResult RuntimeTest::RunChild(const std::string& exe, const std::string& arguments,
                                    const ProcessOptions& options) {
  std::wstring command = L"\"" + Widen(exe) + L"\" ";
  if (!arguments.empty()) command += Widen(arguments) + L" ";
  command += L"__tvl_restart";
  return RunProcess(command, options);
}

std::vector<std::string> RuntimeTest::LastLog() const {
  if (LogFiles().empty()) ADD_FAILURE() << "no launcher log in " << tmp_;
  return NewestLog();
}

}  // namespace testing_support
}  // namespace vexlo
