#include "tray/message_filter_win.h"

namespace varnello::tray {
namespace {

constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, per window
constexpr DWORD kAdd = 1;    // MSGFLT_ADD, per process

const MessageFilter* g_testing = nullptr;

template <class F>
F Lookup(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

MessageFilter SystemMessageFilter() {
  MessageFilter f;
  f.per_window = Lookup<decltype(f.per_window)>("ChangeWindowMessageFilterEx");
  f.per_process = Lookup<decltype(f.per_process)>("ChangeWindowMessageFilter");
  return f;
}

void AllowMessage(HWND window, UINT message) {
  const MessageFilter f = g_testing ? *g_testing : SystemMessageFilter();
  if (f.per_window)
    f.per_window(window, message, kAllow, nullptr);
  else if (f.per_process)
    f.per_process(message, kAdd);
}

void SetMessageFilterForTesting(const MessageFilter* filter) { g_testing = filter; }

}  // namespace varnello::tray
