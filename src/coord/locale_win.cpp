#include "coord/locale.h"

#include "coord/locale_table.h"
#include "core/log_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

// Filled on the main thread while the block is read, before any other thread
// exists; only read afterwards.
struct DetectedLocale {
  std::string text = "en";
  std::string language;
  std::string country;
};

DetectedLocale& Detected() {
  static DetectedLocale locale;
  return locale;
}

}  // namespace

std::string DetectLocale() {
  DetectedLocale& locale = Detected();
  locale.text = LocaleTextFor(LANGIDFROMLCID(GetUserDefaultLCID()));
  LogLine("language/country is %s", locale.text.c_str());
  SplitLocale(locale.text, &locale.language, &locale.country);
  return locale.text;
}

std::string LocaleText() { return Detected().text; }
const std::string& LocaleLanguage() { return Detected().language; }
const std::string& LocaleCountry() { return Detected().country; }

}  // namespace vexlo
