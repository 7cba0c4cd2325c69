// Instance semaphores under Wine: real named semaphores, the registry and
// processes. Instances that must keep running are probes (the launcher's
// code, holding their semaphore until the test ends them); the launch under
// test is the real launcher, written to the same path once the probe runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/record_ids.h"
#include "support/instance_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

using SingleInstanceTest = InstanceTest;

TEST_F(SingleInstanceTest, DefaultModeTakesTheLowestFreeNumber) {
  const std::string exe = WriteProbe("svc.exe", DefaultContents());
  const std::string base = Base(exe);
  Holder* first = Hold(exe);
  Holder* second = Hold(exe);
  Holder* third = Hold(exe);
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->name, base + "0");
  EXPECT_EQ(second->name, base + "1");
  EXPECT_EQ(third->name, base + "2");
  EXPECT_TRUE(SemaphoreExists(base + "1"));
  EXPECT_FALSE(SemaphoreExists(base + "3"));

  End(*second);
  EXPECT_FALSE(SemaphoreExists(base + "1"));
  // The real launcher takes the freed number, and so does the next one.
  ReplaceWithLauncher(exe, DefaultContents());
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunChild(exe).exit_code, 1u);
    const std::vector<std::string> log = NewestLog();
    const size_t line = FindLine(log, "semaphore name ");
    ASSERT_LT(line, log.size());
    EXPECT_EQ(log[line].rfind("semaphore name " + base + "1, code 0, value ", 0), 0u) << log[line];
    EXPECT_EQ(FindLine(log, "single instance mode"), log.size());
  }
  // Default mode records no process id.
  EXPECT_EQ(StoredProcessId(Normalised(exe)), 0u);
}

TEST_F(SingleInstanceTest, SecondLaunchHandsOverAndExitsZero) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kSingleInstance, "1");
  const std::string exe = WriteProbe("svc.exe", contents);
  const std::string base = Base(exe);
  Holder* first = Hold(exe);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->name, base);
  EXPECT_EQ(StoredProcessId(Normalised(exe)), first->id);

  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"lib\\b.jar", "B"}};
  DescribeIncludedFiles(files, &contents);
  ReplaceWithLauncher(exe, contents, files);
  const ProcessResult second = RunChild(exe);
  EXPECT_EQ(second.exit_code, 0u) << second.err;
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "");
  std::vector<std::string> log = NewestLog();
  EXPECT_TRUE(HasLine(log, "single instance mode"));
  const size_t line = FindLine(log, "semaphore name ");
  ASSERT_LT(line, log.size());
  EXPECT_EQ(log[line].rfind("semaphore name " + base + ", code 183, value ", 0), 0u) << log[line];
  EXPECT_TRUE(HasLine(log, "other pid " + std::to_string(first->id)));
  // Nothing of the launch follows "exiting": only the removal of the files
  // it had extracted.
  const size_t exiting = FindLine(log, "exiting");
  ASSERT_LT(exiting, log.size());
  for (size_t i = exiting + 1; i < log.size(); ++i) {
    EXPECT_TRUE(log[i].rfind("emptying ", 0) == 0 || log[i].rfind("attempting to ", 0) == 0) << log[i];
  }
  EXPECT_LT(FindLine(log, "extracting files done"), exiting);
  EXPECT_TRUE(TempDirectories().empty());
  EXPECT_EQ(StoredProcessId(Normalised(exe)), first->id);

  // With the first gone, the next launch is the first instance again.
  End(*first);
  EXPECT_EQ(RunChild(exe).exit_code, 1u);
  log = NewestLog();
  EXPECT_EQ(log[FindLine(log, "semaphore name ")].rfind("semaphore name " + base + ", code 0, value ", 0), 0u);
  const DWORD stored = StoredProcessId(Normalised(exe));
  EXPECT_NE(stored, 0u);
  EXPECT_NE(stored, first->id);
}

TEST_F(SingleInstanceTest, GlobalNamespaceByRecord158) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kGlobalSemaphore, "1");
  const std::string exe = WriteProbe("svc.exe", contents);
  Holder* holder = Hold(exe);
  ASSERT_TRUE(holder);
  EXPECT_EQ(holder->name, Base(exe, true) + "0");
  EXPECT_TRUE(SemaphoreExists(Base(exe, true) + "0"));
  EXPECT_FALSE(SemaphoreExists(Base(exe) + "0"));
}

