#include "service/service_log.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexlo {
namespace {

TEST(LogStamp, LocalTimeToTheMillisecond) {
  EXPECT_EQ(LogStamp({2026, 12, 9, 8, 7, 50, 123}), "2026-12-09 08:07:50.123 ");
  EXPECT_EQ(LogStamp({999, 1, 1, 0, 0, 0, 5}), "0999-01-01 00:00:00.005 ");
}

// The output as blocks come in: lines end at a line feed (a CR before it
// goes), an unended line waits for the next block, and a line longer than
// kMaxOutputLine is cut into lines of that length.
TEST(AppendOutputLines, LinesFromBlocks) {
  const std::string full(kMaxOutputLine, 'x');
  const struct {
    const char* name;
    std::vector<std::string> blocks;
    std::vector<std::string> lines;  // without stamp, tag and CR LF
    std::string unfinished;
  } cases[] = {
      {"two lines", {"a\nb\n"}, {"a", "b"}, ""},
      {"CR LF and an unended line", {"a\r\nb"}, {"a"}, "b"},
      {"a line over three blocks", {"ab", "c\r", "\n"}, {"abc"}, ""},
      {"empty lines", {"\n\r\n"}, {"", ""}, ""},
      {"a CR inside a line", {"x\ry\n"}, {"x\ry"}, ""},
      {"the longest whole line", {full + "\n"}, {full}, ""},
      {"one byte more", {full + "y\n"}, {full, "y"}, ""},
      {"the longest line over blocks", {full.substr(1), "x", "\n"}, {full}, ""},
      {"a cut over blocks", {full.substr(1), "x", "y\n"}, {full, "y"}, ""},
      {"a cut keeps its CR", {full.substr(1) + "\r", "z\n"}, {full.substr(1) + "\r", "z"}, ""},
      {"two cuts", {full + full + "z"}, {full, full}, "z"},
  };
  for (const auto& c : cases) {
    OutputLines lines;
    std::string log = "before\r\n";
    for (const std::string& block : c.blocks) AppendOutputLines(lines, block.data(), block.size(), "T ", &log);
    std::string expected = "before\r\n";
    for (const std::string& line : c.lines) expected += "T [child] " + line + "\r\n";
    EXPECT_EQ(log, expected) << c.name;
    EXPECT_EQ(lines.unfinished, c.unfinished) << c.name;
  }
}

TEST(AppendUnfinishedLine, TheLastLineWithoutItsEnd) {
  const struct {
    const char* unfinished;
    const char* log;
  } cases[] = {{"tail", "T [child] tail\r\n"}, {"tail\r", "T [child] tail\r\n"}, {"", ""}};
  for (const auto& c : cases) {
    OutputLines lines{c.unfinished};
    std::string log;
    AppendUnfinishedLine(lines, "T ", &log);
    EXPECT_EQ(log, c.log) << c.unfinished;
    EXPECT_EQ(lines.unfinished, "");
  }
}

TEST(WholeLinesWithin, NeverCutsALine) {
  const std::string text = "aa\nbbb\nc\n";
  const struct {
    size_t offset;
    uint64_t room;
    size_t length;
  } cases[] = {{0, 100, 9}, {0, 9, 9}, {0, 8, 7}, {0, 6, 3}, {0, 2, 0}, {0, 0, 0}, {3, 4, 4}, {3, 3, 0}, {9, 5, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(WholeLinesWithin(text, c.offset, c.room), c.length) << c.offset << " " << c.room;
  }
  EXPECT_EQ(LineCount(text, 3), 2u);
}

TEST(ServiceLogPathFor, DefaultRelativeFullAndOff) {
  const WideString exe = VEXLO_WIDE("C:\\apps\\svc.exe");
  const struct {
    WideString executable;
    const WideChar* record;  // null: none
    WideString path;
  } cases[] = {
      {exe, nullptr, VEXLO_WIDE("C:\\apps\\logs\\svc.service.log")},
      {VEXLO_WIDE("C:\\My Apps\\My App.EXE"), nullptr, VEXLO_WIDE("C:\\My Apps\\logs\\My App.service.log")},
      {VEXLO_WIDE("C:\\apps\\tool"), nullptr, VEXLO_WIDE("C:\\apps\\logs\\tool.service.log")},
      {exe, VEXLO_WIDE(""), VEXLO_WIDE("")},
      {exe, VEXLO_WIDE("x.log"), VEXLO_WIDE("C:\\apps\\x.log")},
      {exe, VEXLO_WIDE("logs/x.log"), VEXLO_WIDE("C:\\apps\\logs\\x.log")},
      {exe, VEXLO_WIDE("\\x.log"), VEXLO_WIDE("C:\\apps\\x.log")},
      {exe, VEXLO_WIDE("..\\x.log"), VEXLO_WIDE("C:\\apps\\..\\x.log")},
      {exe, VEXLO_WIDE("d:/l//x.log"), VEXLO_WIDE("d:\\l\\x.log")},
      {exe, VEXLO_WIDE("\\\\srv\\share\\x.log"), VEXLO_WIDE("\\\\srv\\share\\x.log")},
  };
  for (const auto& c : cases) {
    const WideString record = c.record != nullptr ? c.record : WideString();
    EXPECT_TRUE(ServiceLogPathFor(c.record != nullptr ? &record : nullptr, c.executable) == c.path)
        << std::string(c.path.begin(), c.path.end());
  }
}

TEST(ElapsedText, MillisecondsThenTenthsOfASecond) {
  const struct {
    uint64_t milliseconds;
    const char* text;
  } cases[] = {{0, "0 ms"}, {999, "999 ms"}, {1000, "1.0 s"}, {2449, "2.4 s"}, {12350, "12.4 s"}};
  for (const auto& c : cases) EXPECT_EQ(ElapsedText(c.milliseconds), c.text) << c.milliseconds;
}

// The child's lines after the last start line of the service: another
// service's start is no new run; a text read from the middle of the file
// drops its first piece; lines without stamp and tag are not the child's.
TEST(LastRunChildLines, TheChildsLinesOfTheLastRunOnly) {
  const std::string stamp = "2026-12-09 09:31:46.942 ";
  const auto lines = [&stamp](std::initializer_list<const char*> texts) {
    std::string log;
    for (const char* text : texts) log += stamp + text + "\r\n";
    return log;
  };
  const std::string log = lines({"[service] service 'svc' starting, []", "[child] old", "[service] service 'svc' starting",
                                 "[child] No JVM found.", "[child] ", "[service] service 'svc2' starting", "[child] x"});
  EXPECT_EQ(LastRunChildLines(log, false, "svc", 20), (std::vector<std::string>{"No JVM found.", "", "x"}));
  EXPECT_EQ(LastRunChildLines(log + stamp + "[child] unended", false, "svc", 2),
            (std::vector<std::string>{"x", "unended"}));
  EXPECT_TRUE(LastRunChildLines(log + lines({"[service] service 'svc' starting"}), false, "svc", 20).empty());
  // A piece that looks whole (a child echoing a log line, cut before the echo) is a piece still.
  EXPECT_EQ(LastRunChildLines(lines({"[child] piece", "[child] two"}), true, "svc", 20), std::vector<std::string>{"two"});
  EXPECT_TRUE(LastRunChildLines("[child] x\r\n" + stamp + "[child]\r\n", false, "svc", 20).empty());
}

}  // namespace
}  // namespace vexlo
