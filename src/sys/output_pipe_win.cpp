#include "sys/output_pipe_win.h"

#include <stdio.h>

#include "sys/wide.h"

namespace vexlo {
namespace {

// Each read is a system call, and under Wine a server round trip: large
// reads, and a pipe buffer that holds several of them, let a chatty child
// write on while the reader writes its log.
constexpr DWORD kReadBytes = 256 * 1024;
constexpr DWORD kPipeBytes = 1024 * 1024;
// Another process may hold a name first (FILE_FLAG_FIRST_PIPE_INSTANCE then
// refuses it) or connect to the new pipe before the launcher does.
constexpr int kNameAttempts = 8;

// "\\.\pipe\vexlo-output-<process id>-<number>-<tick count>".
WideString PipeName(LONG number) {
  wchar_t name[96];
  _snwprintf(name, sizeof(name) / sizeof(name[0]), L"\\\\.\\pipe\\vexlo-output-%lu-%ld-%I64u",
             GetCurrentProcessId(), number, GetTickCount64());
  name[sizeof(name) / sizeof(name[0]) - 1] = L'\0';
  return name;
}

}  // namespace

bool CreateOutputPipe(OutputPipe* pipe, UniqueFile* write_end, DWORD* error) {
  static LONG counter = 0;
  // Signalled from the start: the first read is issued on the first wake.
  pipe->ready.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  if (!pipe->ready) {
    *error = GetLastError();
    return false;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const WideString name = PipeName(InterlockedIncrement(&counter));
    pipe->server.reset(CreateNamedPipeW(name.c_str(),
                                        PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                        1, 0, kPipeBytes, 0, nullptr));
    if (!pipe->server) {
      *error = GetLastError();
      if (*error == ERROR_ACCESS_DENIED || *error == ERROR_PIPE_BUSY) continue;
      return false;
    }
    // The rights an anonymous pipe's write end has.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    write_end->reset(CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &inherit, OPEN_EXISTING, 0,
                                 nullptr));
    if (*write_end) return true;
    *error = GetLastError();
    pipe->server.reset();
    if (*error != ERROR_PIPE_BUSY) return false;
  }
  return false;
}

bool ReadAvailableOutput(OutputPipe& pipe, OutputSink sink, int max_reads) {
  if (pipe.ended) return false;
  if (!pipe.buffer) pipe.buffer.reset(new char[kReadBytes]);
  DWORD got = 0;
  if (pipe.pending) {
    if (!GetOverlappedResult(pipe.server.get(), &pipe.overlapped, &got, FALSE)) {
      if (GetLastError() == ERROR_IO_INCOMPLETE) return true;
      pipe.pending = false;
      pipe.ended = true;
      return false;
    }
    pipe.pending = false;
    sink(pipe.buffer.get(), got);
  }
  for (int reads = 0; reads < max_reads; ++reads) {
    // ReadFile resets the event (under Wine too): a ResetEvent here would
    // cost a second server round trip per read.
    pipe.overlapped = OVERLAPPED();
    pipe.overlapped.hEvent = pipe.ready.get();
    if (!ReadFile(pipe.server.get(), pipe.buffer.get(), kReadBytes, nullptr, &pipe.overlapped)) {
      // ERROR_BROKEN_PIPE once every writer is gone; any other failure ends
      // the output too, as no read would succeed after it.
      pipe.pending = GetLastError() == ERROR_IO_PENDING;
      pipe.ended = !pipe.pending;
      return pipe.pending;
    }
    // Done at once: the count comes from the overlapped result.
    if (GetOverlappedResult(pipe.server.get(), &pipe.overlapped, &got, FALSE)) sink(pipe.buffer.get(), got);
  }
  SetEvent(pipe.ready.get());
  return true;
}

}  // namespace vexlo
