// Messages, the exit routine and the temporary directories, driven through
// the launcher's own code in real processes (launcher_probe.exe with a block).
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "core/temp_dir_win.h"
#include "support/directory_link_win.h"
#include "support/launcher_fixture_win.h"
#include "support/runtime_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

class ErrorsTest : public LauncherTest {};

TEST_F(ErrorsTest, InternalErrorOnStandardErrorInConsoleMode) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result = Run(probe, "message 1009 16");
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err, "An internal error occurred (error code: 16)\r\n");
  EXPECT_EQ(result.out, "");
}

TEST_F(ErrorsTest, LogPathFollowsTheMessageWhileLogging) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result = Run(probe, "message 1009 16", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(result.exit_code, 1u);
  ASSERT_EQ(LogFiles().size(), 1u);
  char long_path[MAX_PATH];
  ASSERT_NE(GetLongPathNameA((tmp_ + "\\" + LogFiles()[0]).c_str(), long_path, MAX_PATH), 0u);
  EXPECT_EQ(result.err, std::string("An internal error occurred (error code: 16)\r\n\r\nLog: ") + long_path +
                            "\r\n");
}

TEST_F(ErrorsTest, CatalogueTextsAsStored) {
  BlockContents contents = DefaultContents();
  SetText(contents, 1014, "{0} and {0}");
  const std::string probe = WriteProbe("probe.exe", contents);
  EXPECT_EQ(Run(probe, "show 1014 X").err, "X and {0}\r\n");
  // A trailing line feed stays, so an empty line follows.
  EXPECT_EQ(Run(probe, "show 1006 lib\\a.jar").err, "File or directory lib\\a.jar not found or empty\r\n\r\n");
  // An absent record is an empty message; without an argument "{0}" stays.
  EXPECT_EQ(Run(probe, "show 1017").err, "\r\n");
  EXPECT_EQ(Run(probe, "show 1009").err, "An internal error occurred (error code: {0})\r\n");
  const ProcessResult shown = Run(probe, "show 1009 5");
  EXPECT_EQ(shown.exit_code, 0u);  // showing alone does not end the process
  EXPECT_EQ(shown.out, "returned\r\n");
}

TEST_F(ErrorsTest, OverlongArgumentIsCutNotOverflowed) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result = Run(probe, "message 1009 " + std::string(20000, '7'));
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_EQ(result.err.size(), 8191u + 2u);  // cut to the message size, then CR LF
}

TEST_F(ErrorsTest, FatalExitRemovesTheLauncherTempDir) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result = Run(probe, "launchertemp fatal");
  EXPECT_EQ(result.exit_code, 1u);
  const std::string directory = SplitLines(result.out).at(0);
  EXPECT_EQ(directory.rfind(tmp_, 0), 0u) << directory;
  EXPECT_EQ(GetFileAttributesA(directory.c_str()), INVALID_FILE_ATTRIBUTES) << directory;
  EXPECT_EQ(result.err, "An internal error occurred (error code: 16)\r\n");
}

// A failure of the C++ library (a string longer than any can be) takes the
// same way out, with a log line.
TEST_F(ErrorsTest, LibraryFailureLogsAndRemovesTheLauncherTempDir) {
  const ProcessResult result = Run(WriteProbe("probe.exe", DefaultContents()), "launchertemp library", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(result.exit_code, 1u);
  const std::string directory = SplitLines(result.out).at(0);
  EXPECT_EQ(GetFileAttributesA(directory.c_str()), INVALID_FILE_ATTRIBUTES) << directory;
  ASSERT_EQ(LogFiles().size(), 1u);
  const std::string log = ReadWholeFile(tmp_ + "\\" + LogFiles()[0]);
  EXPECT_NE(log.find("ERROR: C++ library failure (length error): the launcher ends\r\n"), std::string::npos) << log;
}

// The fatal exit never follows a directory link: one inside the launcher temp
// dir, one in place of its lib folder, one in place of the temp dir itself.
TEST_F(ErrorsTest, FatalExitLeavesWhatADirectoryLinkPointsTo) {
  const std::string target = work_ + "\\elsewhere";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(target + "\\keep.txt", "precious"));
  ASSERT_TRUE(CreateDirectoryA((target + "\\sub").c_str(), nullptr));
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  for (const std::string where : {"inside", "sub", "root"}) {
    const ProcessResult result = Run(probe, "launchertemp fatal " + target + " " + where, {L"VEXLO_LOG=yes"});
    ASSERT_EQ(result.exit_code, 1u) << "no directory link could be made";
    const std::string directory = SplitLines(result.out).at(0);
    const std::string link = directory + (where == "inside" ? "\\linked" : where == "sub" ? "\\lib" : "");
    EXPECT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES) << where;  // left as it is
    RemoveDirectoryLink(link);
    EXPECT_EQ(ReadWholeFile(target + "\\keep.txt"), "precious");
    EXPECT_NE(GetFileAttributesA((target + "\\sub").c_str()), INVALID_FILE_ATTRIBUTES);
    // The launcher's own files are still removed; moved away, they are not its own.
    EXPECT_EQ(ReadWholeFile(directory + (where == "root" ? ".moved" : "") + "\\a.jar"), where == "root" ? "a" : "");
    EXPECT_TRUE(HasLine(NewestLog(), where == "root" ? directory + " is not the folder this run created"
                                                      : "leaving " + link)) << where;
  }
}

