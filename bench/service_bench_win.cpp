// The service role against a bare MinGW service, both under the real service
// control manager in the same run, rounds interleaved, medians printed:
//   - StartService until running (goal: at most 1.2x the bare service),
//   - the stop control until stopped, the launcher's child ending on the stop
//     line (goal: at most 40 ms),
//   - the service process's peak working set from its start to its stop
//     (goal: at most 1.1x the bare service: no USER32 and no console in the
//     service process, and no thread of its own for the output drain: under
//     Wine every thread keeps about 1 MB resident whatever its stack
//     reservation, about 0.09x),
//   - the output drain, the service main's loop over its overlapped pipe
//     writing every line into the service log, against a thread that reads
//     an anonymous pipe and discards (goal: at least 0.9x).
// The launcher's child runs against the recording jvm.dll double, whose main
// waits for the stop line.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_support_win.h"
#include "core/block_writer.h"
#include "core/record_ids.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"
#include "sys/win.h"
#define PSAPI_VERSION 2
#include <psapi.h>
#include "service/service_log_win.h"
#include "service/service_main_win.h"
#include "support/process_win.h"

using namespace vexlo;
using namespace vexlo::testing_support;
using vexlo::bench::CopyOrDie;
using vexlo::bench::Median;
using vexlo::bench::NowMs;

namespace {

constexpr int kRounds = 15;

DWORD State(SC_HANDLE service, DWORD* process_id = nullptr) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                            &needed)) {
    return 0;
  }
  if (process_id != nullptr) *process_id = status.dwProcessId;
  return status.dwCurrentState;
}

bool WaitForState(SC_HANDLE service, DWORD state) {
  for (int polls = 0; polls < 60000; ++polls) {
    if (State(service) == state) return true;
    Sleep(1);
  }
  return false;
}

struct Service {
  std::string name;
  std::string binary;
  std::string ready_record;  // the launcher: the double's record, which shows main running
  UniqueService handle;
  std::vector<double> start_ms, stop_ms, peak_mb;
};

bool Install(SC_HANDLE manager, Service& service) {
  UniqueService old(OpenServiceA(manager, service.name.c_str(), SERVICE_ALL_ACCESS));
  if (old) DeleteService(old.get());
  old.reset();
  const std::string path = "\"" + service.binary + "\"";
  service.handle.reset(CreateServiceA(manager, service.name.c_str(), service.name.c_str(), SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                      path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service.handle);
}

// The peak working set so far in megabytes; 0 when the system cannot tell.
double PeakMb(HANDLE process) {
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  if (process == nullptr || !GetProcessMemoryInfo(process, &memory, sizeof(memory))) return 0;
  return static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

bool Round(Service& service) {
  DeleteFileA(service.ready_record.c_str());
  const double started = NowMs();
  if (!StartServiceA(service.handle.get(), 0, nullptr) || !WaitForState(service.handle.get(), SERVICE_RUNNING)) {
    return false;
  }
  service.start_ms.push_back(NowMs() - started);
  if (!service.ready_record.empty()) {
    for (int polls = 0; polls < 30000 && ReadWholeFile(service.ready_record).find("call main") == std::string::npos;
         ++polls) {
      Sleep(1);
    }
  }
  DWORD process_id = 0;
  State(service.handle.get(), &process_id);
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, process_id));
  double peak = PeakMb(process.get());
  SERVICE_STATUS status;
  const double stopping = NowMs();
  if (!ControlService(service.handle.get(), SERVICE_CONTROL_STOP, &status) ||
      !WaitForState(service.handle.get(), SERVICE_STOPPED)) {
    return false;
  }
  service.stop_ms.push_back(NowMs() - stopping);
  // The peak over the whole life, its stop included, where the process is
  // still there to ask (Wine answers nothing for an ended one).
  peak = std::max(peak, PeakMb(process.get()));
  if (peak > 0) service.peak_mb.push_back(peak);
  if (process) WaitForSingleObject(process.get(), 30000);
  return true;
}

struct Writer {
  HANDLE pipe;
  size_t bytes;
};

// Writes lines of 100 bytes, as a chatty application would.
DWORD WINAPI WriteAll(void* parameter) {
  Writer* writer = static_cast<Writer*>(parameter);
  std::string block;
  while (block.size() < 65536) block += std::string(99, 'x') + "\n";
  for (size_t left = writer->bytes; left > 0;) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(left < block.size() ? left : block.size());
    if (!WriteFile(writer->pipe, block.data(), chunk, &written, nullptr)) break;
    left -= written;
  }
  CloseHandle(writer->pipe);
  return 0;
}

DWORD WINAPI RawReader(void* parameter) {
  UniqueHandle pipe(static_cast<HANDLE>(parameter));
  static char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
  }
  return 0;
}

