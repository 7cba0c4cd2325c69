// Included files written out of the executable at a child start, and the
// child start's steps before the JVM: real launchers and probes under Wine.
#include <gtest/gtest.h>

#include "core/block_format.h"
#include "core/record_ids.h"
#include "core/temp_names.h"
#include "support/directory_link_win.h"
#include "support/launcher_fixture_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

static_assert(kIncludedFileMask != 0, "a zero mask would not show that contents are unmasked");

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + i / 509) & 0xFF);
  return bytes;
}

class IncludedFilesTest : public LauncherTest {
 protected:
  BlockContents WithFiles(const std::vector<IncludedFile>& files) {
    BlockContents contents = DefaultContents();
    DescribeIncludedFiles(files, &contents);
    return contents;
  }

  std::vector<std::string> OnlyLog() {
    const std::vector<std::string> logs = LogFiles();
    EXPECT_EQ(logs.size(), 1u);
    return logs.empty() ? std::vector<std::string>() : SplitLines(ReadWholeFile(tmp_ + "\\" + logs.back()));
  }

  ProcessResult RunChild(const std::string& executable, std::vector<std::wstring> environment = {}) {
    environment.push_back(L"VEXLO_LOG=yes");
    return Run(executable, "svc __tvl_restart", environment);
  }
};

TEST_F(IncludedFilesTest, ExtractedByteForByte) {
  const std::string big = Pattern(20000), small = "lib contents";
  const std::vector<IncludedFile> files = {
      {"a.jar", big}, {"empty.jar", ""}, {"lib\\b.jar", small}, {"LIB\\c.jar", "c"}};
  const std::string probe = WriteProbe("probe.exe", WithFiles(files), files);
  // What is stored is masked: the plain bytes are nowhere in the executable.
  EXPECT_EQ(ReadWholeFile(probe).find(small), std::string::npos);

  const ProcessResult result = Run(probe, "extract", {L"VEXLO_LOG=yes"});
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  const std::vector<std::string> out = SplitLines(result.out);
  ASSERT_EQ(out.size(), 3u) << result.out;
  EXPECT_EQ(out[0], "0");
  const std::string directory = out[1];
  EXPECT_EQ(directory.rfind(tmp_ + "\\vxl", 0), 0u) << directory;
  EXPECT_EQ(ReadWholeFile(directory + "\\a.jar"), big);
  EXPECT_EQ(ReadWholeFile(directory + "\\lib\\b.jar"), small);
  EXPECT_EQ(ReadWholeFile(directory + "\\lib\\c.jar"), "c");  // into the folder this run made
  // A file of size 0 is not created; the next size follows directly.
  EXPECT_EQ(GetFileAttributesA((directory + "\\empty.jar").c_str()), INVALID_FILE_ATTRIBUTES);
  // The extraction ends behind the last content: here, the end of the file.
  EXPECT_EQ(out[2], std::to_string(ReadWholeFile(probe).size()));

  const std::vector<std::string> log = OnlyLog();
  const size_t first = FindLine(log, "extracting files");
  ASSERT_LT(first + 1, log.size());
  EXPECT_EQ(log[first + 1], "Included files: 4");
  EXPECT_TRUE(HasLine(log, "extracting " + directory + "\\a.jar (size: 20000)"));
  EXPECT_TRUE(HasLine(log, "extracting " + directory + "\\empty.jar (size: 0)"));
  EXPECT_TRUE(HasLine(log, "creating directory " + directory + "\\lib"));
  EXPECT_TRUE(HasLine(log, "extracting " + directory + "\\lib\\b.jar (size: 12)"));
  EXPECT_EQ(log.back(), "extracting files done");
}

TEST_F(IncludedFilesTest, NoFilesNoDirectory) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result = Run(probe, "extract", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(SplitLines(result.out), (std::vector<std::string>{"0", "", "0"}));
  EXPECT_TRUE(TempDirectories().empty());
  const std::vector<std::string> log = OnlyLog();
  EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
            (std::vector<std::string>{"extracting files", "Included files: 0"}));
}

