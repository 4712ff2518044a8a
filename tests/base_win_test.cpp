// What the compiler's runtime gets on Windows XP, played under Wine by
// emptying the table entries of the functions XP lacks.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/dyn_calls_win.h"

namespace varnello {
namespace {

class OnXp : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& dyn = base::Dyn();
    dyn.GetThreadId.Set(nullptr);
    dyn.InitializeConditionVariable.Set(nullptr);
    dyn.SleepConditionVariableCS.Set(nullptr);
    dyn.WakeConditionVariable.Set(nullptr);
    dyn.WakeAllConditionVariable.Set(nullptr);
  }
  void TearDown() override {
    auto& dyn = base::Dyn();
    dyn.GetThreadId.Reset();
    dyn.InitializeConditionVariable.Reset();
    dyn.SleepConditionVariableCS.Reset();
    dyn.WakeConditionVariable.Reset();
    dyn.WakeAllConditionVariable.Reset();
  }
};

DWORD WINAPI WaitFor(void* event) {
  WaitForSingleObject(event, INFINITE);
  return 0;
}

TEST_F(OnXp, AThreadsIdFromItsHandle) {
  EXPECT_EQ(GetThreadId(GetCurrentThread()), GetCurrentThreadId());
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE other = CreateThread(nullptr, 0, WaitFor, go, 0, &id);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(GetThreadId(other), id);
  SetEvent(go);
  WaitForSingleObject(other, INFINITE);
  CloseHandle(other);
  CloseHandle(go);
}

// A wait returns as a wake-up come early, the section held again; a wait
// of no time at all times out.
TEST_F(OnXp, AConditionWaitIsAnEarlyWakeUp) {
  CONDITION_VARIABLE condition;
  InitializeConditionVariable(&condition);
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(SleepConditionVariableCS(&condition, &section, INFINITE));
  EXPECT_TRUE(TryEnterCriticalSection(&section)) << "held by this thread again";
  LeaveCriticalSection(&section);
  SetLastError(0);
  EXPECT_FALSE(SleepConditionVariableCS(&condition, &section, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  WakeConditionVariable(&condition);
  WakeAllConditionVariable(&condition);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

}  // namespace
}  // namespace varnello
