// The included files behind the configuration block: their name list and the
// copy of their masked bytes into files. The stream and the target are
// callbacks, so the copy runs over the executable in the launcher and over
// memory in tests.
//
// Data layout, starting at the block end, for each name of record 2003 in
// order: i64 size, then `size` bytes, each XORed with kIncludedFileMask
// (block_format.h). A size of 0 or less has no bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/block_format.h"

namespace vexlo {

// Bytes per read and write: no file is ever held in memory as a whole.
constexpr uint32_t kCopyBlockSize = 8192;

// Results of CopyDescrambled, which the extraction returns as they are.
constexpr int kCopyDone = 0;
constexpr int kCopyReadFailed = 1;
constexpr int kCopyWriteFailed = 2;

// A byte sink: the target file in the launcher, memory in tests.
struct ByteSink {
  void* context;
  // Writes up to size bytes; false on a failed call. *written receives the
  // bytes written, *system_error the platform's error number on failure.
  bool (*write)(void* context, const void* data, uint32_t size, uint32_t* written,
                uint32_t* system_error);
};

// The names of record 2003: the text cut at every ";". An empty record holds
// no names; an empty piece is an (invalid) empty name, so that the names stay
// in step with the data.
std::vector<std::string> SplitIncludedFileNames(const std::string& record);

// Copies size bytes from the source's current position to the target,
// unmasking them, in blocks of kCopyBlockSize. A write that fails (or writes
// nothing) logs "WriteFile failed %d %d" and gives kCopyWriteFailed; a source
// that ends or fails early logs "ReadFile failed %d %d %I64d" and gives
// kCopyReadFailed.
int CopyDescrambled(const ByteSource& source, const ByteSink& target, int64_t size, LogSink log);

}  // namespace vexlo
