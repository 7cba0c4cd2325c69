// Writes launcher executables: a copy of the stub image cut at the end of its
// last section's raw data, then a configuration block, then the included-file
// data. Used by the builder and by the tests that build the launchers they
// run. The layout comes from block_format.h, shared with the reader.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

struct LocaleOverrides {
  std::string prefix;  // "de", "de_AT", or "" for every locale
  std::vector<std::pair<int32_t, WideString>> values;
};

struct BlockContents {
  std::vector<std::pair<int32_t, std::string>> texts;  // ANSI code page bytes
  std::vector<std::pair<int32_t, WideString>> wides;
  std::vector<LocaleOverrides> locales;
};

struct IncludedFile {
  std::string name;      // relative name, at most one directory part (lib\a.jar)
  std::string contents;  // the file's bytes as they should be extracted
};

// The serialised block, starting with the magic.
std::string SerializeBlock(const BlockContents& contents);

// Sizes and masked contents of the included files, in order.
std::string SerializeIncludedFiles(const std::vector<IncludedFile>& files);

// Sets records 2002 (count) and 2003 (";"-separated names) for the files,
// replacing earlier values of those ids.
void DescribeIncludedFiles(const std::vector<IncludedFile>& files, BlockContents* contents);

// Offset of the end of the last section's raw data of a Windows image, found
// the way the launcher finds it. False with *error set when the bytes are not
// a usable image.
bool ImageEnd(const std::string& image, uint64_t* end, std::string* error);

// stub image (cut at its end) + block + included files. Refuses (with
// *error set) a file name that the launcher would refuse to extract or that
// holds the name list's ";" separator.
bool BuildLauncher(const std::string& stub, const BlockContents& contents,
                   const std::vector<IncludedFile>& files, std::string* launcher,
                   std::string* error);

}  // namespace vexlo
