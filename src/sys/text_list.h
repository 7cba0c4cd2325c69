// Lists stored as one text with a separator (";" for paths and class path
// entries, "," for service dependencies).
#pragma once
#include <string>
#include <vector>

namespace vexlo {

// The non-empty parts of a separated list, in order: doubled, leading and
// trailing separators give no empty parts.
std::vector<std::string> SplitList(const std::string& text, char separator);

}  // namespace vexlo
