#include "inspect.h"

#include <algorithm>
#include <cstring>

#include "core/block_format.h"
#include "core/record_ids.h"

namespace vexlo {
namespace builder {
namespace {

// A ByteSource over the executable's bytes.
struct MemorySource {
  const std::string* bytes;
  uint64_t position = 0;

  ByteSource Source() { return ByteSource{this, &Seek, &Read, &Position}; }
  static bool Seek(void* context, uint64_t offset) {
    static_cast<MemorySource*>(context)->position = offset;
    return true;
  }
  static bool Read(void* context, void* buffer, uint32_t size, uint32_t* got, uint32_t* system_error) {
    auto* source = static_cast<MemorySource*>(context);
    *system_error = 0;
    const uint64_t available =
        source->position < source->bytes->size() ? source->bytes->size() - source->position : 0;
    *got = static_cast<uint32_t>(std::min<uint64_t>(size, available));
    std::memcpy(buffer, source->bytes->data() + source->position, *got);
    source->position += *got;
    return true;
  }
  static uint64_t Position(void* context) { return static_cast<MemorySource*>(context)->position; }
};

void IgnoreLine(const char*, ...) {}

struct ContentsFill {
  static void Text(void* context, int32_t id, std::string& value) {
    static_cast<BlockContents*>(context)->texts.emplace_back(id, value);
  }
  static void Wide(void* context, int32_t id, WideString& value) {
    static_cast<BlockContents*>(context)->wides.emplace_back(id, value);
  }
  static void Locale(void* context, const std::string& prefix) {
    static_cast<BlockContents*>(context)->locales.push_back({prefix, {}});
  }
  static void LocaleValue(void* context, int32_t id, WideString& value) {
    static_cast<BlockContents*>(context)->locales.back().values.emplace_back(id, value);
  }
};

// The names of record 2003, as the launcher walks them.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(';', start), list.size());
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

bool ReadLauncherImage(const std::string& bytes, LauncherImage* image, std::string* error) {
  *image = LauncherImage();
  MemorySource source{&bytes};
  BlockStream stream{source.Source(), &IgnoreLine};
  uint64_t start = 0, end = 0;
  const BlockVisitor visitor{&image->stored, &ContentsFill::Text, &ContentsFill::Wide,
                             &ContentsFill::Locale, &ContentsFill::LocaleValue};
  if (!FindBlockStart(stream, &start)) {
    *error = std::string("not a Windows executable (") + BlockErrorText(stream.error) + ")";
    return false;
  }
  if (!WalkBlock(stream, visitor, &end)) {
    // A stub without a block ends where the block would begin.
    const bool absent = stream.error == BlockError::kMagic || start >= bytes.size();
    *error = std::string(absent ? "no configuration block after the image (" : "damaged configuration block (") +
             BlockErrorText(stream.error) + ")";
    return false;
  }
  image->block_start = start;
  image->block_bytes = bytes.substr(start, end - start);
  if (!ReadExeResources(bytes, &image->resources, &image->resource_section,
                        &image->resource_address, &image->resource_error)) {
    image->resources = ExeResources();
  }

  // The launcher's tables hold the last value of each id.
  std::string count_text, names_text;
  for (const auto& text : image->stored.texts) {
    if (text.first == record::kIncludedFileCount) count_text = text.second;
    if (text.first == record::kIncludedFileNames) names_text = text.second;
  }
  const int32_t count = ParseConfigInteger(count_text.c_str());
  const std::vector<std::string> names = SplitNames(names_text);
  for (size_t i = 0; i < names.size() && static_cast<int64_t>(i) < count; ++i) {
    int64_t size = 0;
    if (!ReadInt64(stream, &size)) {
      *error = "damaged included file " + names[i] + " (" + BlockErrorText(stream.error) + ")";
      return false;
    }
    IncludedFile file{names[i], std::string()};
    const uint64_t at = source.position;
    if (size > 0) {
      if (static_cast<uint64_t>(size) > bytes.size() - std::min<uint64_t>(at, bytes.size())) {
        *error = "included file " + names[i] + " is cut short: " + std::to_string(size) +
                 " bytes announced, " + std::to_string(bytes.size() - at) + " present";
        return false;
      }
      file.contents = bytes.substr(at, static_cast<size_t>(size));
      for (char& c : file.contents) c = static_cast<char>(static_cast<uint8_t>(c) ^ kIncludedFileMask);
      source.position += static_cast<uint64_t>(size);
    }
    image->files.push_back(file);
  }
  image->file_bytes = bytes.substr(end, source.position - end);
  image->trailing = bytes.substr(std::min<uint64_t>(source.position, bytes.size()));
  return true;
}

}  // namespace builder
}  // namespace vexlo
