#include "coord/locale.h"

namespace vexlo {

// Until the language identifier is mapped to locale names, every user gets
// the English texts; override blocks for "en" (or an empty prefix) apply.
std::string LocaleText() { return "en"; }

}  // namespace vexlo
