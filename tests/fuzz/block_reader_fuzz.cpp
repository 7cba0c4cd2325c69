// Fuzzes the reading of an executable's image headers and configuration
// block: whatever the bytes, the reader must fail cleanly, never crash,
// overflow or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/block_format.h"
#include "support/memory_source.h"

namespace {
void DiscardLine(const char*, ...) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vexlo::testing_support::MemoryFile;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    MemoryFile file{bytes};
    vexlo::BlockStream stream{file.Source(), DiscardLine};
    uint64_t start = 0;
    vexlo::FindBlockStart(stream, &start);
  }
  for (const char* locale : {"en", "de_AT", ""}) {
    MemoryFile file{bytes};
    vexlo::BlockStream stream{file.Source(), DiscardLine};
    vexlo::ConfigTables tables;
    uint64_t end = 0;
    if (vexlo::ReadBlock(stream, locale, &tables, &end) && end > size) __builtin_trap();
  }
  return 0;
}