// While a folder is emptied it cannot be moved away for a link in its place.
TEST_F(ErrorsTest, FolderBeingEmptiedCannotBeSwappedForALink) {
  const std::string target = work_ + "\\elsewhere";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(target + "\\b.jar", "precious"));
  const ProcessResult result = Run(WriteProbe("probe.exe", DefaultContents()), "launchertemp held " + target + " sub");
  const std::vector<std::string> out = SplitLines(result.out);
  ASSERT_EQ(out.size(), 2u) << result.err;
  if (out[1] == "moved") RemoveDirectoryLink(out[0] + "\\lib");
  EXPECT_EQ(out[1], "held");
  EXPECT_EQ(ReadWholeFile(target + "\\b.jar"), "precious");
  EXPECT_EQ(ReadWholeFile(out[0] + "\\lib\\b.jar"), "");  // emptied
}

// A new name from the system's random source each run, nothing beside it, and
// a protected DACL: full control for SYSTEM, the Administrators and the user.
TEST_F(ErrorsTest, LauncherTempDirIsNewRandomAndPrivate) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const std::string first = SplitLines(Run(probe, "launchertemp").out).at(0);
  const std::string name = first.substr(tmp_.size() + 1);
  EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 3), 19u) << name;
  EXPECT_EQ(name.substr(0, 3) + name.substr(19), "vxl.tmp_dir");
  EXPECT_NE(SplitLines(Run(probe, "launchertemp").out).at(0), first);
  EXPECT_EQ(ListDirectory(tmp_).size(), 2u);  // a normal end leaves them, and no name file beside
  const auto sddl = [](PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                         &text, nullptr);
    const std::string result = text != nullptr ? text : "";
    LocalFree(text);
    return result;
  };
  PrivateSecurity security;
  ASSERT_TRUE(security.Build());
  const std::string set = sddl(security.Descriptor());
  EXPECT_EQ(set.rfind("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-", 0), 0u) << set;
  PSECURITY_DESCRIPTOR read = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(first.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  nullptr, nullptr, &read), 0u);
  const std::string read_back = sddl(read);
  LocalFree(read);
  // Wine keeps no descriptor: it maps the DACL onto the Unix mode and reads
  // that back, where only the absence of any access for everyone else shows.
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  EXPECT_TRUE(wine ? read_back.find(";;;WD)") == std::string::npos : read_back == set) << read_back;
}

// A taken name is never used nor touched: the next is tried; with all ten
// taken, message 1015. The probe's random values start at VEXLO_TEST_RANDOM.
TEST_F(ErrorsTest, TakenNamesAreSkippedAndLeftAlone) {
  const std::string target = work_ + "\\elsewhere";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(target + "\\a.jar", "precious"));
  const auto name = [this](int i) { return tmp_ + "\\vxl000000000000000" + "0123456789ABCDEF"[i] + ".tmp_dir"; };
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  ASSERT_TRUE(CreateDirectoryA(name(2).c_str(), nullptr) && WriteWholeFile(name(2) + "\\a.jar", "someone else's"));
  ASSERT_TRUE(CreateDirectoryLink(name(1), target));  // no ASSERT below: the link must go in the end
  const ProcessResult third = Run(probe, "launchertemp fatal", {L"VEXLO_LOG=yes", L"VEXLO_TEST_RANDOM=1"});
  EXPECT_EQ(SplitLines(third.out), std::vector<std::string>{name(3)});
  EXPECT_EQ(Count(NewestLog(), "Could not create dir (183)"), 2u);
  for (int i = 3; i <= 10; ++i) {
    EXPECT_TRUE(CreateDirectoryA(name(i).c_str(), nullptr) && WriteWholeFile(name(i) + "\\a.jar", "someone else's"));
  }
  const ProcessResult none = Run(probe, "launchertemp fatal", {L"VEXLO_LOG=yes", L"VEXLO_TEST_RANDOM=1"});
  EXPECT_EQ(none.err.rfind("You must be at least Poweruser to run this program.", 0), 0u) << none.exit_code << none.err;
  EXPECT_EQ(Count(NewestLog(), "Could not create dir (183)"), 10u);
  EXPECT_NE(GetFileAttributesA(name(1).c_str()), INVALID_FILE_ATTRIBUTES);
  RemoveDirectoryLink(name(1));
  EXPECT_EQ(ReadWholeFile(target + "\\a.jar"), "precious");
  for (int i = 2; i <= 10; ++i) EXPECT_EQ(ReadWholeFile(name(i) + "\\a.jar"), "someone else's") << i;
}

