// Little-endian integers in byte strings, for the writers and readers of
// Windows file structures (image headers, resources, icon files). Readers
// take offsets the caller has checked against the size.
#pragma once
#include <cstdint>
#include <string>

namespace vexlo {

inline uint32_t LoadLe(const std::string& bytes, uint64_t offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}
inline uint16_t Le16(const std::string& bytes, uint64_t offset) {
  return static_cast<uint16_t>(LoadLe(bytes, offset, 2));
}
inline uint32_t Le32(const std::string& bytes, uint64_t offset) { return LoadLe(bytes, offset, 4); }

inline void StoreLe(std::string& bytes, uint64_t offset, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
inline void AppendLe(std::string& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
inline bool Within(uint64_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

inline uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace vexlo
