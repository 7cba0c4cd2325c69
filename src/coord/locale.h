// The user's locale as the launcher names it ("en", "de_AT"): selects the
// configuration block's override blocks and reaches the JVM as language and
// country.
#pragma once
#include <string>

namespace vexlo {

// Maps the user's default language identifier to the locale text, logs
// "language/country is %s", keeps language and country and returns the text.
// Called once, while the configuration block is read, between its default
// records and its override blocks (the entry hands it to the block reader).
std::string DetectLocale();

// "en" until the locale is detected.
std::string LocaleText();

// Language and country codes of the detected locale; empty when there is
// none (no detection yet, or a locale without a country).
const std::string& LocaleLanguage();
const std::string& LocaleCountry();

}  // namespace vexlo