TEST_F(ErrorsTest, SystemTempDirAndCommunicationFile) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  EXPECT_EQ(SplitLines(Run(probe, "systemtemp").out).at(0), tmp_ + "\\");
  EXPECT_EQ(SplitLines(Run(probe, "commfile 4242").out).at(0), tmp_ + "\\vxl_p4242.tmp");
  // C:\Temp as the example: the system gives it with its backslash.
  CreateDirectoryA("C:\\Temp", nullptr);
  const ProcessResult result = Run(probe, "commfile 4242", {L"TMP=C:\\Temp", L"TEMP=C:\\Temp"});
  EXPECT_EQ(SplitLines(result.out).at(0), "C:\\Temp\\vxl_p4242.tmp");
}

// A temporary path the ANSI code page cannot write is unusable for the
// launcher's narrow paths: the Windows temp directory is used instead.
TEST_F(ErrorsTest, NonAnsiTempPathFallsBackToWindowsTemp) {
  const std::wstring unusable = Widen(tmp_) + L"\\\x65E5\x672C";  // two CJK characters
  ASSERT_TRUE(CreateDirectoryW(unusable.c_str(), nullptr));
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const ProcessResult result =
      Run(probe, "systemtemp", {L"TMP=" + unusable, L"TEMP=" + unusable, L"VEXLO_LOG=yes"});
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_EQ(SplitLines(result.out).at(0), std::string(windows) + "\\temp");
}

// An executable in a directory whose name the ANSI code page cannot write:
// its narrow path is the short (8.3) form, which the narrow APIs can open.
TEST_F(ErrorsTest, ExecutablePathInANonAnsiDirectoryIsTheShortForm) {
  const std::wstring directory = Widen(work_) + L"\\\x65E5\x672C";  // two CJK characters
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  const std::wstring probe = directory + L"\\probe.exe";
  ASSERT_TRUE(CopyFileW(Widen(WriteProbe("probe.exe", DefaultContents())).c_str(), probe.c_str(), FALSE));
  std::wstring short_form(MAX_PATH, L'\0');
  short_form.resize(GetShortPathNameW(probe.c_str(), &short_form[0], MAX_PATH));
  ASSERT_FALSE(short_form.empty());
  const std::string expected = Narrow(short_form);
  ASSERT_EQ(expected.find('?'), std::string::npos) << expected;  // names differ: never hard-code them

  const ProcessResult result = RunProcess(L"\"" + probe + L"\" exepath", Options({}));
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(lines[0], expected);
  EXPECT_EQ(lines[1], expected.substr(0, expected.rfind('\\') + 1));
}

TEST_F(ErrorsTest, NewTempFileNameCreatesTheFile) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  const std::string name = SplitLines(Run(probe, "tempfile").out).at(0);
  EXPECT_EQ(name.rfind(tmp_ + "\\vxl", 0), 0u) << name;
  EXPECT_NE(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(SplitLines(Run(probe, "writable " + tmp_).out).at(0), "writable");
  EXPECT_EQ(SplitLines(Run(probe, "writable " + tmp_ + "\\missing").out).at(0), "not writable");
}

TEST_F(ErrorsTest, ExpansionWithThisProcessValues) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  EXPECT_EQ(SplitLines(Run(probe, "expand ${launcher:sys.jvmHome}\\lib C:\\jre\\bin\\javaw.exe").out).at(0),
            "C:\\jre\\bin\\..\\lib");
  EXPECT_EQ(SplitLines(Run(probe, "expand %VEXLO_EXEDIR%app.jar").out).at(0), work_ + "\\app.jar");
  const ProcessResult environment =
      Run(probe, "expand ${Path}|${PATH}|${path}|${VEXLO_EXEDIR}",
          {L"Path=C:\\bin", L"VEXLO_EXEDIR=D:\\not-this"});
  EXPECT_EQ(SplitLines(environment.out).at(0), "C:\\bin|C:\\bin|${path}|" + work_ + "\\");
  EXPECT_EQ(SplitLines(Run(probe, "expand ${launcher:sys.tempDir}").out).at(0), tmp_ + "\\");
}

TEST_F(ErrorsTest, FullPathKeepsOrLowersCase) {
  const std::string probe = WriteProbe("probe.exe", DefaultContents());
  EXPECT_EQ(SplitLines(Run(probe, "fullpath Sub\\..\\Lib\\\\A.jar keep").out).at(0), work_ + "\\Lib\\A.jar");
  std::string lowered = work_ + "\\lib\\a.jar";
  for (char& c : lowered) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(SplitLines(Run(probe, "fullpath Sub\\..\\Lib\\A.jar").out).at(0), lowered);
  EXPECT_EQ(SplitLines(Run(probe, "exepath").out).at(1), work_ + "\\");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
