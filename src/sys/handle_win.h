// Owners for OS handles: one template, one line per handle kind, each knowing
// its own invalid value and how it is closed. Take ownership on the line where
// the handle is obtained, and read GetLastError() before an owner is reset.
#pragma once
#include "sys/win.h"

namespace vexlo {

template <typename Handle, typename Traits>
class UniqueOsHandle {
 public:
  UniqueOsHandle() = default;
  explicit UniqueOsHandle(Handle handle) : handle_(handle) {}
  UniqueOsHandle(const UniqueOsHandle&) = delete;
  UniqueOsHandle& operator=(const UniqueOsHandle&) = delete;
  UniqueOsHandle(UniqueOsHandle&& other) noexcept : handle_(other.release()) {}
  UniqueOsHandle& operator=(UniqueOsHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueOsHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  Handle release() {
    Handle handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }
  void reset(Handle handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }
  // For out-parameters: closes the current handle and exposes the slot.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // processes, threads, pipes, events
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile reports failure as INVALID_HANDLE_VALUE
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct RegistryKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct ServiceHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};
struct LocalMemoryTraits {  // what the system allocates for the caller (security descriptors, ACLs, texts)
  static HLOCAL Invalid() { return nullptr; }
  static void Close(HLOCAL h) { LocalFree(h); }
};

using UniqueHandle = UniqueOsHandle<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueOsHandle<HANDLE, FileHandleTraits>;
using UniqueFind = UniqueOsHandle<HANDLE, FindHandleTraits>;
using UniqueKey = UniqueOsHandle<HKEY, RegistryKeyTraits>;
using UniqueService = UniqueOsHandle<SC_HANDLE, ServiceHandleTraits>;
using UniqueLocal = UniqueOsHandle<HLOCAL, LocalMemoryTraits>;

}  // namespace vexlo
