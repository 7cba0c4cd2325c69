// The rules of the launcher's own settings (records 30000 to 30999, see
// record_ids.h), shared by the launcher, which reads them, and the builder,
// which checks them.
#pragma once
#include <string>

#include "core/byte_size.h"
#include "core/duration.h"
#include "core/record_ids.h"

namespace vexlo {

// The Java side halts the application this long before the supervisor ends
// the child's processes, so that a stop ends gracefully where it can.
constexpr uint64_t kJavaStopMarginMs = 5000;

// From the stop (or shutdown) control to the forced end of the child's
// process tree; the Java side gets a second less at the least.
constexpr DurationSetting kStopTimeoutSetting = {record::kStopTimeout, "30s", kJavaStopMarginMs + 1000,
                                                 86400 * 1000, false};

// The service log's size, beyond which it becomes "<name>.1". The smallest
// still holds a few hundred lines.
constexpr SizeSetting kServiceLogMaxSizeSetting = {record::kServiceLogMaxSize, "10MB", 64 * 1024,
                                                   uint64_t{1024} << 30};

// Why `text` cannot be the service log's path, or "" when it can: a file's
// path, relative to the executable's folder or full, without variables (the
// install command and the service must resolve it alike, in different
// environments). "" itself turns the log off.
std::string ServiceLogPathProblem(const std::string& text);

}  // namespace vexlo
