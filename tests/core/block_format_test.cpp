#include "core/block_format.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/block_writer.h"
#include "support/log_recorder.h"
#include "support/memory_source.h"

namespace vexlo {
namespace {

using testing_support::MemoryFile;
using testing_support::RecordedLines;
using testing_support::RecordLine;

WideString W(const char* ascii) {
  std::string text(ascii);
  return WideString(text.begin(), text.end());
}

// The value of a present record; a test failure when it is absent.
template <typename Value>
Value At(const RecordTable<Value>& table, int32_t id) {
  const Value* value = table.Find(id);
  EXPECT_NE(value, nullptr) << "no record " << id;
  return value != nullptr ? *value : Value();
}

struct ReadResult {
  bool ok;
  BlockError error;
  ConfigTables tables;
  uint64_t end = 0;
};

ReadResult ReadFrom(const std::string& bytes, const std::string& locale = "en") {
  MemoryFile file{bytes};
  BlockStream stream{file.Source(), RecordLine};
  ReadResult result;
  result.ok = ReadBlock(stream, locale, &result.tables, &result.end);
  result.error = stream.error;
  return result;
}

BlockContents SampleContents() {
  BlockContents contents;
  contents.texts = {{101, "My Service"}, {107, "4"}, {1009, "An internal error occurred (error code: {0})"}};
  contents.wides = {{20017, W("Display name")}};
  return contents;
}

TEST(ReadBlock, RoundTripsWhatTheWriterWrites) {
  BlockContents contents = SampleContents();
  contents.texts.push_back({146, ""});
  contents.wides.push_back({20018, WideString(1, static_cast<WideChar>(0x20AC))});  // euro sign
  const std::string block = SerializeBlock(contents);
  const ReadResult result = ReadFrom(block + "trailing file data");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(At(result.tables.texts, 101), "My Service");
  EXPECT_EQ(At(result.tables.texts, 146), "");
  EXPECT_EQ(At(result.tables.wides, 20017), W("Display name"));
  EXPECT_EQ(At(result.tables.wides, 20018), WideString(1, static_cast<WideChar>(0x20AC)));
  EXPECT_EQ(result.end, block.size());  // included files start right here
}

TEST(ReadBlock, HeaderLengthCountsToTheBlockEnd) {
  const std::string block = SerializeBlock(SampleContents());
  uint64_t length = 0;
  for (int i = 7; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(block[12 + i]);
  EXPECT_EQ(length, block.size() - 12);
  EXPECT_EQ(block.substr(0, 4), std::string("\xD5\x13\xE4\xE8", 4));
}

// Records come in any order, ids repeat and may be negative: the table holds
// what a std::map holds after the same insertions, in the same order, and
// finds exactly the ids it holds.
TEST(RecordTable, HoldsWhatAMapHolds) {
  const std::vector<std::vector<int32_t>> insertion_orders = {
      {5, 1, 9}, {9, 5, 1}, {1, 5, 9}, {5, 9, 1, 5, 9}, {-3, 5, 1, 9, -3}};
  for (const std::vector<int32_t>& order : insertion_orders) {
    RecordTable<std::string> table;
    std::map<int32_t, std::string> map;
    for (size_t i = 0; i < order.size(); ++i) {
      table[order[i]] = std::to_string(i);
      map[order[i]] = std::to_string(i);
    }
    using Entries = std::vector<std::pair<int32_t, std::string>>;
    EXPECT_EQ(Entries(table.begin(), table.end()), Entries(map.begin(), map.end()));
    for (const auto& entry : map) {
      ASSERT_NE(table.Find(entry.first), nullptr) << entry.first;
      EXPECT_EQ(*table.Find(entry.first), entry.second);
    }
    for (int32_t absent : {-4, 0, 2, 6, 8, 10}) EXPECT_EQ(table.Find(absent), nullptr) << absent;
  }
}

TEST(RecordTable, EqualWhenTheSameIdsHoldTheSameValues) {
  RecordTable<std::string> forward, backward, other_value, other_id;
  forward[1] = "a", forward[2] = "b";
  backward[2] = "b", backward[1] = "a";
  other_value[1] = "a", other_value[2] = "c";
  other_id[1] = "a", other_id[3] = "b";
  EXPECT_EQ(forward, backward);
  EXPECT_FALSE(forward == other_value);
  EXPECT_FALSE(forward == other_id);
  backward[3];  // inserts an empty value
  EXPECT_FALSE(forward == backward);
  EXPECT_EQ(*backward.Find(3), "");
}

TEST(ReadBlock, LaterRecordWithSameIdWins) {
  BlockContents contents;
  contents.texts = {{5, "first"}, {5, "second"}};
  EXPECT_EQ(At(ReadFrom(SerializeBlock(contents)).tables.texts, 5), "second");
}

TEST(ReadBlock, LocaleBlocksApplyInFileOrder) {
  BlockContents contents = SampleContents();
  contents.locales = {{"de", {{20017, W("de text")}}}, {"de_AT", {{20017, W("de_AT text")}}}};
  const std::string forward = SerializeBlock(contents);
  EXPECT_EQ(At(ReadFrom(forward, "de_AT").tables.wides, 20017), W("de_AT text"));
  EXPECT_EQ(At(ReadFrom(forward, "de_DE").tables.wides, 20017), W("de text"));
  EXPECT_EQ(At(ReadFrom(forward, "de").tables.wides, 20017), W("de text"));
  EXPECT_EQ(At(ReadFrom(forward, "en").tables.wides, 20017), W("Display name"));

  std::swap(contents.locales[0], contents.locales[1]);
  EXPECT_EQ(At(ReadFrom(SerializeBlock(contents), "de_AT").tables.wides, 20017), W("de text"));
}

TEST(ReadBlock, LocaleBlocksTouchOnlyWideRecords) {
  BlockContents contents = SampleContents();
  contents.locales = {{"", {{1009, W("override of a text id")}, {20017, W("everyone")}}}};
  const ReadResult result = ReadFrom(SerializeBlock(contents), "fr_FR");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(At(result.tables.texts, 1009), "An internal error occurred (error code: {0})");
  EXPECT_EQ(At(result.tables.wides, 20017), W("everyone"));  // empty prefix matches all
}

TEST(ReadBlock, NonMatchingBlocksAreStillConsumed) {
  BlockContents contents = SampleContents();
  contents.locales = {{"ja", {{20017, W("ja")}, {20018, W("x")}}}, {"en", {{20017, W("en")}}}};
  const std::string block = SerializeBlock(contents);
  const ReadResult result = ReadFrom(block, "en_US");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(At(result.tables.wides, 20017), W("en"));
  EXPECT_EQ(result.tables.wides.Find(20018), nullptr);
  EXPECT_EQ(result.end, block.size());
}

// The launcher reads the block in two steps with its locale detected
// between them: the defaults are complete before any override applies.
TEST(ReadBlock, TwoStepsWithTheLocaleBetween) {
  BlockContents contents = SampleContents();
  contents.locales = {{"de", {{20017, W("de text")}}}};
  const std::string block = SerializeBlock(contents);
  MemoryFile file{block + "files"};
  BlockStream stream{file.Source(), RecordLine};
  ConfigTables tables;
  ASSERT_TRUE(ReadDefaultRecords(stream, &tables));
  EXPECT_EQ(At(tables.texts, 101), "My Service");
  EXPECT_EQ(At(tables.wides, 20017), W("Display name"));
  uint64_t end = 0;
  ASSERT_TRUE(ReadLocaleOverrides(stream, "de_DE", &tables, &end));
  EXPECT_EQ(At(tables.wides, 20017), W("de text"));
  EXPECT_EQ(end, block.size());

  // The locale count is the first thing of the second step.
  MemoryFile cut{block.substr(0, block.size() - 30)};
  BlockStream cut_stream{cut.Source(), RecordLine};
  ConfigTables cut_tables;
  ASSERT_TRUE(ReadDefaultRecords(cut_stream, &cut_tables));
  EXPECT_FALSE(ReadLocaleOverrides(cut_stream, "de_DE", &cut_tables, &end));
  EXPECT_NE(cut_stream.error, BlockError::kNone);
}

// What a visitor of WalkBlock sees: every record as stored, in file order.
struct WalkLog {
  std::vector<std::string> events;
  static void Text(void* c, int32_t id, std::string& value) {
    static_cast<WalkLog*>(c)->events.push_back("text " + std::to_string(id) + "=" + value);
  }
  static void Wide(void* c, int32_t id, WideString& value) {
    static_cast<WalkLog*>(c)->events.push_back("wide " + std::to_string(id) + "=" + std::string(value.begin(), value.end()));
  }
  static void Locale(void* c, const std::string& prefix) {
    static_cast<WalkLog*>(c)->events.push_back("locale " + prefix);
  }
  static void LocaleValue(void* c, int32_t id, WideString& value) {
    static_cast<WalkLog*>(c)->events.push_back("  " + std::to_string(id) + "=" + std::string(value.begin(), value.end()));
  }
};

TEST(WalkBlock, ReportsEveryRecordInFileOrder) {
  BlockContents contents;
  contents.texts = {{107, "4"}, {101, "a"}, {101, "b"}};
  contents.wides = {{20017, W("d")}};
  contents.locales = {{"de_AT", {{20017, W("x")}}}, {"", {}}, {"de", {{20017, W("y")}, {5, W("z")}}}};
  const std::string block = SerializeBlock(contents);
  MemoryFile file{block + "files"};
  BlockStream stream{file.Source(), RecordLine};
  WalkLog log;
  const BlockVisitor visitor{&log, &WalkLog::Text, &WalkLog::Wide, &WalkLog::Locale, &WalkLog::LocaleValue};
  uint64_t end = 0;
  ASSERT_TRUE(WalkBlock(stream, visitor, &end));
  EXPECT_EQ(end, block.size());
  EXPECT_EQ(log.events, (std::vector<std::string>{"text 107=4", "text 101=a", "text 101=b", "wide 20017=d",
                                                  "locale de_AT", "  20017=x", "locale ", "locale de",
                                                  "  20017=y", "  5=z"}));
}

TEST(LocalePrefixMatches, PrefixRules) {
  EXPECT_TRUE(LocalePrefixMatches("", "en"));
  EXPECT_TRUE(LocalePrefixMatches("de", "de_AT"));
  EXPECT_TRUE(LocalePrefixMatches("de_AT", "de_AT"));
  EXPECT_FALSE(LocalePrefixMatches("de_AT", "de"));
  EXPECT_FALSE(LocalePrefixMatches("DE", "de"));
  EXPECT_FALSE(LocalePrefixMatches("en", ""));
}

// Where the file ends decides which fixed text the launcher shows.
TEST(ReadBlock, TruncationsReportTheReaderThatFailed) {
  BlockContents contents;
  contents.texts = {{101, "Service"}};
  contents.wides = {{20017, W("Wide")}};
  const std::string block = SerializeBlock(contents);
  // magic(4) words(8) length(8) count(4) id(4) | text length(4) | "Service"(7) | wide count...
  const size_t text_length_at = 28, text_at = 32, wide_text_at = 32 + 7 + 4 + 4 + 4;
  EXPECT_EQ(ReadFrom(block.substr(0, 2)).error, BlockError::kReadInt);
  EXPECT_EQ(ReadFrom(block.substr(0, 15)).error, BlockError::kReadLong);
  EXPECT_EQ(ReadFrom(block.substr(0, text_length_at + 2)).error, BlockError::kReadInt);
  EXPECT_EQ(ReadFrom(block.substr(0, text_at + 3)).error, BlockError::kReadString);
  EXPECT_EQ(ReadFrom(block.substr(0, wide_text_at + 3)).error, BlockError::kReadWideString);
  EXPECT_EQ(ReadFrom(block.substr(0, block.size() - 1)).error, BlockError::kReadInt);  // locale count
  EXPECT_TRUE(ReadFrom(block).ok);
  EXPECT_STREQ(BlockErrorText(BlockError::kReadString), "Internal Error: readString");
  EXPECT_STREQ(BlockErrorText(BlockError::kReadWideString), "Internal Error: readWString");
}

TEST(ReadBlock, WrongMagic) {
  std::string block = SerializeBlock(SampleContents());
  block[0] = 'X';
  const ReadResult result = ReadFrom(block);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, BlockError::kMagic);
  EXPECT_STREQ(BlockErrorText(result.error), "Internal Error: magic");
}

void SetLength(std::string& block, size_t at, uint32_t length) {
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

TEST(ReadBlock, HostileLengthsFailWithoutHugeAllocations) {
  BlockContents contents;
  contents.texts = {{101, "Service"}};
  contents.wides = {{20017, W("Wide")}};
  const std::string good = SerializeBlock(contents);
  std::string block = good;
  SetLength(block, 28, 0xFFFFFFFFu);  // -1
  EXPECT_EQ(ReadFrom(block).error, BlockError::kReadString);
  block = good;
  SetLength(block, 28, 0x7FFFFFFFu);  // 2 GB promised, a few bytes there
  EXPECT_EQ(ReadFrom(block).error, BlockError::kReadString);
  block = good;
  SetLength(block, 32 + 7 + 4 + 4, 0x80000000u);
  EXPECT_EQ(ReadFrom(block).error, BlockError::kReadWideString);
}

TEST(ReadBlock, NegativeCountsMeanNone) {
  std::string block = SerializeBlock(BlockContents{});
  SetLength(block, 20, 0xFFFFFFF0u);
  const ReadResult result = ReadFrom(block);
  ASSERT_TRUE(result.ok);
  EXPECT_TRUE(result.tables.texts.empty());
}

TEST(ReadBlock, OddWideLengthKeepsWholeCharacters) {
  std::string block = SerializeBlock(BlockContents{});
  // Replace the empty wide table with one record of 3 bytes: "A" and one stray byte.
  std::string body = block.substr(0, 24);
  body += std::string("\x01\x00\x00\x00", 4);  // one wide record
  body += std::string("\x07\x00\x00\x00", 4);  // id 7
  body += std::string("\x03\x00\x00\x00" "A\x00Z", 7);
  body += std::string(4, '\0');  // no locale blocks
  const ReadResult result = ReadFrom(body);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(At(result.tables.wides, 7), W("A"));
}

TEST(StreamReaders, FailedCallsLogTheSystemError) {
  MemoryFile file{std::string(16, '\0')};
  file.fail_with_error = 38;
  BlockStream stream{file.Source(), RecordLine};
  RecordedLines().clear();
  int32_t value = 7;
  EXPECT_FALSE(ReadInt32(stream, &value));
  EXPECT_EQ(value, 7);  // untouched on failure
  int64_t long_value = 0;
  EXPECT_FALSE(ReadInt64(stream, &long_value));
  int16_t short_value = 0;
  EXPECT_FALSE(ReadInt16(stream, &short_value));
  EXPECT_EQ(stream.error, BlockError::kReadShort);
  EXPECT_EQ(RecordedLines(), (std::vector<std::string>{"error 38 0\n", "error 38\n", "error 38\n"}));
}

TEST(StreamReaders, ShortReadLogsBytesRead) {
  MemoryFile file{std::string("\x01\x02", 2)};
  BlockStream stream{file.Source(), RecordLine};
  RecordedLines().clear();
  int32_t value = 0;
  EXPECT_FALSE(ReadInt32(stream, &value));
  EXPECT_EQ(RecordedLines(), std::vector<std::string>{"error 0 2\n"});
}

TEST(StreamReaders, LittleEndianValues) {
  MemoryFile file{std::string("\xFE\xFF\xFF\xFF\x01\x02\x03\x04\x05\x06\x07\x88\x34\x12", 14)};
  BlockStream stream{file.Source(), RecordLine};
  int32_t i32 = 0;
  int64_t i64 = 0;
  int16_t i16 = 0;
  ASSERT_TRUE(ReadInt32(stream, &i32));
  ASSERT_TRUE(ReadInt64(stream, &i64));
  ASSERT_TRUE(ReadInt16(stream, &i16));
  EXPECT_EQ(i32, -2);
  EXPECT_EQ(static_cast<uint64_t>(i64), 0x8807060504030201ull);
  EXPECT_EQ(i16, 0x1234);
}

// A minimal image: MZ header pointing at a PE header with three sections, the
// last of which ends at 0x600.
std::string FakeImage() {
  std::string image(0x600, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  const uint32_t h = 0x80;
  image[60] = static_cast<char>(h);
  image.replace(h, 4, std::string("PE\0\0", 4));
  image[h + 6] = 3;       // sections
  image[h + 20] = 0xF0;   // optional header size 240
  const uint32_t last = h + 24 + 0xF0 + 2 * 40;
  image[last + 16] = 0x00;  // raw size 0x200
  image[last + 17] = 0x02;
  image[last + 20] = 0x00;  // raw offset 0x400
  image[last + 21] = 0x04;
  return image;
}

TEST(FindBlockStart, WalksTheImageHeadersAndLogs) {
  const std::string image = FakeImage();
  MemoryFile file{image + "extra"};
  BlockStream stream{file.Source(), RecordLine};
  RecordedLines().clear();
  uint64_t start = 0;
  ASSERT_TRUE(FindBlockStart(stream, &start));
  EXPECT_EQ(start, 0x600u);
  EXPECT_EQ(file.position, 0x600u);
  EXPECT_EQ(RecordedLines(), (std::vector<std::string>{
                                 "number of sections: 3", "size of optional headers: 240",
                                 "resSectionTableStart: " + std::to_string(0x80 + 0xF0 + 120 - 16),
                                 "rawDataSize: 512, rawDataOffset: 1024"}));
}

TEST(FindBlockStart, TruncatedHeaderFails) {
  MemoryFile file{FakeImage().substr(0, 0x90)};
  BlockStream stream{file.Source(), RecordLine};
  uint64_t start = 0;
  EXPECT_FALSE(FindBlockStart(stream, &start));
  EXPECT_NE(stream.error, BlockError::kNone);
}

TEST(BuildLauncher, CutsTheStubAndAppendsBlockAndFiles) {
  std::string stub = FakeImage() + "symbols that an unstripped stub carries";
  BlockContents contents = SampleContents();
  const std::vector<IncludedFile> files = {{"a.jar", "ABC"}, {"lib\\b.jar", ""}};
  DescribeIncludedFiles(files, &contents);
  std::string launcher, error;
  ASSERT_TRUE(BuildLauncher(stub, contents, files, &launcher, &error)) << error;
  EXPECT_EQ(launcher.substr(0, 0x600), stub.substr(0, 0x600));

  MemoryFile file{launcher};
  BlockStream stream{file.Source(), RecordLine};
  uint64_t start = 0, end = 0;
  ConfigTables tables;
  ASSERT_TRUE(FindBlockStart(stream, &start));
  ASSERT_TRUE(ReadBlock(stream, "en", &tables, &end));
  EXPECT_EQ(At(tables.texts, 2002), "2");
  EXPECT_EQ(At(tables.texts, 2003), "a.jar;lib\\b.jar");
  int64_t size = 0;
  ASSERT_TRUE(ReadInt64(stream, &size));
  EXPECT_EQ(size, 3);
  const std::string masked = launcher.substr(end + 8, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(static_cast<char>(masked[i] ^ kIncludedFileMask), "ABC"[i]);
  }
  EXPECT_EQ(launcher.size(), end + 8 + 3 + 8);  // the empty file has its size only
}

TEST(BuildLauncher, RejectsWhatIsNoImage) {
  std::string launcher, error;
  EXPECT_FALSE(BuildLauncher("not an image at all, just text that is long enough to pass", {}, {},
                             &launcher, &error));
  EXPECT_FALSE(error.empty());
  std::string image = FakeImage().substr(0, 0x500);  // last section runs past the end
  EXPECT_FALSE(BuildLauncher(image, {}, {}, &launcher, &error));
}

// The writer refuses the names the launcher would refuse, and the list
// separator; a name that is only too deep is written (it fails at launch).
TEST(BuildLauncher, RefusesIncludedNamesTheLauncherRefuses) {
  std::string launcher, error;
  for (const char* name : {"..\\x.jar", "C:\\x.jar", "\\x.jar", "", "a;b.jar", "nul.jar", "lib/../x"}) {
    error.clear();
    EXPECT_FALSE(BuildLauncher(FakeImage(), {}, {{name, "x"}}, &launcher, &error)) << name;
    EXPECT_NE(error.find(std::string("\"") + name + "\""), std::string::npos) << error;
  }
  EXPECT_TRUE(BuildLauncher(FakeImage(), {}, {{"x\\y\\c.jar", "x"}, {"lib\\b.jar", ""}}, &launcher, &error))
      << error;
}

TEST(ParseConfigInteger, BehavesLikeStrtolWithClamping) {
  EXPECT_EQ(ParseConfigInteger("4"), 4);
  EXPECT_EQ(ParseConfigInteger(" 12abc"), 12);
  EXPECT_EQ(ParseConfigInteger("\t-7"), -7);
  EXPECT_EQ(ParseConfigInteger("+8"), 8);
  EXPECT_EQ(ParseConfigInteger("abc"), 0);
  EXPECT_EQ(ParseConfigInteger(""), 0);
  EXPECT_EQ(ParseConfigInteger("- 5"), 0);
  EXPECT_EQ(ParseConfigInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseConfigInteger("2147483648"), 2147483647);
  EXPECT_EQ(ParseConfigInteger("99999999999999999999999"), 2147483647);
  EXPECT_EQ(ParseConfigInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseConfigInteger("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace vexlo
