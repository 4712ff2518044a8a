// Lets one message through the filter that keeps messages of processes at a
// lower integrity level away from an elevated window: the shell's
// "TaskbarCreated" broadcast, after which the icon is added again. Windows 7
// and later filter per window, Vista per process, XP not at all; the
// functions are looked up at run time.
#pragma once

#include <windows.h>

namespace varnello::tray {

struct MessageFilter {
  BOOL(WINAPI* per_window)(HWND, UINT, DWORD, void*) = nullptr;  // ChangeWindowMessageFilterEx
  BOOL(WINAPI* per_process)(UINT, DWORD) = nullptr;              // ChangeWindowMessageFilter
};

// The system's functions, where it has them.
MessageFilter SystemMessageFilter();

// Lets `message` reach `window` from any process: per window where the
// system can, else for the whole process; nothing where there is no filter.
void AllowMessage(HWND window, UINT message);

// Replaces the system's functions, for tests; nullptr puts them back.
void SetMessageFilterForTesting(const MessageFilter* filter);

}  // namespace varnello::tray
