#include "support/jvm_fixture_win.h"

#include <algorithm>
#include <cstdlib>

#include "jvm/registry_keys.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The tree a seeded key belongs to: the launcher's lists as a whole, or the
// first part of the path that did not exist before.
std::string TreeToRemove(HKEY root, const std::string& path) {
  for (const char* list : {kLocatedJvmsKey, "SOFTWARE\\morvane-digital\\tavrelium"}) {
    if (path.rfind(list, 0) == 0) return list;
  }
  size_t end = path.find('\\');
  while (end != std::string::npos && KeyExists(root, path.substr(0, end))) end = path.find('\\', end + 1);
  return end == std::string::npos ? path : path.substr(0, end);
}

}  // namespace

std::string JavaDoublePath() { return TestEnvironment("VEXLO_JAVA_DOUBLE"); }
std::string Unpack200DoublePath() { return TestEnvironment("VEXLO_UNPACK200_DOUBLE"); }

FILETIME JvmTest::LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
  return data.ftLastWriteTime;
}

void JvmTest::RemoveSeededKeys() {
  for (auto it = seeded_trees_.rbegin(); it != seeded_trees_.rend(); ++it) {
    RegDeleteTreeA(it->first, it->second.c_str());
    RegDeleteKeyA(it->first, it->second.c_str());
  }
  seeded_trees_.clear();
}

void JvmTest::TearDown() {
  RemoveSeededKeys();
  // Cache entries of this test's paths; other tests' entries stay.
  const std::string mine = Lower(VersionCacheKeyName(work_)).substr(sizeof(kVersionCacheKey) - 1);
  HKEY cache = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kVersionCacheKey, 0, KEY_READ | KEY_WRITE, &cache) == ERROR_SUCCESS) {
    std::vector<std::string> doomed;
    char name[1024];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof(name);
      if (RegEnumKeyExA(cache, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (Lower(name).rfind(mine, 0) == 0) doomed.push_back(name);
    }
    for (const std::string& entry : doomed) RegDeleteKeyA(cache, entry.c_str());
    RegCloseKey(cache);
  }
  LauncherTest::TearDown();
}

std::string JvmTest::MakeRuntime(const std::string& name, const std::string& version,
                                 const RuntimeOptions& options) {
  const std::string home = work_ + "\\" + name;
  const std::string java_directory = home + (options.under_jre ? "\\jre\\bin" : "\\bin");
  CreateDirectories(java_directory);
  CreateDirectories(home + "\\lib");
  EXPECT_TRUE(CopyFileA(JavaDoublePath().c_str(), (java_directory + "\\java.exe").c_str(), FALSE));
  if (options.javaw) EXPECT_TRUE(CopyFileA(JavaDoublePath().c_str(), (java_directory + "\\javaw.exe").c_str(), FALSE));
  if (options.tools_jar) EXPECT_TRUE(WriteWholeFile(home + "\\lib\\tools.jar", "jar"));
  std::vector<std::string> settings = options.double_settings;
  if (settings.empty()) settings.push_back("line=openjdk version \"" + version + "\" 2022-01-18");
  SetDoubleSettings(java_directory, settings);
  return home;
}

void JvmTest::SetDoubleSettings(const std::string& java_directory, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  EXPECT_TRUE(WriteWholeFile(java_directory + "\\java-double.txt", text));
}

int JvmTest::RunCount(const std::string& java_directory) const {
  return static_cast<int>(SplitLines(ReadWholeFile(java_directory + "\\java-double.runs")).size());
}

std::string JvmTest::JvmProbe(const std::vector<std::pair<int32_t, std::string>>& records) {
  BlockContents contents = DefaultContents();
  for (const auto& record : records) SetText(contents, record.first, record.second);
  return WriteProbe("probe.exe", contents);
}

ProcessResult JvmTest::RunProbe(const std::string& probe, const std::string& arguments,
                                std::vector<std::wstring> environment) {
  std::vector<std::wstring> full = {L"VEXLO_LOG=yes", L"JAVA_HOME=", L"JDK_HOME=", L"VEXLO_JAVA_HOME=",
                                    L"TAVRELIUM_JAVA_HOME=", L"JAVA_TOOL_OPTIONS="};
  full.insert(full.end(), environment.begin(), environment.end());
  return Run(probe, arguments, full);
}

std::map<std::string, std::string> JvmTest::Fields(const ProcessResult& result) {
  std::map<std::string, std::string> fields;
  for (const std::string& line : SplitLines(result.out)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

std::vector<std::string> JvmTest::LastLogLines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : NewestLog()) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

void JvmTest::SeedKey(HKEY root, const std::string& key) {
  const std::string tree = TreeToRemove(root, key);
  if (std::find(seeded_trees_.begin(), seeded_trees_.end(), std::make_pair(root, tree)) == seeded_trees_.end()) {
    seeded_trees_.emplace_back(root, tree);
  }
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS) << key;
  RegCloseKey(created);
}

void JvmTest::SeedString(HKEY root, const std::string& key, const char* name, const std::string& value,
                         DWORD type) {
  SeedKey(root, key);
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &opened), ERROR_SUCCESS);
  // A REG_DWORD gets the text's first four bytes: a value of the wrong type.
  RegSetValueExA(opened, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                 type == REG_DWORD ? 4 : static_cast<DWORD>(value.size() + 1));
  RegCloseKey(opened);
}

void JvmTest::SeedCache(const std::string& resolved_path, const FILETIME& last_write, const std::string& version) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VersionCacheKeyName(resolved_path).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, kCachedLastWriteValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&last_write),
                 sizeof(last_write));
  RegSetValueExA(key, kCachedVersionValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                 static_cast<DWORD>(version.size() + 1));
  RegCloseKey(key);
}

bool JvmTest::ReadCache(const std::string& resolved_path, std::string* version, FILETIME* last_write) const {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, VersionCacheKeyName(resolved_path).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  char text[1024] = {};
  DWORD size = sizeof(text);
  DWORD time_size = sizeof(*last_write);
  const bool read = RegQueryValueExA(key, kCachedVersionValue, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
                    RegQueryValueExA(key, kCachedLastWriteValue, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(last_write), &time_size) == ERROR_SUCCESS;
  RegCloseKey(key);
  *version = text;
  return read;
}

}  // namespace testing_support
}  // namespace vexlo
