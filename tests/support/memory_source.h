// A ByteSource over bytes in memory, standing in for the executable file in
// tests of the block reader. It can also fail reads on demand.
#pragma once
#include <cstring>
#include <string>

#include "core/block_format.h"

namespace vexlo {
namespace testing_support {

struct MemoryFile {
  std::string bytes;
  uint64_t position = 0;
  uint32_t fail_with_error = 0;  // non-zero: every read fails with this error

  ByteSource Source() { return ByteSource{this, &Seek, &Read, &Position}; }

  static bool Seek(void* context, uint64_t offset) {
    static_cast<MemoryFile*>(context)->position = offset;
    return true;
  }
  static bool Read(void* context, void* buffer, uint32_t size, uint32_t* got, uint32_t* system_error) {
    auto* file = static_cast<MemoryFile*>(context);
    *got = 0;
    if (file->fail_with_error != 0) {
      *system_error = file->fail_with_error;
      return false;
    }
    *system_error = 0;
    if (file->position >= file->bytes.size()) return true;  // end of file: zero bytes
    const uint64_t available = file->bytes.size() - file->position;
    // Hand out at most 3 bytes per call so that callers must loop.
    uint32_t count = size < available ? size : static_cast<uint32_t>(available);
    if (count > 3) count = 3;
    std::memcpy(buffer, file->bytes.data() + file->position, count);
    file->position += count;
    *got = count;
    return true;
  }
  static uint64_t Position(void* context) { return static_cast<MemoryFile*>(context)->position; }
};

}  // namespace testing_support
}  // namespace vexlo
