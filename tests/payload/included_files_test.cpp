#include "payload/included_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/block_writer.h"
#include "support/log_recorder.h"
#include "support/memory_source.h"

namespace vexlo {
namespace {

using testing_support::MemoryFile;
using testing_support::RecordedLines;
using testing_support::RecordLine;

TEST(SplitIncludedFileNames, CutAtEverySeparator) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(SplitIncludedFileNames(""), Names{});
  EXPECT_EQ(SplitIncludedFileNames("a.jar"), Names{"a.jar"});
  EXPECT_EQ(SplitIncludedFileNames("a.jar;lib\\b.jar"), (Names{"a.jar", "lib\\b.jar"}));
  // Empty pieces stay, in step with the data; the extraction refuses them.
  EXPECT_EQ(SplitIncludedFileNames("a.jar;;b.jar;"), (Names{"a.jar", "", "b.jar", ""}));
  EXPECT_EQ(SplitIncludedFileNames(";"), (Names{"", ""}));
}

// A target that keeps what it is given, writes at most `chunk` bytes per
// call, and fails (or writes nothing) once `limit` bytes are written.
struct MemorySink {
  std::string bytes;
  uint32_t chunk = 0xFFFFFFFFu;
  size_t limit = std::string::npos;
  uint32_t error = 112;  // disk full
  bool report_failure = true;
  uint32_t largest_write = 0;

  ByteSink Sink() { return ByteSink{this, &Write}; }
  static bool Write(void* context, const void* data, uint32_t size, uint32_t* written,
                    uint32_t* system_error) {
    auto* sink = static_cast<MemorySink*>(context);
    sink->largest_write = std::max(sink->largest_write, size);
    *written = 0;
    *system_error = 0;
    if (sink->bytes.size() >= sink->limit) {
      if (!sink->report_failure) return true;  // "success", nothing written
      *system_error = sink->error;
      return false;
    }
    const uint32_t count = std::min(size, sink->chunk);
    sink->bytes.append(static_cast<const char*>(data), count);
    *written = count;
    return true;
  }
};

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// The data as the writer stores it, read back byte for byte, whatever the
// block boundaries; the source is left right behind the content.
TEST(CopyDescrambled, UndoesTheWritersMask) {
  for (const size_t size : {size_t{1}, size_t{8191}, size_t{8192}, size_t{8193}, size_t{20000}}) {
    const std::string contents = Pattern(size);
    MemoryFile file{SerializeIncludedFiles({{"a.jar", contents}}) + "next"};
    file.position = 8;
    MemorySink sink;
    sink.chunk = 1000;  // partial writes are continued
    EXPECT_EQ(CopyDescrambled(file.Source(), sink.Sink(), static_cast<int64_t>(size), RecordLine), kCopyDone);
    EXPECT_EQ(sink.bytes, contents) << size;
    EXPECT_EQ(file.position, 8 + size);
    EXPECT_LE(sink.largest_write, kCopyBlockSize);
  }
}

// A source that hands out all it is asked for and records the requests.
struct WholeReadSource {
  std::string bytes;
  size_t position = 0;
  std::vector<uint32_t> requests;

  ByteSource Source() { return ByteSource{this, nullptr, &Read, nullptr}; }
  static bool Read(void* context, void* buffer, uint32_t size, uint32_t* got, uint32_t* error) {
    auto* source = static_cast<WholeReadSource*>(context);
    source->requests.push_back(size);
    *got = static_cast<uint32_t>(std::min<size_t>(size, source->bytes.size() - source->position));
    std::copy_n(source->bytes.data() + source->position, *got, static_cast<char*>(buffer));
    source->position += *got;
    *error = 0;
    return true;
  }
};

TEST(CopyDescrambled, ReadsInBlocks) {
  WholeReadSource source{std::string(20000, 'x')};
  MemorySink sink;
  EXPECT_EQ(CopyDescrambled(source.Source(), sink.Sink(), 20000, RecordLine), kCopyDone);
  EXPECT_EQ(source.requests, (std::vector<uint32_t>{8192, 8192, 3616}));
}

TEST(CopyDescrambled, SourceEndingEarlyIsAReadFailure) {
  MemoryFile file{std::string(10000, '\x5C')};
  MemorySink sink;
  RecordedLines().clear();
  EXPECT_EQ(CopyDescrambled(file.Source(), sink.Sink(), 10001, RecordLine), kCopyReadFailed);
  EXPECT_EQ(sink.bytes, std::string(10000, '\0'));
  EXPECT_EQ(RecordedLines(), std::vector<std::string>{"ReadFile failed 0 0 10000"});

  MemoryFile failing{std::string(100, 'x')};
  failing.fail_with_error = 23;
  RecordedLines().clear();
  EXPECT_EQ(CopyDescrambled(failing.Source(), sink.Sink(), 50, RecordLine), kCopyReadFailed);
  EXPECT_EQ(RecordedLines(), std::vector<std::string>{"ReadFile failed 0 23 0"});
}

TEST(CopyDescrambled, WriteFailureReportsWhatWasLeft) {
  WholeReadSource source{std::string(10000, 'x')};
  MemorySink sink;
  sink.chunk = 100;
  sink.limit = 8300;  // fails on the third write of the second block (1808 bytes)
  RecordedLines().clear();
  EXPECT_EQ(CopyDescrambled(source.Source(), sink.Sink(), 10000, RecordLine), kCopyWriteFailed);
  EXPECT_EQ(RecordedLines(), std::vector<std::string>{"WriteFile failed 1608 112"});

  // A write that "succeeds" without writing anything must not loop for ever.
  MemoryFile again{std::string(10, 'x')};
  MemorySink stuck;
  stuck.limit = 0;
  stuck.report_failure = false;
  RecordedLines().clear();
  EXPECT_EQ(CopyDescrambled(again.Source(), stuck.Sink(), 10, RecordLine), kCopyWriteFailed);
  EXPECT_EQ(RecordedLines(), std::vector<std::string>{"WriteFile failed 3 0"});
}

TEST(CopyDescrambled, NothingToCopy) {
  MemoryFile file{"abc"};
  MemorySink sink;
  EXPECT_EQ(CopyDescrambled(file.Source(), sink.Sink(), 0, RecordLine), kCopyDone);
  EXPECT_EQ(file.position, 0u);
  EXPECT_TRUE(sink.bytes.empty());
}

}  // namespace
}  // namespace vexlo
