// The fixed addresses, command lines and paths the window's handlers use.
#pragma once

#include <string>
#include <string_view>

namespace varnello::ui {

// The announcement page shown in the strip.
std::u16string AnnouncementAddress();

// The maker's home page.
std::u16string HomePageAddress();

// The command line that opens the maker's home page through Explorer.
std::u16string HomePageCommand();

// The program a command line starts, taken from `folder` rather than looked
// up along the search path: the command's first word, with ".exe" added
// where it names no extension.
std::u16string ProgramIn(std::u16string_view folder, std::u16string_view command_line);

// Window style of the home page command: minimised, with the focus.
constexpr int kMinimizedFocus = 2;

// The program's directory as the runtime reports it: the module path up to
// its last backslash, which is kept only where it is the root of a drive
// ("C:\").
std::u16string AppPathOf(std::u16string_view module_path);

// Where the notification-area icon file is looked for: the directory with
// "\icon.ico" appended as it stands.
std::u16string IconPathOf(std::u16string_view app_path);

}  // namespace varnello::ui
