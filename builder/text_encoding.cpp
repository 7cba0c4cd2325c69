#include "text_encoding.h"

#include <cstdio>

namespace vexlo {
namespace builder {
namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the code page equals
// Latin-1. Undefined bytes keep their own value as a C1 control character.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[*i]; false when malformed.
bool NextCodePoint(const std::string& text, size_t* i, uint32_t* code_point) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(*i);
  size_t length = 0;
  uint32_t value = 0;
  if (lead < 0x80) {
    length = 1;
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return false;
  }
  if (*i + length > text.size()) return false;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(*i + k) & 0xC0) != 0x80) return false;
    value = (value << 6) | (byte(*i + k) & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  *i += length;
  *code_point = value;
  return true;
}

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi, uint32_t* unmappable) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    if (!NextCodePoint(utf8, &i, &c)) {
      *unmappable = static_cast<unsigned char>(utf8[i]);
      return false;
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    int byte = -1;
    for (int k = 0; k < 32; ++k) {
      if (kHighControls[k] == c) byte = 0x80 + k;
    }
    if (byte < 0) {
      *unmappable = c;
      return false;
    }
    out.push_back(static_cast<char>(byte));
  }
  ansi->swap(out);
  return true;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  for (char ch : ansi) {
    const unsigned char c = static_cast<unsigned char>(ch);
    AppendUtf8(c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c, &out);
  }
  return out;
}

bool Utf8ToWide(const std::string& utf8, WideString* wide) {
  WideString out;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    if (!NextCodePoint(utf8, &i, &c)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<WideChar>(0xD800 + (c >> 10)));
      out.push_back(static_cast<WideChar>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<WideChar>(c));
    }
  }
  wide->swap(out);
  return true;
}

bool WideToUtf8(const WideString& wide, std::string* utf8) {
  std::string out;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = static_cast<uint16_t>(wide[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
      const uint32_t low = static_cast<uint16_t>(wide[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    AppendUtf8(c, &out);
  }
  utf8->swap(out);
  return true;
}

std::string CodePointName(uint32_t code_point) {
  char text[16];
  std::snprintf(text, sizeof(text), "U+%04X", static_cast<unsigned>(code_point));
  return text;
}

}  // namespace builder
}  // namespace vexlo
