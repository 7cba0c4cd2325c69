#include "payload/included_files.h"

namespace vexlo {

// The C runtime's 64-bit conversion: msvcrt's on Windows, where the launcher
// log formats, C99's elsewhere (tests).
#if defined(_WIN32)
#define VEXLO_INT64_FORMAT "%I64d"
#else
#define VEXLO_INT64_FORMAT "%lld"
#endif

std::vector<std::string> SplitIncludedFileNames(const std::string& record) {
  std::vector<std::string> names;
  if (record.empty()) return names;
  size_t start = 0;
  while (true) {
    const size_t end = record.find(';', start);
    names.push_back(record.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return names;
    start = end + 1;
  }
}

int CopyDescrambled(const ByteSource& source, const ByteSink& target, int64_t size, LogSink log) {
  unsigned char buffer[kCopyBlockSize];
  int64_t copied = 0;
  uint32_t got = 0, read_error = 0;
  while (copied < size) {
    const int64_t remaining = size - copied;
    const uint32_t wanted = remaining < kCopyBlockSize ? static_cast<uint32_t>(remaining) : kCopyBlockSize;
    got = 0;
    read_error = 0;
    if (!source.read(source.context, buffer, wanted, &got, &read_error) || got == 0) break;
    for (uint32_t i = 0; i < got; ++i) buffer[i] ^= kIncludedFileMask;
    for (uint32_t done = 0; done < got;) {
      uint32_t written = 0, write_error = 0;
      if (!target.write(target.context, buffer + done, got - done, &written, &write_error) ||
          written == 0) {
        log("WriteFile failed %d %d", static_cast<int>(got - done), static_cast<int>(write_error));
        return kCopyWriteFailed;
      }
      done += written;
    }
    copied += got;
  }
  if (copied >= size) return kCopyDone;
  log("ReadFile failed %d %d " VEXLO_INT64_FORMAT, static_cast<int>(got), static_cast<int>(read_error),
      static_cast<long long>(copied));
  return kCopyReadFailed;
}

}  // namespace vexlo