// Megabytes per second through an anonymous pipe, drained by a thread that
// reads and discards.
double RawThroughput(size_t bytes) {
  HANDLE read = nullptr, write = nullptr;
  CreatePipe(&read, &write, nullptr, 0);
  Writer writer = {write, bytes};
  const double started = NowMs();
  UniqueHandle reading(CreateThread(nullptr, 0, RawReader, read, 0, nullptr));
  UniqueHandle writing(CreateThread(nullptr, 0, WriteAll, &writer, 0, nullptr));
  WaitForSingleObject(writing.get(), INFINITE);
  WaitForSingleObject(reading.get(), INFINITE);
  return static_cast<double>(bytes) / (1024.0 * 1024.0) / ((NowMs() - started) / 1000.0);
}

// The same through the service's own output pipe, drained by the service
// main's loop into the service log (at its default limit, so it moves on to
// a new file every 10 MB), with a writer thread standing in for the child.
double DrainThroughput(size_t bytes, const std::string& log) {
  StartServiceLogAt(NarrowToWide(log, CP_ACP), uint64_t{10} << 20);
  OutputPipe output;
  UniqueFile write;
  DWORD error = 0;
  if (!CreateOutputPipe(&output, &write, &error)) return 0;
  Writer writer = {write.release(), bytes};
  const double started = NowMs();
  ChildProcess child;
  child.process.reset(CreateThread(nullptr, 0, WriteAll, &writer, 0, nullptr));
  SuperviseChild(child, nullptr, output);
  FlushServiceLog();
  return static_cast<double>(bytes) / (1024.0 * 1024.0) / ((NowMs() - started) / 1000.0);
}

}  // namespace

int main() {
  const std::string work = VEXLO_BENCH_WORK;
  RemoveTree(work);
  CreateDirectories(work + "\\jre\\bin\\server");
  CopyOrDie(VEXLO_JAVA_DOUBLE, work + "\\jre\\bin\\java.exe");
  CopyOrDie(VEXLO_JVM_DOUBLE, work + "\\jre\\bin\\server\\jvm.dll");
  WriteWholeFile(work + "\\jre\\bin\\server\\jvm-double.txt", "main-stdin=1\n");
  BlockContents contents;
  contents.texts = {{record::kServiceName, "vexlo-bench"}, {record::kModeLetter, ""},
                    {record::kSearchSequence, "A" + work + "\\jre"}, {record::kMainClass, "bench.Main"}};
  std::string launcher, error;
  if (!BuildLauncher(ReadWholeFile(VEXLO_STUB), contents, {}, &launcher, &error) ||
      !WriteWholeFile(work + "\\vexlo-bench.exe", launcher)) {
    fprintf(stderr, "cannot write the launcher: %s\n", error.c_str());
    return 1;
  }

  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  Service bare{"vexlo-bench-bare", VEXLO_BARE_SERVICE, ""};
  Service vexlo{"vexlo-bench", work + "\\vexlo-bench.exe", work + "\\jre\\bin\\server\\jvm-double.record"};
  if (!Install(manager.get(), bare) || !Install(manager.get(), vexlo)) {
    fprintf(stderr, "cannot install the services (%lu)\n", GetLastError());
    return 1;
  }
  // One round each first: the version cache and the file cache are warm after it.
  bool ok = Round(bare) && Round(vexlo);
  bare.start_ms.clear(), bare.stop_ms.clear(), bare.peak_mb.clear();
  vexlo.start_ms.clear(), vexlo.stop_ms.clear(), vexlo.peak_mb.clear();
  for (int round = 0; ok && round < kRounds; ++round) ok = Round(bare) && Round(vexlo);
  DeleteService(bare.handle.get());
  DeleteService(vexlo.handle.get());
  if (!ok) {
    fprintf(stderr, "a round failed\n");
    return 1;
  }

  const double bare_start = Median(bare.start_ms), start = Median(vexlo.start_ms);
  const double bare_stop = Median(bare.stop_ms), stop = Median(vexlo.stop_ms);
  const double bare_peak = Median(bare.peak_mb), peak = Median(vexlo.peak_mb);
  printf("service (median of %d rounds, against a bare MinGW service in the same run)\n", kRounds);
  printf("  StartService to running: %.1f ms = %.2f x bare (%.1f ms); goal <= 1.2 x\n", start, start / bare_start,
         bare_start);
  printf("  stop control to stopped, child ending on the stop line: %.1f ms (bare service %.1f ms); goal <= 40 ms\n",
         stop, bare_stop);
  printf("  service process peak working set, start to stop: %.2f MB = %.3f x bare (%.2f MB); goal <= 1.1 x\n",
         peak, peak / bare_peak, bare_peak);
  const size_t bytes = 256u << 20;
  std::vector<double> raw, drain;
  for (int round = 0; round < 5; ++round) {
    raw.push_back(RawThroughput(bytes));
    drain.push_back(DrainThroughput(bytes, work + "\\drain.log"));
  }
  printf("  output drain into the service log: %.0f MB/s = %.2f x a raw 64 KB pipe reader (%.0f MB/s); goal >= 0.9 x\n",
         Median(drain),
         Median(drain) / Median(raw), Median(raw));
  RemoveTree(work);
  return 0;
}
