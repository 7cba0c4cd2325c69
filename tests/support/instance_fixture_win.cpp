#include "support/instance_fixture_win.h"

#include <algorithm>

namespace vexlo {
namespace testing_support {
namespace {

bool KeyIsEmpty(const char* path) {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  return RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                          nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

}  // namespace

const char kProcessIdsKey[] = "SOFTWARE\\morvane-digital\\vexlo\\pids";

bool SemaphoreExists(const std::string& name) {
  UniqueHandle semaphore(OpenSemaphoreA(SYNCHRONIZE, FALSE, name.c_str()));
  return static_cast<bool>(semaphore);
}

DWORD StoredProcessId(const std::string& value_name) {
  DWORD id = 0, size = sizeof(id);
  if (RegGetValueA(HKEY_CURRENT_USER, kProcessIdsKey, value_name.c_str(), RRF_RT_REG_DWORD, nullptr, &id,
                   &size) != ERROR_SUCCESS) {
    return 0;
  }
  return id;
}

void InstanceTest::TearDown() {
  for (Holder& holder : holders_) End(holder);
  for (const std::string& value : registry_values_) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kProcessIdsKey, value.c_str());
  }
  // The keys go too when nothing else is left in them (a key with values but
  // no subkeys would be deleted with its values).
  for (const char* key : {kProcessIdsKey, "SOFTWARE\\morvane-digital\\vexlo", "SOFTWARE\\morvane-digital"}) {
    if (!KeyIsEmpty(key)) break;
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
  }
  LauncherTest::TearDown();
}

std::string InstanceTest::Normalised(const std::string& executable) {
  const std::string normalised = Lower(executable);
  registry_values_.push_back(normalised);
  return normalised;
}

std::string InstanceTest::Base(const std::string& executable, bool global) {
  std::string name = Normalised(executable);
  std::replace(name.begin(), name.end(), '\\', '_');
  std::replace(name.begin(), name.end(), ' ', '_');
  return (global ? "Global\\" : "Local\\") + name;
}

InstanceTest::Holder* InstanceTest::Hold(const std::string& command_path, const char* operation) {
  const std::string suffix = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(holders_.size());
  const std::string event_name = "Local\\vexlo-test-ready-" + suffix;
  const std::string name_file = work_ + "\\holder-" + suffix + ".txt";
  UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, event_name.c_str()));
  PROCESS_INFORMATION info = {};
  const std::wstring command = L"\"" + Widen(command_path) + L"\" " + Widen(operation) + L" " +
                               Widen(event_name) + L" \"" + Widen(name_file) + L"\"";
  if (!ready || holders_.size() == holders_.capacity() ||
      !StartProcess(command, Options({L"VEXLO_LOG=yes"}), &info)) {
    ADD_FAILURE() << "could not start " << command_path;
    return nullptr;
  }
  holders_.emplace_back();
  Holder& holder = holders_.back();
  holder.process.reset(info.hProcess);
  CloseHandle(info.hThread);
  holder.id = info.dwProcessId;
  const HANDLE waits[] = {ready.get(), info.hProcess};
  if (WaitForMultipleObjects(2, waits, FALSE, 60000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << command_path << " ended or hung before its instance check was done";
    return nullptr;
  }
  holder.name = ReadWholeFile(name_file);
  return &holder;
}

void InstanceTest::End(Holder& holder) {
  if (!holder.process) return;
  TerminateProcess(holder.process.get(), 0);
  WaitForSingleObject(holder.process.get(), 30000);
  holder.process.reset();
}

void InstanceTest::ReplaceWithLauncher(const std::string& path, const BlockContents& contents,
                                       const std::vector<IncludedFile>& files) {
  const std::string moved = path + ".held";
  EXPECT_TRUE(MoveFileA(path.c_str(), moved.c_str())) << GetLastError();
  std::string launcher, error;
  EXPECT_TRUE(BuildLauncherWithResources(ReadWholeFile(StubPath()), TestResources(), contents, files, &launcher, &error))
      << error;
  EXPECT_TRUE(WriteWholeFile(path, launcher));
}

ProcessResult InstanceTest::RunChild(const std::string& executable) {
  return Run(executable, "svc __tvl_restart", {L"VEXLO_LOG=yes"});
}

}  // namespace testing_support
}  // namespace vexlo