// The child's steps before the JVM, in their order; the exit that follows
// (no JVM in this build) removes what was extracted.
TEST_F(IncludedFilesTest, ChildStartStepsInOrder) {
  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"lib\\b.jar", "B"}};
  const std::string exe = WriteLauncher("svc.exe", WithFiles(files), files);
  const ProcessResult result = RunChild(exe);
  EXPECT_EQ(result.exit_code, 1u);
  const std::vector<std::string> log = OnlyLog();
  const size_t extracted = FindLine(log, "extracting files done");
  const size_t path = FindLine(log, "Setting PATH (native libs) ");
  const size_t handler = FindLine(log, "registering ConsoleCtrlHandler");
  const size_t instance = FindLine(log, "semaphore name Local\\");
  EXPECT_LT(FindLine(log, "language/country is "), FindLine(log, "command line "));
  EXPECT_LT(FindLine(log, "command line "), extracted);
  EXPECT_LT(extracted, path);
  EXPECT_LT(path, handler);
  EXPECT_LT(handler, instance);
  EXPECT_LT(instance, log.size());
  EXPECT_TRUE(TempDirectories().empty());
}

TEST_F(IncludedFilesTest, NameWithTwoDirectoryLevelsStopsWithEleven) {
  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"x\\y\\c.jar", "C"}};
  const std::string exe = WriteLauncher("svc.exe", WithFiles(files), files);
  const ProcessResult result = RunChild(exe);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(SplitLines(result.err).at(0), "An internal error occurred (error code: 11)");
  // Only the first level is created; the file below the second fails.
  const std::vector<std::string> log = OnlyLog();
  const size_t created = FindLine(log, "creating directory ");
  ASSERT_LT(created, log.size());
  EXPECT_EQ(log[created].substr(log[created].size() - 2), "\\x");
  EXPECT_EQ(FindLine(log, "ERROR: failed to create directory"), log.size());
  EXPECT_TRUE(TempDirectories().empty());
}

// Names that would lead out of the temporary directory are refused before
// anything is created: no temporary file, no directory, nothing outside.
TEST_F(IncludedFilesTest, HostileNamesAreRefusedBeforeAnythingIsCreated) {
  const char* kHostile[] = {"..\\evil.jar", "\\evil.jar",        "/evil.jar",  "C:\\evil.jar",
                            "lib/../../evil.jar", "",             "a.jar:evil", "...\\evil.jar",
                            "nul",             ".\\evil.jar",     "a.jar.",     "lib \\a.jar",
                            "a?.jar",          "b|c.jar",         "lib\\",      "a\x01.jar"};
  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"b.jar", "B"}};
  ASSERT_EQ(GetFileAttributesA("C:\\evil.jar"), INVALID_FILE_ATTRIBUTES);
  int index = 0;
  for (const char* name : kHostile) {
    // The writer refuses these names: the record is set behind its back.
    BlockContents contents = WithFiles(files);
    SetText(contents, record::kIncludedFileNames, std::string("a.jar;") + name);
    const std::string exe = WriteLauncher("svc" + std::to_string(index++) + ".exe", contents, files);
    const ProcessResult result = Run(exe, "svc __tvl_restart");
    EXPECT_EQ(result.exit_code, 1u) << name;
    EXPECT_EQ(result.err, "An internal error occurred (error code: 11)\r\n") << name;
  }
  EXPECT_EQ(ListDirectory(tmp_), std::vector<std::string>{}) << "created in tmp";
  EXPECT_EQ(GetFileAttributesA((work_ + "\\evil.jar").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\evil.jar"), INVALID_FILE_ATTRIBUTES);
}

// A file or folder someone else put at a name to extract is never used:
// internal error 11, and a planted folder keeps what it holds.
TEST_F(IncludedFilesTest, PlantedFilesAndFoldersAreNeverUsed) {
  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"lib\\b.jar", "B"}};
  const std::string probe = WriteProbe("probe.exe", WithFiles(files), files);
  for (const std::string planted : {"a.jar", "a.jar\\", "lib\\"}) {
    const ProcessResult result = Run(probe, "extract-planted " + planted);
    EXPECT_EQ(SplitLines(result.err).at(0), "An internal error occurred (error code: 11)") << planted;
    const std::string directory = SplitLines(result.out).at(0);
    if (planted.back() == '\\') EXPECT_EQ(ReadWholeFile(directory + "\\" + planted + "keep.txt"), "planted");
    EXPECT_EQ(GetFileAttributesA((directory + "\\lib\\b.jar").c_str()), INVALID_FILE_ATTRIBUTES) << planted;
  }
}

