#include "core/icon_file.h"

#include "core/byte_order.h"

namespace vexlo {
namespace {

constexpr uint32_t kDirectorySize = 6;
constexpr uint32_t kFileEntrySize = 16;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;
constexpr uint32_t kBitmapHeaderSize = 40;  // BITMAPINFOHEADER
const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

std::string Numbered(const char* what, size_t index) { return std::string(what) + " " + std::to_string(index + 1); }

// The header fields an .ico entry and a group entry share (12 bytes).
void ReadEntryHeader(const std::string& bytes, uint64_t at, IconImage* image) {
  image->width = static_cast<uint8_t>(bytes[at]);
  image->height = static_cast<uint8_t>(bytes[at + 1]);
  image->colors = static_cast<uint8_t>(bytes[at + 2]);
  image->reserved = static_cast<uint8_t>(bytes[at + 3]);
  image->planes = Le16(bytes, at + 4);
  image->bit_count = Le16(bytes, at + 6);
}

void AppendEntryHeader(std::string& out, const IconImage& image) {
  for (uint8_t byte : {image.width, image.height, image.colors, image.reserved}) out.push_back(static_cast<char>(byte));
  AppendLe(out, image.planes, 2);
  AppendLe(out, image.bit_count, 2);
  AppendLe(out, static_cast<uint32_t>(image.data.size()), 4);
}

std::string Directory(uint16_t count) {
  std::string out;
  AppendLe(out, 0, 2);
  AppendLe(out, kIconType, 2);
  AppendLe(out, count, 2);
  return out;
}

// The image formats Windows draws from an icon resource.
const char* ImageProblem(const std::string& data) {
  if (data.compare(0, 8, kPngSignature, 8) == 0) return nullptr;
  if (data.size() < kBitmapHeaderSize) return "is neither a PNG image nor a bitmap";
  const uint32_t header = Le32(data, 0);
  if (header < kBitmapHeaderSize || header > data.size()) return "is neither a PNG image nor a bitmap";
  return nullptr;
}

}  // namespace

bool IconImage::operator==(const IconImage& other) const {
  return width == other.width && height == other.height && colors == other.colors && reserved == other.reserved &&
         planes == other.planes && bit_count == other.bit_count && data == other.data;
}

bool ParseIconFile(const std::string& bytes, std::vector<IconImage>* images, std::string* error) {
  if (bytes.size() < kDirectorySize || Le16(bytes, 0) != 0) {
    *error = "not an icon file";
    return false;
  }
  const uint16_t type = Le16(bytes, 2), count = Le16(bytes, 4);
  if (type != kIconType) {
    *error = type == kCursorType ? "a cursor file, not an icon file" : "not an icon file";
    return false;
  }
  if (count == 0) {
    *error = "the icon file holds no image";
    return false;
  }
  if (!Within(bytes.size(), kDirectorySize, uint64_t{count} * kFileEntrySize)) {
    *error = "the icon file's directory is cut short";
    return false;
  }
  std::vector<IconImage> result;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t at = kDirectorySize + i * kFileEntrySize;
    IconImage image;
    ReadEntryHeader(bytes, at, &image);
    const uint32_t size = Le32(bytes, at + 8), offset = Le32(bytes, at + 12);
    if (size == 0 || !Within(bytes.size(), offset, size)) {
      *error = Numbered("image", i) + " extends past the end of the file";
      return false;
    }
    image.data = bytes.substr(offset, size);
    if (const char* problem = ImageProblem(image.data)) {
      *error = Numbered("image", i) + " " + problem;
      return false;
    }
    result.push_back(std::move(image));
  }
  images->swap(result);
  return true;
}

std::string IconFileBytes(const std::vector<IconImage>& images) {
  std::string out = Directory(static_cast<uint16_t>(images.size()));
  uint64_t offset = kDirectorySize + images.size() * kFileEntrySize;
  for (const IconImage& image : images) {
    AppendEntryHeader(out, image);
    AppendLe(out, static_cast<uint32_t>(offset), 4);
    offset += image.data.size();
  }
  for (const IconImage& image : images) out += image.data;
  return out;
}

std::string IconGroupBytes(const std::vector<IconImage>& images, uint16_t first_id) {
  std::string out = Directory(static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    AppendEntryHeader(out, images[i]);
    AppendLe(out, static_cast<uint16_t>(first_id + i), 2);
  }
  return out;
}

bool ParseIconGroup(const std::string& group, std::vector<IconImage>* images, std::vector<uint16_t>* ids) {
  if (group.size() < kDirectorySize || Le16(group, 0) != 0 || Le16(group, 2) != kIconType) return false;
  const uint16_t count = Le16(group, 4);
  if (!Within(group.size(), kDirectorySize, uint64_t{count} * kGroupEntrySize)) return false;
  images->clear();
  ids->clear();
  for (size_t i = 0; i < count; ++i) {
    const uint64_t at = kDirectorySize + i * kGroupEntrySize;
    IconImage image;
    ReadEntryHeader(group, at, &image);
    images->push_back(image);
    ids->push_back(Le16(group, at + 12));
  }
  return true;
}

}  // namespace vexlo
