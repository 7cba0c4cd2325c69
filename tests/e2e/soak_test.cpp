// Start/stop cycles of one service with included files (the runtime jar
// among them, as vexlo-build embeds it): nothing may be left behind or grow.
// The number of cycles is VEXLO_SOAK_CYCLES (20 by default; scripts/soak.sh N).
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>

#include "core/record_ids.h"
#include "support/runtime_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

int Cycles() {
  const char* value = std::getenv("VEXLO_SOAK_CYCLES");
  const int cycles = value != nullptr ? std::atoi(value) : 0;
  return cycles > 0 ? cycles : 20;
}

// Processes whose executable has this name, as the system lists them.
int ProcessesNamed(const std::string& name) {
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (_stricmp(entry.szExeFile, name.c_str()) == 0) ++count;
  }
  return count;
}

// The number of handles a process holds, from the system's handle table
// (GetProcessHandleCount answers 0 under Wine).
DWORD HandleCountOf(DWORD process_id) {
  struct HandleEntry {
    ULONG owner_process_id;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    void* object;
    ULONG access;
  };
  struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
  };
  using QueryFunction = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  const ULONG kSystemHandleInformation = 16;
  std::vector<unsigned char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<LONG>(0xC0000004)) {  // the table did not fit
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  DWORD count = 0;
  for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].owner_process_id == process_id ? 1 : 0;
  return count;
}

// What the launcher makes in a temporary folder: folders and files named vxl*.
int Leftovers(const std::string& directory) {
  int count = 0;
  for (const std::string& name : ListDirectory(directory)) count += _strnicmp(name.c_str(), "vxl", 3) == 0 ? 1 : 0;
  return count;
}

void RemoveService(const std::string& name) {
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  SERVICE_STATUS status;
  if (service && ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) Sleep(1000);
  if (service) DeleteService(service.get());
}

class SoakTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    RemoveService(kName);
  }
  void TearDown() override {
    RemoveService(kName);
    RuntimeTest::TearDown();
  }
  const std::string kName = "vexlo-soak";
};

TEST_F(SoakTest, StartStopCycles) {
  const std::string runtime = MakeRuntime();
  SetDouble(runtime + "\\bin\\server", "main-stdin=1\nmain-output=100000");
  BlockContents contents = JvmContents();
  SetText(contents, record::kSearchSequence, "A" + runtime);
  const std::vector<IncludedFile> files = {{"vexlo-runtime.jar", ReadWholeFile(TestEnvironment("VEXLO_RUNTIME_JAR"))},
                                           {"lib\\settings.txt", "soak"}};
  DescribeIncludedFiles(files, &contents);
  const std::string& name = kName;
  const std::string exe = WriteLauncher("vexlo-soak.exe", contents, files);
  ASSERT_EQ(Run(exe, "-install-demand " + name).exit_code, 0u);

  char service_temp[MAX_PATH];
  GetTempPathA(MAX_PATH, service_temp);
  const int leftovers_before = Leftovers(service_temp);
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  ASSERT_TRUE(service);
  std::vector<DWORD> handle_counts;
  const int cycles = Cycles();
  for (int cycle = 0; cycle < cycles; ++cycle) {
    SCOPED_TRACE(cycle);
    DeleteFileA((runtime + "\\bin\\server\\jvm-double.record").c_str());
    ASSERT_TRUE(StartServiceA(service.get(), 0, nullptr)) << GetLastError();
    // Running, and the application up: its main waits for the stop line.
    bool up = false;
    for (int waited = 0; waited < 600 && !up; ++waited) {
      up = Contains(Record(runtime + "\\bin\\server"), "output written=100000");
      if (!up) Sleep(50);
    }
    ASSERT_TRUE(up);
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                     sizeof(status), &needed));
    ASSERT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    // The child's folder is there while it runs (the count sees it; the first
    // start's version run output may be there too until the child ends).
    EXPECT_GT(Leftovers(service_temp), leftovers_before);
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
    ASSERT_TRUE(process);
    // The service log's file opens with its first write, at most a second
    // after the child's first lines (once in 200 cycles, it came between the
    // two counts).
    Sleep(1100);
    const DWORD before_controls = HandleCountOf(status.dwProcessId);
    ASSERT_GT(before_controls, 0u);
    // Controls while it runs leave no handle behind either. A handle of the
    // start may still be closing at the first count, so fewer is fine.
    for (int control = 0; control < 5; ++control) {
      SERVICE_STATUS interrogated;
      EXPECT_TRUE(ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &interrogated));
    }
    handle_counts.push_back(HandleCountOf(status.dwProcessId));
    EXPECT_LE(handle_counts.back(), before_controls);

    SERVICE_STATUS stop_status;
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &stop_status)) << GetLastError();
    // The service process ends by itself once it has reported stopped.
    ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    ASSERT_TRUE(QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                     sizeof(status), &needed));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(Contains(Record(runtime + "\\bin\\server"), "stdin stop"));
    if (cycle == 0) {
      // The folder the service removed lies in the folder counted here.
      const std::string log = ReadWholeFile(work_ + "\\logs\\vexlo-soak.service.log");
      const std::string removed = "removed the child's temporary folder " + std::string(service_temp) + "vxl";
      EXPECT_NE(log.find(removed), std::string::npos) << log;
    }
  }

  // Nothing runs, nothing grew, nothing is left.
  EXPECT_EQ(ProcessesNamed("vexlo-soak.exe"), 0);
  EXPECT_EQ(Leftovers(service_temp), leftovers_before);
  ASSERT_FALSE(handle_counts.empty());
  EXPECT_EQ(*std::max_element(handle_counts.begin(), handle_counts.end()), handle_counts.front())
      << "handle counts from the first cycle on: " << ::testing::PrintToString(handle_counts);
  ASSERT_TRUE(DeleteService(service.get()));
  service.reset();
  EXPECT_FALSE(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  UniqueKey key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SYSTEM\\CurrentControlSet\\Services\\" + name).c_str(), 0,
                          KEY_READ, key.put()),
            ERROR_SUCCESS);
  printf("soak: %d cycles, service process handle counts %lu (first) to %lu (last), max %lu; vxl* entries left %d\n",
         cycles, static_cast<unsigned long>(handle_counts.front()), static_cast<unsigned long>(handle_counts.back()),
         static_cast<unsigned long>(*std::max_element(handle_counts.begin(), handle_counts.end())),
         Leftovers(service_temp) - leftovers_before);
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
