#include "tests/support/std_mutex_win.h"

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

namespace std {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

void mutex::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&lock_)); }
bool mutex::try_lock() { return TryAcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&lock_)) != 0; }
void mutex::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&lock_)); }

void condition_variable::notify_one() noexcept {
  WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&condition_));
}
void condition_variable::notify_all() noexcept {
  WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&condition_));
}
void condition_variable::wait(unique_lock<mutex>& held) {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&condition_),
                            reinterpret_cast<PSRWLOCK>(held.mutex()->native_handle()), INFINITE, 0);
}

}  // namespace std
#endif
