// The version resource (RT_VERSION) of an executable: a VS_VERSIONINFO tree
// with the fixed file information, one string table in US English with code
// page 1200 (UTF-16) and the matching translation entry. Explorer's
// properties and Task Manager read it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

struct VersionInfo {
  uint16_t version[4] = {0, 0, 0, 0};  // file and product version, major first
  // Name and value, in the order written ("CompanyName", "ProductName", ...).
  std::vector<std::pair<WideString, WideString>> strings;
  bool operator==(const VersionInfo& other) const;
};

// The resource's bytes. False when it exceeds what the format's 16-bit
// lengths hold (64 KB); *data is then untouched.
bool SerializeVersionInfo(const VersionInfo& info, std::string* data);

// Reads a version resource back: the fixed file version and the strings of
// its first string table. False when the bytes are not one.
bool ParseVersionInfo(const std::string& data, VersionInfo* info);

// "1.2.3.4": one to four numbers of 0 to 65535, separated by dots; missing
// parts are 0. False for anything else.
bool ParseVersionNumber(const std::string& text, uint16_t version[4]);

}  // namespace vexlo
