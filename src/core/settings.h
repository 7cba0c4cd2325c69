// The rules of the launcher's own settings (records 30000 to 30999, see
// record_ids.h), shared by the launcher, which reads them, and the builder,
// which checks them.
#pragma once
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

}  // namespace vexlo
