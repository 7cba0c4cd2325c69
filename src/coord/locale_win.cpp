#include "coord/locale.h"

namespace vexlo {

// Until the language identifier is mapped to locale names, every user gets
// the English texts; override blocks for "en" (or an empty prefix) apply.
std::string LocaleText() { return "en"; }

const std::string& LocaleLanguage() {
  static const std::string language;
  return language;
}

const std::string& LocaleCountry() {
  static const std::string country;
  return country;
}

}  // namespace vexlo
