// Conversions between the UTF-8 of configuration files and what the block
// stores: text records in the Windows-1252 code page (the ANSI code page the
// launcher reads them with on Western systems and under Wine), wide records
// in UTF-16.
#pragma once
#include <cstdint>
#include <string>

#include "sys/wide.h"

namespace vexlo {
namespace builder {

// False when a character has no Windows-1252 byte; *unmappable then holds
// its code point.
bool Utf8ToAnsi(const std::string& utf8, std::string* ansi, uint32_t* unmappable);

// Every byte has a character (the five bytes that Windows-1252 leaves
// undefined map to the C1 control characters of the same value), so texts of
// any origin print and convert back unchanged.
std::string AnsiToUtf8(const std::string& ansi);

// UTF-8 to UTF-16; false on malformed UTF-8.
bool Utf8ToWide(const std::string& utf8, WideString* wide);

// UTF-16 to UTF-8; false on an unpaired surrogate, which no UTF-8 text (and
// so no configuration file) can hold.
bool WideToUtf8(const WideString& wide, std::string* utf8);

// "U+20AC" style name of a code point, for messages.
std::string CodePointName(uint32_t code_point);

}  // namespace builder
}  // namespace vexlo
