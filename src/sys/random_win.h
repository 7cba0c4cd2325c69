// Unpredictable numbers from the system's random source, for names that
// nobody may guess ahead (the launcher temporary directory).
#pragma once
#include <cstdint>

namespace vexlo {

// False (with the system error set) when the source fails.
bool RandomValue(uint64_t* value);

}  // namespace vexlo
