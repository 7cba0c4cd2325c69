// Stands in for std::mutex and std::condition_variable, which MinGW-w64's
// win32 thread model does not provide and GoogleTest needs. Force-included
// into the test code only: the launcher is built with the win32 model because
// the posix one links the winpthread library into every executable.
#pragma once
#if defined(__cplusplus) && defined(__MINGW32__)
#include <bits/c++config.h>
#if !defined(_GLIBCXX_HAS_GTHREADS)
#include "../../src/sys/win.h"

#include <mutex>

namespace std {

class mutex {
 public:
  mutex() = default;
  mutex(const mutex&) = delete;
  mutex& operator=(const mutex&) = delete;
  void lock() { AcquireSRWLockExclusive(&lock_); }
  bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* native_handle() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class condition_variable {
 public:
  condition_variable() = default;
  condition_variable(const condition_variable&) = delete;
  condition_variable& operator=(const condition_variable&) = delete;
  void notify_one() { WakeConditionVariable(&condition_); }
  void notify_all() { WakeAllConditionVariable(&condition_); }
  void wait(unique_lock<mutex>& lock) {
    SleepConditionVariableSRW(&condition_, lock.mutex()->native_handle(), INFINITE, 0);
  }
  template <typename Predicate>
  void wait(unique_lock<mutex>& lock, Predicate ready) {
    while (!ready()) wait(lock);
  }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace std
#endif
#endif
