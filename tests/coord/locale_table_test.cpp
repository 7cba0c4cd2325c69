#include "coord/locale_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace vexlo {
namespace {

struct Lookup {
  uint16_t identifier;
  const char* locale;
};

// Every row that breaks the pattern of its neighbours, exactly as listed.
TEST(LocaleTextFor, RowsThatBreakThePattern) {
  const Lookup kOddRows[] = {
      {0x000D, "iw"},    {0x040D, "iw_IL"}, {0x0021, "in"},       {0x0421, "in_ID"},
      {0x001A, "sr"},    {0x041A, "hr_HR"}, {0x0812, "ko_KR"},    {0x0814, "no_NO_NY"},
      {0x040A, "es_ES"}, {0x0C0A, "es_ES"}, {0x081A, "sr_CS"},    {0x0C1A, "sr_CS"},
      {0x042C, "az_AZ"}, {0x082C, "az_AZ"}, {0x0443, "uz_UZ"},    {0x0843, "uz_UZ"},
      {0x003C, "gd"},    {0x043C, "gd_GB"}, {0x083C, "ga_IE"},    {0x0431, "ts"},
      {0x0434, "xh"},    {0x0435, "zu"},    {0x043D, "yi"},       {0x0444, "tt"},
      {0x0409, "en_US"}, {0x2409, "en"},    {0x0404, "zh_TW"},    {0x0804, "zh_CN"},
  };
  for (const Lookup& row : kOddRows) {
    EXPECT_STREQ(LocaleTextFor(row.identifier), row.locale) << std::hex << row.identifier;
  }
}

// An identifier without a row of its own falls back to its primary language
// (the low 10 bits), and to "en" when that has no row either.
TEST(LocaleTextFor, PrimaryLanguageFallback) {
  const Lookup kFallbacks[] = {
      {0x0407, "de_DE"}, {0x0C07, "de_AT"}, {0x1807, "de"}, {0x0827, "lt"}, {0x0C27, "lt"},
      {0x7C04, "zh"},    {0x0442, "en"},    {0x0428, "en"}, {0x0400, "en"}, {0x0000, "en"},
      {0xFFFF, "en"},    {0x0001, "ar"},    {0x0056, "gl"}, {0x0456, "gl_ES"}, {0x5009, "en"},
      {0x540A, "es"},    {0x3809, "en"},    {0x500A, "es_PR"}, {0x0307, "en"},
  };
  for (const Lookup& row : kFallbacks) {
    EXPECT_STREQ(LocaleTextFor(row.identifier), row.locale) << std::hex << row.identifier;
  }
}

// Structure of the whole table: 215 rows in ascending order, each text a
// language or language_COUNTRY, and each full row under the language of its
// primary row (apart from the two rows listed above that differ).
TEST(LocaleTable, ShapeOfEveryRow) {
  size_t count = 0;
  const LocaleRow* rows = LocaleTable(&count);
  ASSERT_EQ(count, 215u);
  std::set<uint16_t> primaries;
  for (size_t i = 0; i < count; ++i) {
    const LocaleRow& row = rows[i];
    if (i > 0) EXPECT_LT(rows[i - 1].identifier, row.identifier) << i;
    const std::string text = row.text;
    const bool lower_pair = text.size() >= 2 && islower(text[0]) && islower(text[1]);
    EXPECT_TRUE(lower_pair) << text;
    if (row.identifier < 0x100) {
      EXPECT_EQ(text.size(), 2u) << text;
      primaries.insert(row.identifier);
      continue;
    }
    if (text.size() != 2 && text != "no_NO_NY") {
      ASSERT_EQ(text.size(), 5u) << text;
      EXPECT_EQ(text[2], '_') << text;
      EXPECT_TRUE(isupper(text[3]) && isupper(text[4])) << text;
    }
    const uint16_t primary = row.identifier & 0x3FF;
    ASSERT_TRUE(primaries.count(primary)) << std::hex << row.identifier;
    if (row.identifier == 0x041A || row.identifier == 0x083C) continue;
    EXPECT_EQ(text.substr(0, 2), std::string(LocaleTextFor(primary))) << std::hex << row.identifier;
  }
  EXPECT_EQ(primaries.size(), 71u);
}

TEST(SplitLocale, LanguageAlwaysCountryOnlyForFiveCharacters) {
  struct Case {
    const char* locale;
    const char* language;
    const char* country;
  };
  const Case kCases[] = {
      {"de_DE", "de", "DE"}, {"lt", "lt", ""},     {"no_NO_NY", "no", ""},
      {"iw_IL", "iw", "IL"}, {"en", "en", ""},     {"", "", ""},
  };
  for (const Case& c : kCases) {
    std::string language = "stale", country = "stale";
    SplitLocale(c.locale, &language, &country);
    EXPECT_EQ(language, c.language) << c.locale;
    EXPECT_EQ(country, c.country) << c.locale;
  }
}

}  // namespace
}  // namespace vexlo
