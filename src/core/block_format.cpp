#include "core/block_format.h"

#include <climits>
#include <cstring>

namespace vexlo {
namespace {

// Reads exactly size bytes; on a short or failed read reports what arrived.
bool ReadExact(BlockStream& stream, void* buffer, uint32_t size, uint32_t* got,
               uint32_t* system_error) {
  *got = 0;
  *system_error = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (*got < size) {
    uint32_t chunk = 0;
    if (!stream.source.read(stream.source.context, bytes + *got, size - *got, &chunk,
                            system_error) ||
        chunk == 0) {
      return false;
    }
    *got += chunk;
  }
  return true;
}

uint32_t LoadLe(const unsigned char* bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

bool Fail(BlockStream& stream, BlockError error) {
  stream.error = error;
  return false;
}

bool Seek(BlockStream& stream, uint64_t offset, BlockError error_if_refused) {
  if (stream.source.seek(stream.source.context, offset)) return true;
  return Fail(stream, error_if_refused);
}

// Reads a payload of `length` bytes in bounded steps, so that a corrupt length
// costs no more memory than the file really holds.
bool ReadPayload(BlockStream& stream, int32_t length, std::string* bytes) {
  if (length < 0) return false;
  constexpr uint32_t kStep = 64 * 1024;
  std::string result;
  uint32_t remaining = static_cast<uint32_t>(length);
  while (remaining > 0) {
    const uint32_t step = remaining < kStep ? remaining : kStep;
    const size_t old_size = result.size();
    result.resize(old_size + step);
    uint32_t got = 0, system_error = 0;
    if (!ReadExact(stream, &result[old_size], step, &got, &system_error)) return false;
    remaining -= step;
  }
  *bytes = std::move(result);
  return true;
}

}  // namespace

const char* BlockErrorText(BlockError error) {
  switch (error) {
    case BlockError::kMagic: return "Internal Error: magic";
    case BlockError::kReadLong: return "Internal Error: readLong";
    case BlockError::kReadInt: return "Internal Error: readInt";
    case BlockError::kReadShort: return "Internal Error: readShort";
    case BlockError::kReadString: return "Internal Error: readString";
    case BlockError::kReadWideString: return "Internal Error: readWString";
    case BlockError::kNone: break;
  }
  return "";
}

bool ReadInt64(BlockStream& stream, int64_t* value) {
  unsigned char bytes[8];
  uint32_t got = 0, system_error = 0;
  if (!ReadExact(stream, bytes, 8, &got, &system_error)) {
    stream.log("error %d\n", static_cast<int>(system_error));
    return Fail(stream, BlockError::kReadLong);
  }
  const uint64_t low = LoadLe(bytes, 4), high = LoadLe(bytes + 4, 4);
  *value = static_cast<int64_t>((high << 32) | low);
  return true;
}

bool ReadInt32(BlockStream& stream, int32_t* value) {
  unsigned char bytes[4];
  uint32_t got = 0, system_error = 0;
  if (!ReadExact(stream, bytes, 4, &got, &system_error)) {
    stream.log("error %d %d\n", static_cast<int>(system_error), static_cast<int>(got));
    return Fail(stream, BlockError::kReadInt);
  }
  *value = static_cast<int32_t>(LoadLe(bytes, 4));
  return true;
}

bool ReadInt16(BlockStream& stream, int16_t* value) {
  unsigned char bytes[2];
  uint32_t got = 0, system_error = 0;
  if (!ReadExact(stream, bytes, 2, &got, &system_error)) {
    stream.log("error %d\n", static_cast<int>(system_error));
    return Fail(stream, BlockError::kReadShort);
  }
  *value = static_cast<int16_t>(LoadLe(bytes, 2));
  return true;
}

bool ReadText(BlockStream& stream, std::string* text) {
  int32_t length = 0;
  if (!ReadInt32(stream, &length)) return false;
  std::string bytes;
  if (!ReadPayload(stream, length, &bytes)) return Fail(stream, BlockError::kReadString);
  *text = std::move(bytes);
  return true;
}

bool ReadWideText(BlockStream& stream, WideString* text) {
  int32_t length = 0;
  if (!ReadInt32(stream, &length)) return false;
  std::string bytes;
  if (!ReadPayload(stream, length, &bytes)) return Fail(stream, BlockError::kReadWideString);
  // An odd byte count keeps whole characters only.
  WideString result(bytes.size() / 2, WideChar());
  for (size_t i = 0; i < result.size(); ++i) {
    result[i] = static_cast<WideChar>(static_cast<unsigned char>(bytes[2 * i]) |
                                      (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  *text = std::move(result);
  return true;
}

bool LocalePrefixMatches(const std::string& prefix, const std::string& locale) {
  return locale.compare(0, prefix.size(), prefix) == 0 && prefix.size() <= locale.size();
}

bool FindBlockStart(BlockStream& stream, uint64_t* block_start) {
  int32_t signature = 0;
  if (!Seek(stream, kSignatureOffsetField, BlockError::kReadInt) ||
      !ReadInt32(stream, &signature)) {
    return false;
  }
  const int64_t h = static_cast<uint32_t>(signature);
  int16_t sections = 0, optional_size = 0;
  if (!Seek(stream, h + kSectionCountOffset, BlockError::kReadShort) ||
      !ReadInt16(stream, &sections)) {
    return false;
  }
  stream.log("number of sections: %d", sections);
  if (!Seek(stream, h + kOptionalHeaderSizeOffset, BlockError::kReadShort) ||
      !ReadInt16(stream, &optional_size)) {
    return false;
  }
  stream.log("size of optional headers: %d", optional_size);
  // The section table starts at h + 24 + optional size; the last header is
  // (sections - 1) headers further on.
  const int64_t last_header =
      h + optional_size + static_cast<int64_t>(kSectionHeaderSize) * sections - 16;
  stream.log("resSectionTableStart: %d", static_cast<int>(last_header));
  int32_t raw_size = 0, raw_offset = 0;
  if (last_header < 0 ||
      !Seek(stream, static_cast<uint64_t>(last_header) + kRawDataSizeOffset,
            BlockError::kReadInt) ||
      !ReadInt32(stream, &raw_size) ||
      !Seek(stream, static_cast<uint64_t>(last_header) + kRawDataOffsetOffset,
            BlockError::kReadInt) ||
      !ReadInt32(stream, &raw_offset)) {
    return Fail(stream, BlockError::kReadInt);
  }
  stream.log("rawDataSize: %d, rawDataOffset: %d", raw_size, raw_offset);
  *block_start = static_cast<uint64_t>(static_cast<uint32_t>(raw_size)) +
                 static_cast<uint32_t>(raw_offset);
  return Seek(stream, *block_start, BlockError::kMagic);
}

namespace {

// The two halves of a block: the header and the default records, then the
// locale override blocks. The launcher detects the locale between them.
bool WalkDefaultRecords(BlockStream& stream, const BlockVisitor& visitor) {
  int32_t magic = 0;
  if (!ReadInt32(stream, &magic)) return false;
  if (static_cast<uint32_t>(magic) != kBlockMagic) return Fail(stream, BlockError::kMagic);
  int32_t ignored_word = 0;
  int64_t ignored_length = 0;
  if (!ReadInt32(stream, &ignored_word) || !ReadInt32(stream, &ignored_word) ||
      !ReadInt64(stream, &ignored_length)) {
    return false;
  }

  int32_t count = 0;
  if (!ReadInt32(stream, &count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t id = 0;
    std::string value;
    if (!ReadInt32(stream, &id) || !ReadText(stream, &value)) return false;
    visitor.text(visitor.context, id, value);
  }
  if (!ReadInt32(stream, &count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t id = 0;
    WideString value;
    if (!ReadInt32(stream, &id) || !ReadWideText(stream, &value)) return false;
    visitor.wide(visitor.context, id, value);
  }
  return true;
}

bool WalkLocaleBlocks(BlockStream& stream, const BlockVisitor& visitor, uint64_t* block_end) {
  int32_t locale_blocks = 0;
  if (!ReadInt32(stream, &locale_blocks)) return false;
  for (int32_t block = 0; block < locale_blocks; ++block) {
    std::string prefix;
    int32_t overrides = 0;
    if (!ReadText(stream, &prefix) || !ReadInt32(stream, &overrides)) return false;
    visitor.locale(visitor.context, prefix);
    for (int32_t i = 0; i < overrides; ++i) {
      int32_t id = 0;
      WideString value;
      if (!ReadInt32(stream, &id) || !ReadWideText(stream, &value)) return false;
      visitor.locale_value(visitor.context, id, value);
    }
  }
  *block_end = stream.source.position(stream.source.context);
  return true;
}

}  // namespace

bool WalkBlock(BlockStream& stream, const BlockVisitor& visitor, uint64_t* block_end) {
  return WalkDefaultRecords(stream, visitor) && WalkLocaleBlocks(stream, visitor, block_end);
}

namespace {

// The record tables' visitor: later records replace earlier ones, and only
// the locale blocks that match apply.
struct TableFill {
  ConfigTables* tables;
  const std::string* locale;
  bool locale_matches;

  static void Text(void* context, int32_t id, std::string& value) {
    static_cast<TableFill*>(context)->tables->texts[id] = std::move(value);
  }
  static void Wide(void* context, int32_t id, WideString& value) {
    static_cast<TableFill*>(context)->tables->wides[id] = std::move(value);
  }
  static void Locale(void* context, const std::string& prefix) {
    auto* fill = static_cast<TableFill*>(context);
    fill->locale_matches = LocalePrefixMatches(prefix, *fill->locale);
  }
  // Overrides replace wide records only; texts (the message catalogue) are
  // the same for every locale.
  static void LocaleValue(void* context, int32_t id, WideString& value) {
    auto* fill = static_cast<TableFill*>(context);
    if (fill->locale_matches) fill->tables->wides[id] = std::move(value);
  }

  BlockVisitor Visitor() { return BlockVisitor{this, &Text, &Wide, &Locale, &LocaleValue}; }
};

}  // namespace

bool ReadDefaultRecords(BlockStream& stream, ConfigTables* tables) {
  const std::string no_locale;
  TableFill fill{tables, &no_locale, false};
  return WalkDefaultRecords(stream, fill.Visitor());
}

bool ReadLocaleOverrides(BlockStream& stream, const std::string& locale, ConfigTables* tables,
                         uint64_t* block_end) {
  TableFill fill{tables, &locale, false};
  return WalkLocaleBlocks(stream, fill.Visitor(), block_end);
}

bool ReadBlock(BlockStream& stream, const std::string& locale, ConfigTables* tables,
               uint64_t* block_end) {
  return ReadDefaultRecords(stream, tables) &&
         ReadLocaleOverrides(stream, locale, tables, block_end);
}

int32_t ParseConfigInteger(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > static_cast<int64_t>(INT32_MAX) + 1) magnitude = static_cast<int64_t>(INT32_MAX) + 1;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace vexlo
