// A child's output read without a thread of its own: the read end is an
// overlapped named pipe, so the reading thread waits for output in the same
// wait as for everything else (the child's end, a stop, a timer). Under Wine
// every thread costs about 1 MB resident, whatever its stack.
#pragma once
#include <memory>

#include "sys/handle_win.h"

namespace vexlo {

struct OutputPipe {
  UniqueFile server;   // the read end, non-inheritable
  UniqueHandle ready;  // signalled at first and when a waiting read has completed
  OVERLAPPED overlapped = {};
  // Left uninitialised: only the pages output reaches become resident.
  std::unique_ptr<char[]> buffer;
  bool pending = false;  // a read is under way; `ready` signals its end
  bool ended = false;    // every writer has closed its end
};

// Creates the pipe under a name of its own (never an instance someone else
// created first, never for remote clients) and opens its write end, which is
// inheritable: the child's standard output and error. False with *error set
// when the system refuses.
bool CreateOutputPipe(OutputPipe* pipe, UniqueFile* write_end, DWORD* error);

// Hands what the pipe holds to `sink`, block by block, until a read has to
// wait (then `ready` signals when it may go on), the pipe has ended, or
// `max_reads` blocks have been read (then `ready` is left signalled, so a
// wait returns at once). Call it again whenever `ready` is signalled.
// Returns false once the pipe has ended.
using OutputSink = void (*)(const char* data, size_t size);
bool ReadAvailableOutput(OutputPipe& pipe, OutputSink sink, int max_reads);

}  // namespace vexlo
