#include "jvm/packed_jre.h"

#include <cstdint>

namespace vexlo {

std::string PreparationMutexName(const std::string& runtime_directory) {
  // FNV-1a, 64 bits: stable across processes and builds.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : runtime_directory) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  std::string name = "Global\\vexlo-prepare-jre-";
  for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789abcdef"[(hash >> shift) & 0xF];
  return name;
}

}  // namespace vexlo