// Data that ends inside a file's content: internal error 16, and the partly
// written file no longer holds up the removal of the directory.
TEST_F(IncludedFilesTest, FileCutInsideItsContent) {
  const std::vector<IncludedFile> files = {{"a.jar", "A"}, {"lib\\big.jar", Pattern(20000)}};
  const std::string whole = WriteLauncher("whole.exe", WithFiles(files), files);
  const std::string bytes = ReadWholeFile(whole);
  const std::string exe = work_ + "\\svc.exe";
  ASSERT_TRUE(WriteWholeFile(exe, bytes.substr(0, bytes.size() - 100)));
  const ProcessResult result = RunChild(exe);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(SplitLines(result.err).at(0), "An internal error occurred (error code: 16)");
  const std::vector<std::string> log = OnlyLog();
  const size_t failed = FindLine(log, "ERROR: ReadFile failed ");
  ASSERT_LT(failed + 1, log.size());
  EXPECT_EQ(log[failed], "ERROR: ReadFile failed 0 0 19900");
  EXPECT_EQ(log[failed + 1].rfind("ERROR: Failed to extract ", 0), 0u);
  EXPECT_EQ(log[failed + 1].substr(log[failed + 1].size() - 12), "\\lib\\big.jar");
  EXPECT_TRUE(TempDirectories().empty());
}

TEST_F(IncludedFilesTest, FileCutInsideASize) {
  const std::vector<IncludedFile> files = {{"a.jar", "AAA"}, {"b.jar", "BBB"}};
  const std::string whole = WriteLauncher("whole.exe", WithFiles(files), files);
  const std::string bytes = ReadWholeFile(whole);
  const std::string exe = work_ + "\\svc.exe";
  // Cut four bytes into b.jar's size field.
  ASSERT_TRUE(WriteWholeFile(exe, bytes.substr(0, bytes.size() - 3 - 4)));
  const ProcessResult result = RunChild(exe);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(SplitLines(result.err).at(0), "Internal Error: readLong");
  const std::vector<std::string> log = OnlyLog();
  EXPECT_LT(FindLine(log, "extracting "), log.size());
  EXPECT_LT(FindLine(log, "error 0"), log.size());
  EXPECT_TRUE(TempDirectories().empty());
}

// The old PATH is kept whole however long it is: past 16 KB behind the
// directories; past what an environment value can hold, unchanged.
TEST_F(IncludedFilesTest, NativeLibraryDirectoriesBeforeALongPath) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kNativeLibraryDirectories, "lib;%VEXLO_EXEDIR%bin64;;D:\\native\\");
  const std::string probe = WriteProbe("probe.exe", contents);
  const std::string directories = work_ + "\\lib;" + work_ + "\\bin64;D:\\native\\;";
  for (const size_t length : {size_t{30000}, size_t{40000}}) {
    const std::string old_path = "C:\\windows\\system32;" + std::string(length, 'p') + ";C:\\end";
    const ProcessResult result = Run(probe, "nativepath", {L"PATH=" + Widen(old_path), L"VEXLO_LOG=yes"});
    const std::string expected = length < 32000 ? directories + old_path : old_path;
    const std::vector<std::string> out = SplitLines(result.out);
    ASSERT_EQ(out.size(), 2u);
    // Compared whole, reported briefly: the texts are this long.
    EXPECT_TRUE(out[0] == expected) << out[0].size() << " characters, expected " << expected.size();
    EXPECT_EQ(out[1], "crt agrees");
    const std::vector<std::string> log = SplitLines(ReadWholeFile(tmp_ + "\\" + LogFiles().back()));
    EXPECT_TRUE(HasLine(log, "native lib dir is lib;%VEXLO_EXEDIR%bin64;;D:\\native\\"));
    const std::string outcome = length < 32000 ? "" : " failed with error 206";
    EXPECT_TRUE(HasLine(log, "Setting PATH (native libs) " + directories + old_path + outcome)) << length;
  }
}

TEST_F(IncludedFilesTest, NativeLibraryPathWithoutRecordOrPath) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  EXPECT_EQ(SplitLines(Run(probe, "nativepath", {L"PATH=C:\\bin;C:\\x"}).out),
            (std::vector<std::string>{"C:\\bin;C:\\x", "crt agrees"}));

  BlockContents contents = DefaultContents();
  SetText(contents, record::kNativeLibraryDirectories, "lib");
  const std::string with_lib = WriteProbe("lib.exe", contents);
  EXPECT_EQ(SplitLines(Run(with_lib, "nativepath", {L"PATH="}).out),
            (std::vector<std::string>{work_ + "\\lib", "crt agrees"}));
}

