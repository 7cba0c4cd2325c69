// The user's locale as the launcher names it ("en", "de_AT"): selects the
// configuration block's override blocks.
#pragma once
#include <string>

namespace vexlo {
std::string LocaleText();
}