// The same executable through another spelling of its path is the same
// application; a copy elsewhere is another one.
TEST_F(SingleInstanceTest, SpellingsOfOnePathAreOneApplication) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kSingleInstance, "1");
  const std::string exe = WriteProbe("svc.exe", contents);
  CreateDirectoryA((work_ + "\\other").c_str(), nullptr);
  const std::string copy = work_ + "\\other\\svc.exe";
  ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE));
  Normalised(copy);

  std::string spelled = work_ + "\\\\SVC.EXE";
  Holder* first = Hold(spelled);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->name, Base(exe));
  const ProcessResult second = Run(exe, "instance unused " + work_ + "\\unused.txt", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(second.exit_code, 0u);
  EXPECT_TRUE(HasLine(NewestLog(), "other pid " + std::to_string(first->id)));
  EXPECT_EQ(GetFileAttributesA((work_ + "\\unused.txt").c_str()), INVALID_FILE_ATTRIBUTES);

  Holder* elsewhere = Hold(copy);
  ASSERT_TRUE(elsewhere);
  EXPECT_EQ(elsewhere->name, Base(copy));
}

// A stored id that is not a 4-byte value counts as none: the second
// instance still exits, and activates no window.
TEST_F(SingleInstanceTest, StoredIdOfAnotherSizeCountsAsNone) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kSingleInstance, "1");
  const std::string exe = WriteProbe("svc.exe", contents);
  Holder* first = Hold(exe);
  ASSERT_TRUE(first);
  // Two bytes that would read as the right id if the size went unchecked
  // (process ids here are small).
  const unsigned short short_id = static_cast<unsigned short>(first->id);
  ASSERT_EQ(first->id, short_id);
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kProcessIdsKey, Normalised(exe).c_str(), REG_BINARY, &short_id,
                            sizeof(short_id)),
            ERROR_SUCCESS);
  const ProcessResult second = Run(exe, "instance unused " + work_ + "\\unused.txt", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(second.exit_code, 0u);
  const std::vector<std::string> log = NewestLog();
  EXPECT_TRUE(HasLine(log, "other pid 0"));
  EXPECT_EQ(FindLine(log, "found window"), log.size());
}

// An executable deep enough that its name would pass the system's limit gets
// a shortened name that still works, the same for every instance.
TEST_F(SingleInstanceTest, DeepPathGetsAShortenedName) {
  const size_t kPathLength = 255;  // within MAX_PATH, beyond what a name can hold
  const std::string directory = work_ + "\\" + std::string(kPathLength - work_.size() - 1 - 8, 'd');
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
  const std::string exe = directory + "\\svc.exe";
  ASSERT_EQ(exe.size(), kPathLength);
  ASSERT_TRUE(CopyFileA(WriteProbe("probe.exe", DefaultContents()).c_str(), exe.c_str(), FALSE));
  Normalised(exe);

  Holder* first = Hold(exe);
  Holder* second = Hold(exe);
  ASSERT_TRUE(first && second);
  EXPECT_LE(first->name.size(), 259u);
  EXPECT_NE(first->name.find('~'), std::string::npos) << first->name;
  EXPECT_EQ(first->name.substr(first->name.size() - 8), "svc.exe0");
  EXPECT_EQ(second->name, first->name.substr(0, first->name.size() - 1) + "1");
  EXPECT_TRUE(SemaphoreExists(first->name));
  EXPECT_TRUE(SemaphoreExists(second->name));
}

// USER32 is loaded only to activate windows (or show a message box): the
// launcher does not import it, so the service process and children in the
// default mode never map it.
TEST(LauncherImports, NoUser32) {
  const std::string image = ReadWholeFile(StubPath());
  auto u32 = [&](size_t at) -> uint32_t {
    return at + 4 <= image.size() ? *reinterpret_cast<const uint32_t*>(image.data() + at) : 0;
  };
  const uint32_t pe = u32(0x3C);
  const uint16_t sections = static_cast<uint16_t>(u32(pe + 6));
  const uint16_t optional_size = static_cast<uint16_t>(u32(pe + 20));
  const size_t section_table = pe + 24 + optional_size;
  auto file_offset = [&](uint32_t rva) -> size_t {
    for (uint16_t i = 0; i < sections; ++i) {
      const size_t header = section_table + 40 * i;
      const uint32_t virtual_address = u32(header + 12), raw_size = u32(header + 16), raw = u32(header + 20);
      if (rva >= virtual_address && rva < virtual_address + raw_size) return raw + (rva - virtual_address);
    }
    return image.size();
  };
  const uint32_t import_rva = u32(pe + 24 + 120);  // PE32+ data directory 1
  std::vector<std::string> imports;
  for (size_t descriptor = file_offset(import_rva); descriptor + 20 <= image.size() && u32(descriptor + 12) != 0;
       descriptor += 20) {
    std::string name = image.c_str() + std::min(file_offset(u32(descriptor + 12)), image.size() - 1);
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    imports.push_back(name);
  }
  EXPECT_NE(std::find(imports.begin(), imports.end(), "KERNEL32.DLL"), imports.end());
  EXPECT_EQ(std::find(imports.begin(), imports.end(), "USER32.DLL"), imports.end());
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
