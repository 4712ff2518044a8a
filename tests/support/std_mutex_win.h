// std::mutex and std::condition_variable for GoogleTest under MinGW's win32
// thread model, whose libstdc++ leaves them out. Only the tests use it (the
// build puts it in front of GoogleTest and every test through -include); the
// programs have no threads of their own and carry no thread library.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
namespace std {

// A slim reader/writer lock held exclusively. Its storage is one pointer,
// zero when free, so the header needs no <windows.h>.
class mutex {
 public:
  constexpr mutex() noexcept = default;
  mutex(const mutex&) = delete;
  mutex& operator=(const mutex&) = delete;
  void lock();
  bool try_lock();
  void unlock();
  void** native_handle() { return &lock_; }

 private:
  void* lock_ = nullptr;
};

class condition_variable {
 public:
  constexpr condition_variable() noexcept = default;
  condition_variable(const condition_variable&) = delete;
  condition_variable& operator=(const condition_variable&) = delete;
  void notify_one() noexcept;
  void notify_all() noexcept;
  void wait(unique_lock<mutex>& held);
  template <typename Predicate>
  void wait(unique_lock<mutex>& held, Predicate ready) {
    while (!ready()) wait(held);
  }

 private:
  void* condition_ = nullptr;
};

}  // namespace std
#endif
