// Fatal texts and messages shown in message boxes, read back from the window
// of the launcher process (these tests run with a display).
#include <gtest/gtest.h>

#include "support/launcher_fixture_win.h"
#include "support/message_box_win.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {
namespace {

// Under Wine a message box needs an X display (cmake/wine-prefix.sh starts
// Xvfb and the test runner passes it on as DISPLAY); without one the box is
// never shown and every test would wait out its time-out.
bool DisplayMissing() {
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine && GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0;
}

class MessageBoxTest : public LauncherTest {
 protected:
  void SetUp() override {
    if (DisplayMissing()) {
      GTEST_SKIP() << "no X display: Xvfb is missing or did not start when the Wine prefix was set up";
    }
    LauncherTest::SetUp();
  }

  struct Outcome {
    SeenMessageBox box;
    DWORD exit_code = 0xFFFFFFFF;
  };

  Outcome RunAndAnswer(const std::string& executable, const std::string& arguments) {
    Outcome outcome;
    PROCESS_INFORMATION info = {};
    const std::wstring command = L"\"" + Widen(executable) + L"\" " + Widen(arguments);
    if (!StartProcess(command, Options({}), &info)) {
      ADD_FAILURE() << "could not start " << executable;
      return outcome;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    // The first window under a fresh display takes several seconds.
    outcome.box = AnswerMessageBox(info.dwProcessId, 60000);
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 999);
    GetExitCodeProcess(process.get(), &outcome.exit_code);
    return outcome;
  }

  // The launcher's bytes and where its block starts in them.
  std::string LauncherBytes(const BlockContents& contents, size_t* block_start) {
    const std::string stub = ReadWholeFile(StubPath());
    std::string image, error;
    uint64_t start = 0;
    EXPECT_TRUE(BuildLauncher(stub, contents, {}, &image, &error)) << error;
    EXPECT_TRUE(ImageEnd(stub, &start, &error)) << error;
    *block_start = static_cast<size_t>(start);
    return image;
  }

  std::string WriteBytes(const std::string& name, const std::string& bytes) {
    const std::string path = work_ + "\\" + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
};

TEST_F(MessageBoxTest, WrongMagicShowsTheFixedText) {
  size_t block_start = 0;
  std::string image = LauncherBytes(DefaultContents(), &block_start);
  image[block_start] ^= 0x01;
  const Outcome outcome = RunAndAnswer(WriteBytes("magic.exe", image), "");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.text, "Internal Error: magic");
  EXPECT_EQ(outcome.box.caption, "");  // record 1000 is not read yet
  EXPECT_EQ(outcome.exit_code, 1u);
}

TEST_F(MessageBoxTest, FileEndingInsideTextLengthOrText) {
  BlockContents contents;
  contents.texts = {{101, "A service name long enough"}};
  size_t block_start = 0;
  const std::string image = LauncherBytes(contents, &block_start);
  // magic(4) words(8) length(8) count(4) id(4), then the text's length field
  // at 28 and the text at 32.
  const struct {
    size_t keep;
    const char* text;
  } cases[] = {{30, "Internal Error: readInt"}, {40, "Internal Error: readString"}};
  for (const auto& c : cases) {
    const Outcome outcome = RunAndAnswer(WriteBytes("cut.exe", image.substr(0, block_start + c.keep)), "");
    ASSERT_TRUE(outcome.box.found) << c.text;
    EXPECT_EQ(outcome.box.text, c.text);
    EXPECT_EQ(outcome.exit_code, 1u);
  }
}

// Launch modes 1 and 5 keep message boxes; their caption is record 1000,
// empty when the record is.
TEST_F(MessageBoxTest, DialogModeUsesCaptionRecord) {
  const struct {
    const char* launch_mode;
    const char* caption;
  } cases[] = {{"1", "Vexlo Caption"}, {"5", ""}};
  for (const auto& c : cases) {
    BlockContents contents = DefaultContents();
    SetText(contents, 107, c.launch_mode);
    SetText(contents, 1000, c.caption);
    const Outcome outcome = RunAndAnswer(WriteProbe("probe.exe", contents), "message 1009 16");
    ASSERT_TRUE(outcome.box.found) << c.launch_mode;
    EXPECT_EQ(outcome.box.caption, c.caption);
    EXPECT_EQ(outcome.box.text, "An internal error occurred (error code: 16)");
    EXPECT_EQ(outcome.exit_code, 1u);
  }
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
