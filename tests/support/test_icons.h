// Icon files made by the tests themselves: bitmaps of a given size (32 bits
// per pixel, with the AND mask) and stand-ins for PNG images, laid out in an
// .ico file the way icon editors write them. No gtest: the fuzzers use it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexlo {
namespace testing_support {

inline void AppendTestLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 32-bit DIB as icons hold it: BITMAPINFOHEADER with the height doubled,
// BGRA pixels of one colour, then the AND mask.
inline std::string TestBitmap(uint32_t size, uint8_t shade) {
  std::string dib;
  for (uint32_t value : {40u, size, size * 2}) AppendTestLe(dib, value, 4);
  AppendTestLe(dib, 1, 2);   // planes
  AppendTestLe(dib, 32, 2);  // bits per pixel
  dib.append(24, '\0');
  for (uint32_t i = 0; i < size * size; ++i) dib += std::string{static_cast<char>(shade), '\x40', '\x20', '\xFF'};
  dib.append((size + 31) / 32 * 4 * size, '\0');
  return dib;
}

// The PNG signature and some bytes: icon files carry such images unchanged.
inline std::string TestPng() { return std::string("\x89PNG\r\n\x1a\n", 8) + "IHDR and the rest of a PNG"; }

// An .ico file: directory, entries (width, image), then the images in order.
inline std::string TestIconFile(const std::vector<std::pair<uint8_t, std::string>>& images, uint16_t type = 1) {
  std::string out;
  AppendTestLe(out, 0, 2);
  AppendTestLe(out, type, 2);
  AppendTestLe(out, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const auto& image : images) {
    out += std::string{static_cast<char>(image.first), static_cast<char>(image.first), '\0', '\0', 1, 0, 32, 0};
    AppendTestLe(out, static_cast<uint32_t>(image.second.size()), 4);
    AppendTestLe(out, offset, 4);
    offset += static_cast<uint32_t>(image.second.size());
  }
  for (const auto& image : images) out += image.second;
  return out;
}

}  // namespace testing_support
}  // namespace vexlo
