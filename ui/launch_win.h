// Starting other programs without letting files planted beside the program
// or in the current folder stand in for the system's own.
#pragma once

#include <string_view>

#include "base/result.h"

namespace varnello::ui {

// At start: libraries are looked for in the system folder only (where the
// system allows; those loaded on first call always are, by full path), and
// the current folder becomes the system folder, so that the commands the
// survey starts through the command interpreter find the system's programs
// first. The program reads nothing by a relative path.
void LimitSearchPaths();

// Starts a command line with a window style (2: minimised, with the focus)
// and does not wait for it. The program is the command's first word, taken
// from the Windows folder.
Status StartInWindowsFolder(std::wstring_view command_line, int window_style);

}  // namespace varnello::ui
