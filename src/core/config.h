// Process-wide configuration records. The tables are filled once at start-up,
// before any other thread exists, and only read afterwards.
#pragma once
#include <cstdint>
#include <string>

#include "core/block_format.h"

namespace vexlo {

ConfigTables& ConfigRecords();

// Absent records read as the empty text and as 0.
const std::string& ConfigText(int32_t id);
const WideString& ConfigWide(int32_t id);
int32_t ConfigInteger(int32_t id);
inline bool ConfigFlag(int32_t id) { return ConfigInteger(id) != 0; }

// Record ids the launcher core reads.
namespace record {
constexpr int32_t kServiceName = 101;
constexpr int32_t kLaunchMode = 107;
constexpr int32_t kWorkingDirectory = 146;
constexpr int32_t kServiceDependencies = 149;
constexpr int32_t kMessageCaption = 1000;
constexpr int32_t kModeLetter = 2001;
constexpr int32_t kIncludedFileCount = 2002;
constexpr int32_t kIncludedFileNames = 2003;
constexpr int32_t kServiceDescription = 20017;
}  // namespace record

}  // namespace vexlo
