// Process-wide configuration records. The tables are filled once at start-up,
// before any other thread exists, and only read afterwards.
#pragma once
#include <cstdint>
#include <string>

#include "core/block_format.h"
#include "core/record_ids.h"

namespace vexlo {

ConfigTables& ConfigRecords();

// Absent records read as the empty text and as 0.
const std::string& ConfigText(int32_t id);
const WideString& ConfigWide(int32_t id);
int32_t ConfigInteger(int32_t id);
inline bool ConfigFlag(int32_t id) { return ConfigInteger(id) != 0; }

}  // namespace vexlo
