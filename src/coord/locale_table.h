// The user's Windows language identifier turned into the locale text Java
// uses ("de_DE", "en", "no_NO_NY") and split into language and country.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexlo {

struct LocaleRow {
  uint16_t identifier;  // below 0x100: a primary language alone
  char text[9];         // held in the row: no pointer (and no relocation) per row
};

// The fixed table, in ascending identifier order. Some rows differ from what
// their neighbours suggest ("iw", "in", 0x041A hr_HR, 0x2409 "en"); they are
// kept exactly, because override blocks already name these texts.
const LocaleRow* LocaleTable(size_t* row_count);

// The row for the identifier; otherwise the row of its primary language
// (identifier & 0x3FF); otherwise "en".
const char* LocaleTextFor(uint16_t identifier);

// Language: the first two characters. Country: characters 4 and 5, only when
// the text is exactly 5 characters long ("no_NO_NY" has none).
void SplitLocale(const std::string& locale, std::string* language, std::string* country);

}  // namespace vexlo
