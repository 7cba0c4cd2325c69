// The launcher configuration block: its layout, the stream readers over the
// executable file and the reader of the whole block. The block writer
// (block_writer.h) builds on the same constants, so reader and writer cannot
// drift apart.
//
// File layout, little-endian, no padding:
//   image (headers and sections) | block | included-file data | anything
// The block starts at the end of the raw data of the last section header:
//   u32 magic, u32 word1, u32 word2, i64 header length (bytes from this field
//   to the block end), i32 text count, {i32 id, text}*, i32 wide count,
//   {i32 id, wide text}*, i32 locale count, {text prefix, i32 n, {i32 id,
//   wide text}*n}*
// A text is an i32 byte length and that many ANSI bytes; a wide text an i32
// byte length and that many UTF-16LE bytes; neither carries a terminator.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

constexpr uint32_t kBlockMagic = 0xE8E413D5u;
// Bytes that every included file's content is XORed with. The launcher and
// every tool that appends files must agree on it.
constexpr uint8_t kIncludedFileMask = 0x5Cu;

// Offsets inside the image headers used to find the end of the image.
constexpr uint32_t kSignatureOffsetField = 60;      // e_lfanew
constexpr uint32_t kSectionCountOffset = 6;         // from the signature
constexpr uint32_t kOptionalHeaderSizeOffset = 20;  // from the signature
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kRawDataSizeOffset = 16;    // in a section header
constexpr uint32_t kRawDataOffsetOffset = 20;  // in a section header

// Why a read of the block failed; each has its fixed user-facing text.
enum class BlockError {
  kNone,
  kMagic,
  kReadLong,
  kReadInt,
  kReadShort,
  kReadString,
  kReadWideString,
};
const char* BlockErrorText(BlockError error);

// A seekable byte stream: the executable file in the launcher, a memory
// buffer in tests and in the builder. Plain callbacks keep it free of
// inheritance and of any platform header.
struct ByteSource {
  void* context;
  // Moves to an absolute offset; false when the platform refuses.
  bool (*seek)(void* context, uint64_t offset);
  // Reads up to size bytes; returns false on a failed call. *got receives the
  // bytes read, *system_error the platform's error number on failure.
  bool (*read)(void* context, void* buffer, uint32_t size, uint32_t* got,
               uint32_t* system_error);
  uint64_t (*position)(void* context);
};

// Where the stream readers send their diagnostics ("error %d %d\n" and the
// like): the launcher log in the launcher, a recorder in tests.
using LogSink = void (*)(const char* format, ...);

// Stream readers. Each reads at the current position and returns false on a
// failed or short read, having logged the failure and recorded the error; the
// caller turns the error into the fatal text. A failed read leaves *value
// untouched.
struct BlockStream {
  ByteSource source;
  LogSink log;
  BlockError error = BlockError::kNone;
};
bool ReadInt64(BlockStream& stream, int64_t* value);
bool ReadInt32(BlockStream& stream, int32_t* value);
bool ReadInt16(BlockStream& stream, int16_t* value);
// Length-prefixed texts. A negative length, or one larger than what the
// stream still holds, is a failed read rather than a huge allocation.
bool ReadText(BlockStream& stream, std::string* text);
bool ReadWideText(BlockStream& stream, WideString* text);

// Records by id: each id once, in ascending order. A sorted vector rather
// than a std::map: the launcher reads a few dozen records once, and the
// library's red-black tree would cost every stub about 2 KB.
template <typename Value>
class RecordTable {
 public:
  using Entry = std::pair<int32_t, Value>;
  using const_iterator = typename std::vector<Entry>::const_iterator;

  // The value for id, inserted empty when absent.
  Value& operator[](int32_t id) {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
    if (at == entries_.end() || at->first != id) at = entries_.insert(at, Entry(id, Value()));
    return at->second;
  }
  // The value for id; nullptr when absent.
  const Value* Find(int32_t id) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
    return at != entries_.end() && at->first == id ? &at->second : nullptr;
  }
  bool empty() const { return entries_.empty(); }
  size_t size() const { return entries_.size(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  bool operator==(const RecordTable& other) const { return entries_ == other.entries_; }

 private:
  static bool IdBelow(const Entry& entry, int32_t id) { return entry.first < id; }

  std::vector<Entry> entries_;
};

// The two record tables. Text values are ANSI bytes, wide values UTF-16.
struct ConfigTables {
  RecordTable<std::string> texts;
  RecordTable<WideString> wides;
};

// True when a locale override block with this prefix applies to the locale:
// the prefix equals the locale's first characters, byte-wise. An empty prefix
// matches every locale; "de" matches "de_AT"; "de_AT" does not match "de".
bool LocalePrefixMatches(const std::string& prefix, const std::string& locale);

// Walks the image headers from the start of the stream and returns the offset
// where the block starts (end of the last section's raw data).
bool FindBlockStart(BlockStream& stream, uint64_t* block_start);

// Receives the records of a block in file order, exactly as stored. The
// callbacks may take the value out of the string they are given.
struct BlockVisitor {
  void* context;
  void (*text)(void* context, int32_t id, std::string& value);
  void (*wide)(void* context, int32_t id, WideString& value);
  // A locale override block begins; its values follow through locale_value.
  void (*locale)(void* context, const std::string& prefix);
  void (*locale_value)(void* context, int32_t id, WideString& value);
};

// Walks the block at the current position. On success *block_end is the
// position after the last locale block, where the included files begin.
bool WalkBlock(BlockStream& stream, const BlockVisitor& visitor, uint64_t* block_end);

// Reads the block at the current position into *tables, applying the locale
// override blocks that match `locale` in file order. On success *block_end is
// the position after the last locale block.
//
// The same in two steps, for the launcher, which detects the user's locale
// only once the default records are read: first the header and the default
// text and wide records, then the locale override blocks that follow.
bool ReadDefaultRecords(BlockStream& stream, ConfigTables* tables);
bool ReadLocaleOverrides(BlockStream& stream, const std::string& locale, ConfigTables* tables,
                         uint64_t* block_end);
bool ReadBlock(BlockStream& stream, const std::string& locale, ConfigTables* tables,
               uint64_t* block_end);

// Integer value of a record text, as the C runtime's base-10 strtol reads it:
// leading white space, optional sign, digits up to the first other character;
// no digits gives 0; the result is clamped to the 32-bit signed range.
int32_t ParseConfigInteger(const char* text);

}  // namespace vexlo