// A launcher that has ended leaves its folder to the next child start; a
// folder whose owner still runs is kept.
TEST_F(IncludedFilesTest, AChildStartRemovesTheFoldersOfEndedLaunchersOnly) {
  const std::vector<IncludedFile> files = {{"lib\\b.jar", "B"}};
  const std::string probe = WriteProbe("probe.exe", WithFiles(files), files);
  const std::string event = "vexlo-hold-" + std::to_string(GetCurrentProcessId());
  UniqueHandle hold(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(StartProcess(Widen("\"" + probe + "\" extract hold " + event), Options({}), &info));
  UniqueHandle running(info.hProcess), thread(info.hThread);
  for (int waited = 0; waited < 300 && TempDirectories().empty(); ++waited) Sleep(100);
  const std::string held = tmp_ + "\\" + TempDirectories().at(0);
  const std::string ended = SplitLines(Run(probe, "extract").out).at(1);
  Run(probe, "extract");
  EXPECT_EQ(GetFileAttributesA(ended.c_str()), INVALID_FILE_ATTRIBUTES) << ended;
  EXPECT_EQ(ReadWholeFile(held + "\\lib\\b.jar"), "B");
  SetEvent(hold.get());
  ASSERT_EQ(WaitForSingleObject(running.get(), 30000), WAIT_OBJECT_0);
  const std::string last = SplitLines(Run(probe, "extract").out).at(1);
  EXPECT_EQ(TempDirectories(), std::vector<std::string>{last.substr(tmp_.size() + 1)});
}

// Only folders the launcher makes go: holding its lock file, never through a
// link, and nothing a link inside leads to.
TEST_F(IncludedFilesTest, StaleFolderRemovalTouchesNothingElse) {
  const std::string outside = work_ + "\\outside", sub = outside + "\\sub";
  const struct {
    std::string name, folder;  // a link at name when folder is elsewhere
    bool lock, removed;
  } cases[] = {
      {"vxl0123456789ABCDEF.tmp_dir", tmp_, true, true},
      {"vxl1111111111111111.tmp_dir", tmp_, false, false},  // no lock file
      {"vxl2222222222222222.tmp_dir", outside, true, false},
      {"vxl3333333333333333.tmp_dir", tmp_, true, false},   // holds a link to outside\sub
  };
  ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr) && CreateDirectoryA(sub.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(sub + "\\keep.txt", "planted"));
  for (const auto& c : cases) {
    const std::string folder = c.folder + "\\" + c.name;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) && WriteWholeFile(folder + "\\keep.txt", "planted"));
    if (c.lock) ASSERT_TRUE(WriteWholeFile(folder + "\\" + kLockFileName, ""));
    if (c.folder != tmp_) ASSERT_TRUE(CreateDirectoryLink(tmp_ + "\\" + c.name, folder));
  }
  ASSERT_TRUE(CreateDirectoryLink(tmp_ + "\\" + cases[3].name + "\\lib", sub));
  EXPECT_EQ(SplitLines(Run(WriteProbe("probe.exe", DefaultContents()), "extract").out).at(0), "0");
  for (const auto& c : cases) {
    const std::string left = ReadWholeFile(c.folder + "\\" + c.name + "\\keep.txt");
    if (&c != &cases[3]) EXPECT_EQ(left, c.removed ? "" : "planted") << c.name;
  }
  // Emptied but for the link: its lock stays for the next attempt.
  EXPECT_NE(GetFileAttributesA((tmp_ + "\\" + cases[3].name + "\\" + kLockFileName).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadWholeFile(sub + "\\keep.txt"), "planted");
  RemoveDirectoryLink(tmp_ + "\\" + cases[3].name + "\\lib");
  RemoveDirectoryLink(tmp_ + "\\" + cases[2].name);
}

// A service's child makes its folder at the path its service process chose,
// when that lies in the child's temporary folder; the variable never reaches
// the application.
TEST_F(IncludedFilesTest, TheChosenFolderPathIsTakenOnlyFromTheServiceAndOnlyInTheTempFolder) {
  const std::vector<IncludedFile> files = {{"a.jar", "A"}};
  const std::string probe = WriteProbe("probe.exe", WithFiles(files), files);
  const std::string chosen = tmp_ + "\\vxl0123456789ABCDEF.tmp_dir";
  const struct {
    std::string path;
    bool service_child, taken;
  } cases[] = {
      {chosen, true, true}, {chosen, false, false},  // a child started by hand
      {work_ + "\\vxl0123456789ABCDEF.tmp_dir", true, false},
  };
  for (const auto& c : cases) {
    std::vector<std::wstring> environment = {L"VEXLO_SERVICE_TEMP_DIR=" + Widen(c.path)};
    if (c.service_child) environment.push_back(L"VEXLO_SERVICE_CHILD=1");
    EXPECT_EQ(SplitLines(Run(probe, "extract", environment).out).at(1) == c.path, c.taken) << c.path;
  }
  EXPECT_EQ(Run(probe, "variable VEXLO_SERVICE_TEMP_DIR", {L"VEXLO_SERVICE_TEMP_DIR=" + Widen(chosen)}).out,
            "<unset>\r\n");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
