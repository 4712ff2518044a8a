// Lets one message through the filter that keeps messages of processes at a
// lower integrity level away from an elevated window: the shell's
// "TaskbarCreated" broadcast, after which the icon is added again. Windows 7
// and later filter per window, Vista per process, XP not at all.
#pragma once

#include <windows.h>

namespace varnello::tray {

// Lets `message` reach `window` from any process: per window where the
// system can, else for the whole process; nothing where there is no filter.
void AllowMessage(HWND window, UINT message);

}  // namespace varnello::tray
