// Windows XP for programs built by GCC 13 and later (Debian 13's MinGW-w64).
// Their runtime's win32 threads import functions of Windows Vista
// (GetThreadId and the condition variables), and XP's loader refuses a
// program that imports what its kernel32 lacks. Here the import slots of
// those functions are the program's own: each calls the system's function
// where it exists, looked up at run time, and otherwise does what XP can.
// The program runs one thread, so the stand-ins are never raced; they keep
// the documented meaning all the same. Older compilers' runtimes name none
// of these, and then nothing here is linked.
#include <windows.h>

#include "base/dyn_calls_win.h"

#ifdef __MINGW32__
namespace varnello::base {
namespace {

DWORD WINAPI ThreadId(HANDLE thread) {
  if (auto real = Dyn().GetThreadId.get()) return real(thread);
  if (thread == GetCurrentThread()) return GetCurrentThreadId();
  // XP: the thread's basic information through ntdll.
  struct BasicInformation {
    LONG exit_status;
    void* teb;
    struct {
      HANDLE process, thread;
    } client_id;
    ULONG_PTR affinity;
    LONG priority, base_priority;
  } info{};
  auto query = Dyn().NtQueryInformationThread.get();
  if (!query || query(thread, 0 /* ThreadBasicInformation */, &info, sizeof info, nullptr) < 0) return 0;
  return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(info.client_id.thread));
}

// Without the system's condition variables a wait is a wake-up that came
// too soon, which every waiter must expect and checks its condition
// against; a wake, then, has nothing to do.
void WINAPI InitializeCondition(PCONDITION_VARIABLE condition) {
  if (auto real = Dyn().InitializeConditionVariable.get()) return real(condition);
  condition->Ptr = nullptr;
}

BOOL WINAPI SleepOnCondition(PCONDITION_VARIABLE condition, PCRITICAL_SECTION section, DWORD milliseconds) {
  if (auto real = Dyn().SleepConditionVariableCS.get()) return real(condition, section, milliseconds);
  LeaveCriticalSection(section);
  Sleep(milliseconds == 0 ? 0 : 1);
  EnterCriticalSection(section);
  if (milliseconds == 0) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  return TRUE;
}

void WINAPI WakeCondition(PCONDITION_VARIABLE condition) {
  if (auto real = Dyn().WakeConditionVariable.get()) real(condition);
}

void WINAPI WakeAllOnCondition(PCONDITION_VARIABLE condition) {
  if (auto real = Dyn().WakeAllConditionVariable.get()) real(condition);
}

}  // namespace
}  // namespace varnello::base

// The import slots, under the names the linker gives them: decorated with
// the arguments' size on 32-bit x86.
#ifdef _WIN64
#define VARNELLO_IMPORT_SLOT(name, bytes) __asm__("__imp_" #name)
#else
#define VARNELLO_IMPORT_SLOT(name, bytes) __asm__("__imp__" #name "@" #bytes)
#endif

// Constant-initialised, so that they hold their function before any code
// runs.
extern "C" {
extern decltype(&varnello::base::ThreadId) const varnello_GetThreadId VARNELLO_IMPORT_SLOT(GetThreadId, 4);
extern decltype(&varnello::base::InitializeCondition) const varnello_InitializeConditionVariable
    VARNELLO_IMPORT_SLOT(InitializeConditionVariable, 4);
extern decltype(&varnello::base::SleepOnCondition) const varnello_SleepConditionVariableCS
    VARNELLO_IMPORT_SLOT(SleepConditionVariableCS, 12);
extern decltype(&varnello::base::WakeCondition) const varnello_WakeConditionVariable
    VARNELLO_IMPORT_SLOT(WakeConditionVariable, 4);
extern decltype(&varnello::base::WakeAllOnCondition) const varnello_WakeAllConditionVariable
    VARNELLO_IMPORT_SLOT(WakeAllConditionVariable, 4);

decltype(&varnello::base::ThreadId) const varnello_GetThreadId = &varnello::base::ThreadId;
decltype(&varnello::base::InitializeCondition) const varnello_InitializeConditionVariable =
    &varnello::base::InitializeCondition;
decltype(&varnello::base::SleepOnCondition) const varnello_SleepConditionVariableCS =
    &varnello::base::SleepOnCondition;
decltype(&varnello::base::WakeCondition) const varnello_WakeConditionVariable =
    &varnello::base::WakeCondition;
decltype(&varnello::base::WakeAllOnCondition) const varnello_WakeAllConditionVariable =
    &varnello::base::WakeAllOnCondition;
}
#endif
