#include "core/block_writer.h"

#include "core/block_format.h"
#include "core/included_file_name.h"
#include "core/record_ids.h"

namespace vexlo {
namespace {

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutText(std::string& out, const std::string& text) {
  PutLe(out, static_cast<uint32_t>(text.size()), 4);
  out += text;
}

void PutWideText(std::string& out, const WideString& text) {
  PutLe(out, static_cast<uint32_t>(text.size() * 2), 4);
  for (WideChar c : text) PutLe(out, static_cast<uint16_t>(c), 2);
}

uint64_t GetLe(const std::string& bytes, uint64_t offset, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  }
  return value;
}

}  // namespace

std::string SerializeBlock(const BlockContents& contents) {
  std::string body;
  PutLe(body, static_cast<uint32_t>(contents.texts.size()), 4);
  for (const auto& record : contents.texts) {
    PutLe(body, static_cast<uint32_t>(record.first), 4);
    PutText(body, record.second);
  }
  PutLe(body, static_cast<uint32_t>(contents.wides.size()), 4);
  for (const auto& record : contents.wides) {
    PutLe(body, static_cast<uint32_t>(record.first), 4);
    PutWideText(body, record.second);
  }
  PutLe(body, static_cast<uint32_t>(contents.locales.size()), 4);
  for (const auto& locale : contents.locales) {
    PutText(body, locale.prefix);
    PutLe(body, static_cast<uint32_t>(locale.values.size()), 4);
    for (const auto& record : locale.values) {
      PutLe(body, static_cast<uint32_t>(record.first), 4);
      PutWideText(body, record.second);
    }
  }
  std::string block;
  PutLe(block, kBlockMagic, 4);
  PutLe(block, 0, 4);
  PutLe(block, 0, 4);
  // The header length counts from the start of its own field to the block end.
  PutLe(block, body.size() + 8, 8);
  return block + body;
}

std::string SerializeIncludedFiles(const std::vector<IncludedFile>& files) {
  std::string out;
  for (const auto& file : files) {
    PutLe(out, file.contents.size(), 8);
    for (char c : file.contents) {
      out.push_back(static_cast<char>(static_cast<uint8_t>(c) ^ kIncludedFileMask));
    }
  }
  return out;
}

void DescribeIncludedFiles(const std::vector<IncludedFile>& files, BlockContents* contents) {
  std::string names;
  for (const auto& file : files) {
    if (!names.empty()) names += ';';
    names += file.name;
  }
  auto& texts = contents->texts;
  for (auto it = texts.begin(); it != texts.end();) {
    it = (it->first == record::kIncludedFileCount || it->first == record::kIncludedFileNames) ? texts.erase(it) : it + 1;
  }
  texts.emplace_back(record::kIncludedFileCount, std::to_string(files.size()));
  texts.emplace_back(record::kIncludedFileNames, names);
}

bool ImageEnd(const std::string& image, uint64_t* end, std::string* error) {
  const uint64_t size = image.size();
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') {
    *error = "not a Windows executable (no MZ header)";
    return false;
  }
  const uint64_t h = GetLe(image, kSignatureOffsetField, 4);
  if (h + 24 > size || image.compare(h, 4, std::string("PE\0\0", 4)) != 0) {
    *error = "not a Windows executable (no PE signature)";
    return false;
  }
  const uint64_t sections = GetLe(image, h + kSectionCountOffset, 2);
  const uint64_t optional_size = GetLe(image, h + kOptionalHeaderSizeOffset, 2);
  if (sections == 0 || h + 24 + optional_size + sections * kSectionHeaderSize > size) {
    *error = "truncated section table";
    return false;
  }
  const uint64_t last = h + 24 + optional_size + (sections - 1) * kSectionHeaderSize;
  *end = GetLe(image, last + kRawDataSizeOffset, 4) + GetLe(image, last + kRawDataOffsetOffset, 4);
  if (*end > size) {
    *error = "last section extends past the end of the file";
    return false;
  }
  return true;
}

bool BuildLauncher(const std::string& stub, const BlockContents& contents,
                   const std::vector<IncludedFile>& files, std::string* launcher,
                   std::string* error) {
  for (const auto& file : files) {
    // The launcher refuses these names when it extracts; a launcher that
    // carries one could never start.
    const IncludedNameProblem problem = CheckIncludedFileName(file.name);
    if (RefusedAtExtraction(problem)) {
      *error = "included file \"" + file.name + "\": " + IncludedNameProblemText(problem);
      return false;
    }
  }
  uint64_t end = 0;
  if (!ImageEnd(stub, &end, error)) return false;
  // Anything behind the last section (symbols of an unstripped stub, an old
  // block) is cut: the launcher looks for its block exactly there.
  std::string out = stub.substr(0, end);
  out += SerializeBlock(contents);
  out += SerializeIncludedFiles(files);
  launcher->swap(out);
  return true;
}

}  // namespace vexlo
