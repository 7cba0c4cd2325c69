// Fatal texts and messages shown in message boxes, read back from the window
// of the launcher process (these tests run with a display).
#include <gtest/gtest.h>

#include "core/handle_win.h"
#include "support/launcher_fixture_win.h"
#include "support/message_box_win.h"

namespace vexlo {
namespace testing_support {
namespace {

class MessageBoxTest : public LauncherTest {
 protected:
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

  // A launcher whose file is cut `cut_from_end` bytes before its end.
  std::string Truncated(const BlockContents& contents, size_t keep_from_block) {
    std::string stub = ReadWholeFile(StubPath());
    std::string image, error;
    EXPECT_TRUE(BuildLauncher(stub, contents, {}, &image, &error));
    uint64_t block_start = 0;
    EXPECT_TRUE(ImageEnd(stub, &block_start, &error));
    const std::string path = work_ + "\\cut.exe";
    WriteWholeFile(path, image.substr(0, block_start + keep_from_block));
    return path;
  }
};

TEST_F(MessageBoxTest, WrongMagicShowsTheFixedText) {
  BlockContents contents = DefaultContents();
  std::string stub = ReadWholeFile(StubPath());
  std::string image, error;
  ASSERT_TRUE(BuildLauncher(stub, contents, {}, &image, &error));
  uint64_t block_start = 0;
  ASSERT_TRUE(ImageEnd(stub, &block_start, &error));
  image[block_start] ^= 0x01;
  const std::string path = work_ + "\\magic.exe";
  ASSERT_TRUE(WriteWholeFile(path, image));
  const Outcome outcome = RunAndAnswer(path, "");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.text, "Internal Error: magic");
  EXPECT_EQ(outcome.box.caption, "");  // record 1000 is not read yet
  EXPECT_EQ(outcome.exit_code, 1u);
}

TEST_F(MessageBoxTest, FileEndingInsideTextLengthOrText) {
  BlockContents contents;
  contents.texts = {{101, "A service name long enough"}};
  // magic(4) words(8) length(8) count(4) id(4), then the text's length field.
  Outcome outcome = RunAndAnswer(Truncated(contents, 30), "");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.text, "Internal Error: readInt");
  EXPECT_EQ(outcome.exit_code, 1u);

  outcome = RunAndAnswer(Truncated(contents, 40), "");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.text, "Internal Error: readString");
  EXPECT_EQ(outcome.exit_code, 1u);
}

TEST_F(MessageBoxTest, DialogModeUsesCaptionRecord) {
  BlockContents contents = DefaultContents();
  SetText(contents, 107, "1");
  SetText(contents, 1000, "Vexlo Caption");
  const Outcome outcome = RunAndAnswer(WriteProbe("probe.exe", contents), "message 1009 16");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.caption, "Vexlo Caption");
  EXPECT_EQ(outcome.box.text, "An internal error occurred (error code: 16)");
  EXPECT_EQ(outcome.exit_code, 1u);
}

TEST_F(MessageBoxTest, EmptyCaptionRecordGivesEmptyCaption) {
  BlockContents contents = DefaultContents();
  SetText(contents, 107, "5");
  SetText(contents, 1000, "");
  const Outcome outcome = RunAndAnswer(WriteProbe("probe.exe", contents), "message 1009 7");
  ASSERT_TRUE(outcome.box.found);
  EXPECT_EQ(outcome.box.caption, "");
  EXPECT_EQ(outcome.box.text, "An internal error occurred (error code: 7)");
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
