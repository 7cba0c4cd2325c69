// The launcher's C++ runtime hooks (src/sys/lean_runtime_win.cpp) in a
// program of their own, built with the launcher's flags: it does one thing
// with the library's strings, vectors or operator new and prints what it got,
// so a test sees how a failure ends the process. Reaching the end of a
// failing operation prints "returned".
// Usage: lean_runtime_probe.exe <operation>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include <windows.h>

namespace {

int Returned() {
  fputs("returned\n", stdout);
  return 0;
}

// Ordinary use: blocks of every size, zero included, are distinct and usable.
int Allocate() {
  std::vector<void*> blocks;
  for (size_t size : {size_t{0}, size_t{0}, size_t{1}, size_t{100}, size_t{1} << 20}) {
    void* block = ::operator new(size);
    memset(block, 0x5A, size);
    blocks.push_back(block);
  }
  const bool distinct = blocks[0] != blocks[1];
  for (void* block : blocks) ::operator delete(block);
  std::wstring wide(L"wide");
  std::string text = "text " + std::to_string(12345) + " " + std::string(3, 'x');
  text.append(wide.size(), '!');
  printf("%s %s\n", distinct ? "distinct" : "same", text.c_str());
  return 0;
}

// A function-local static with a slow constructor, first used by many
// threads at once: it is constructed once, and no thread sees it unfinished.
struct Slow {
  Slow() {
    constructions.fetch_add(1);
    Sleep(50);
    value = 42;
  }
  static std::atomic<int> constructions;
  int value = 0;
};
std::atomic<int> Slow::constructions{0};

const Slow& SharedSlow() {
  static const Slow slow;
  return slow;
}

std::atomic<int> g_unfinished{0};

DWORD WINAPI UseShared(void*) {
  if (SharedSlow().value != 42) g_unfinished.fetch_add(1);
  return 0;
}

int ConcurrentStatics() {
  HANDLE threads[8];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, UseShared, nullptr, 0, nullptr);
  WaitForMultipleObjects(8, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  printf("constructed %d, unfinished %d\n", Slow::constructions.load(), g_unfinished.load());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string operation = argc > 1 ? argv[1] : "";
  if (operation == "allocate") return Allocate();
  if (operation == "statics") return ConcurrentStatics();
  if (operation == "exhaust") {
    volatile char* block = static_cast<char*>(::operator new(SIZE_MAX / 2));
    block[0] = 1;
    return Returned();
  }
  if (operation == "exhaust-array") {
    volatile char* block = new char[SIZE_MAX / 4];
    block[0] = 1;
    return Returned();
  }
  if (operation == "string-length") {
    std::string text;
    text.reserve(text.max_size() + 1);
    return Returned();
  }
  if (operation == "wide-at") {
    const std::wstring text(L"ab");
    printf("%d\n", static_cast<int>(text.at(5)));
    return Returned();
  }
  if (operation == "vector-length") {
    std::vector<int> values;
    values.reserve(values.max_size() + 1);
    return Returned();
  }
  fputs("unknown operation\n", stderr);
  return 2;
}
