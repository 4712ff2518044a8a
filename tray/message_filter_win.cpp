#include "tray/message_filter_win.h"

#include "base/dyn_calls_win.h"

namespace varnello::tray {
namespace {

constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, per window
constexpr DWORD kAdd = 1;    // MSGFLT_ADD, per process

}  // namespace

void AllowMessage(HWND window, UINT message) {
  base::DynCalls& dyn = base::Dyn();
  if (auto per_window = dyn.ChangeWindowMessageFilterEx.get())
    per_window(window, message, kAllow, nullptr);
  else if (auto per_process = dyn.ChangeWindowMessageFilter.get())
    per_process(message, kAdd);
}

}  // namespace varnello::tray
