// Whole launcher executables run as processes: start-up, the log, command
// dispatch and the fatal texts in console mode.
#include <gtest/gtest.h>

#include "support/launcher_fixture_win.h"
#include "support/service_query_win.h"

namespace vexlo {
namespace testing_support {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class StartUpTest : public LauncherTest {};

const char kUsageStart[] = "Usage: svc.exe -<command> [service name]\r\n";

// By hand, the dispatcher fails (1063): the run prints the usage and fails;
// the log shows the image walk, the dispatch and its outcome.
TEST_F(StartUpTest, ByHandRunLogsAndPrintsTheUsage) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  const ProcessResult first = Run(exe, "", {L"VEXLO_LOG=yes"});
  ASSERT_TRUE(first.started);
  EXPECT_EQ(first.exit_code, 1u) << first.err;
  EXPECT_EQ(first.out, "");
  EXPECT_EQ(first.err.rfind(kUsageStart, 0), 0u) << first.err;

  std::vector<std::string> logs = LogFiles();
  ASSERT_EQ(logs, std::vector<std::string>{"tvl_nlog_2"});
  const std::string raw = ReadWholeFile(tmp_ + "\\tvl_nlog_2");
  EXPECT_NE(raw.find("\r\n"), std::string::npos);  // text mode: CR LF line ends
  const std::vector<std::string> lines = SplitLines(raw);
  ASSERT_GE(lines.size(), 8u) << raw;
  EXPECT_EQ(lines[0].rfind("Started executable ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("svc.exe at "), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2].rfind("number of sections: ", 0), 0u) << raw;
  EXPECT_EQ(lines[3], "size of optional headers: 240");
  EXPECT_EQ(lines[4].rfind("resSectionTableStart: ", 0), 0u);
  EXPECT_EQ(lines[5].rfind("rawDataSize: ", 0), 0u);
  EXPECT_NE(lines[5].find(", rawDataOffset: "), std::string::npos);
  EXPECT_TRUE(Contains(lines, "working directory unchanged")) << raw;
  // The wide command line, as the process received it.
  EXPECT_TRUE(Contains(lines, "command line \"" + exe + "\"")) << raw;
  EXPECT_TRUE(Contains(lines, "calling StartServiceCtrlDispatcher")) << raw;
  EXPECT_TRUE(Contains(lines, "StartServiceCtrlDispatcher failed with error 1063")) << raw;
  EXPECT_EQ(lines.back(), "StartServiceCtrlDispatcher returned");

  // A second run starts a new file and keeps the old one.
  const ProcessResult second = Run(exe, "", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(second.exit_code, 1u);
  EXPECT_EQ(LogFiles(), (std::vector<std::string>{"tvl_nlog_2", "tvl_nlog_3"}));
  EXPECT_EQ(ReadWholeFile(tmp_ + "\\tvl_nlog_2"), raw);
}

TEST_F(StartUpTest, LogIsOnOnlyForExactlyYes) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  // A command word keeps the runs short: the log starts with the block read.
  for (const wchar_t* setting : {L"VEXLO_LOG=YES", L"VEXLO_LOG=yes ", L"VEXLO_LOG= yes", L"VEXLO_LOG=y"}) {
    EXPECT_EQ(Run(exe, "-status", {setting}).exit_code, 1u);
    EXPECT_TRUE(LogFiles().empty()) << Narrow(setting);
  }
  EXPECT_EQ(Run(exe, "-status", {L"VEXLO_LOG=no", L"TAVRELIUM_LOG=yes"}).exit_code, 1u);
  ASSERT_EQ(LogFiles().size(), 1u);
  const std::string log = ReadWholeFile(tmp_ + "\\" + LogFiles()[0]);
  EXPECT_NE(log.find("number of sections: "), std::string::npos) << log;
}

// TMP naming a missing directory: the log goes to c:\ instead.
TEST_F(StartUpTest, MissingTmpDirectoryLogsToDriveRoot) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  std::vector<std::string> before;
  for (const std::string& name : ListDirectory("c:\\")) {
    if (name.rfind("tvl_nlog_", 0) == 0) before.push_back(name);
  }
  ProcessOptions options = Options({L"VEXLO_LOG=yes", L"TMP=" + Widen(tmp_ + "\\missing")});
  const ProcessResult result = RunProcess(L"\"" + Widen(exe) + L"\" -status", options);
  EXPECT_EQ(result.exit_code, 1u);
  std::vector<std::string> created;
  for (const std::string& name : ListDirectory("c:\\")) {
    if (name.rfind("tvl_nlog_", 0) == 0 &&
        std::find(before.begin(), before.end(), name) == before.end()) {
      created.push_back(name);
    }
  }
  ASSERT_EQ(created.size(), 1u);
  const std::string log = ReadWholeFile("c:\\" + created[0]);
  DeleteFileA(("c:\\" + created[0]).c_str());
  EXPECT_NE(log.find("working directory unchanged"), std::string::npos) << log;
}

TEST_F(StartUpTest, WorkingDirectoryIsResolvedWithCaseKept) {
  BlockContents contents = DefaultContents();
  SetText(contents, 146, "%VEXLO_EXEDIR%SubDir\\..\\SubDir");
  const std::string exe = WriteLauncher("svc.exe", contents);
  CreateDirectoryA((work_ + "\\SubDir").c_str(), nullptr);
  EXPECT_EQ(Run(exe, "-status", {L"VEXLO_LOG=yes"}).exit_code, 1u);
  ASSERT_EQ(LogFiles().size(), 1u);
  const std::vector<std::string> lines = SplitLines(ReadWholeFile(tmp_ + "\\" + LogFiles()[0]));
  char full[MAX_PATH];
  GetFullPathNameA((work_ + "\\SubDir").c_str(), MAX_PATH, full, nullptr);
  EXPECT_TRUE(Contains(lines, std::string("change working directory to ") + full))
      << "expected " << full;
}

// Commands without a prefix, in other case or unknown never run a command:
// the run falls through to the dispatcher, which by hand fails (usage, 1).
TEST_F(StartUpTest, UnknownWordsFallThroughToTheDispatcher) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  const std::vector<DWORD> exit_codes =
      RunTogether(exe, {"install", "-INSTALL", "-frobnicate My Name", "/instal"}, {L"VEXLO_LOG=yes"});
  EXPECT_EQ(exit_codes, (std::vector<DWORD>{1, 1, 1, 1}));
  const std::vector<std::string> logs = LogFiles();
  ASSERT_EQ(logs.size(), 4u);
  for (const std::string& log : logs) {
    const std::string text = ReadWholeFile(tmp_ + "\\" + log);
    EXPECT_NE(text.find("calling StartServiceCtrlDispatcher"), std::string::npos) << text;
  }
}

// A child start with nothing to launch ends through the exit routine.
TEST_F(StartUpTest, ChildStartWithoutRuntimeFails) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  const ProcessResult child = Run(exe, "Vexlo __tvl_restart", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(child.exit_code, 1u);
  const std::string log = ReadWholeFile(tmp_ + "\\" + LogFiles().at(0));
  EXPECT_NE(log.find("registering ConsoleCtrlHandler"), std::string::npos) << log;
  EXPECT_EQ(log.find("calling StartServiceCtrlDispatcher"), std::string::npos) << log;

  // The marker decides before a command word: the child of a service named
  // like a command is a child and installs nothing.
  EXPECT_EQ(Run(exe, "-install __tvl_restart").exit_code, 1u);
  const bool installed = QueryServiceSettings("__tvl_restart").found;
  if (installed) RemoveService("__tvl_restart");
  EXPECT_FALSE(installed);

  // The marker in capitals, with a suffix, or not last is an ordinary argument.
  EXPECT_EQ(RunTogether(exe, {"__TVL_RESTART", "__tvl_restartx", "__tvl_restart x"}),
            (std::vector<DWORD>{1, 1, 1}));
}

// The usage on request goes to standard output and the run succeeds; an
// unknown word is tried as a service start first and only then fails.
TEST_F(StartUpTest, UsageOnRequestAndForUnknownWords) {
  const std::string exe = WriteLauncher("svc.exe", DefaultContents());
  const ProcessResult help = Run(exe, "--help");
  const std::string& usage = help.out;
  EXPECT_EQ(help.exit_code, 0u);
  EXPECT_EQ(usage.rfind(kUsageStart, 0), 0u) << usage;
  for (const char* help : {"-help", "/?"}) EXPECT_EQ(Run(exe, help).out, usage) << help;
  const ProcessResult unknown = Run(exe, "-restart", {L"VEXLO_LOG=yes"});
  EXPECT_EQ(unknown.exit_code, 1u);
  EXPECT_EQ(unknown.out + unknown.err, usage);
  EXPECT_TRUE(Contains(NewestLog(), "StartServiceCtrlDispatcher failed with error 1063"));
}

// The stub as built carries no block. Block failures are shown in a message
// box (checked with a display in message_box_test); here, without a display,
// the box returns at once and the exit code tells what happened.
TEST_F(StartUpTest, StubWithoutBlockStopsWithExitCodeOne) {
  const std::string stub = work_ + "\\bare.exe";
  ASSERT_TRUE(CopyFileA(StubPath().c_str(), stub.c_str(), FALSE));
  EXPECT_EQ(Run(stub, "").exit_code, 1u);
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
