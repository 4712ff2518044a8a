// The three icon operations of Module1, which share one icon record for the
// life of the program, and the re-adding of the icon when the shell restarts.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "tray/icon_record.h"

namespace varnello::tray {

// Where the icon file gives no icon (missing, unreadable), the record names
// `fallback` instead, the program's own icon, which the caller keeps: an
// icon without a picture could not be found to bring the window back.
void AddTrayIcon(HWND window, std::wstring_view icon_path, std::u16string_view tip, HICON fallback = nullptr);
void ShowBalloon(HWND window, std::u16string_view text, std::u16string_view title, std::int32_t icon_kind);
void DeleteTrayIcon();
// After the shell's "TaskbarCreated" broadcast: the icon again, as it was added.
void ReAddTrayIcon();

// The record as it stands, for tests and the test probe.
const IconRecord& CurrentIconRecord();

// The system's ANSI code page.
class SystemAnsiCodec final : public AnsiCodec {
 public:
  std::string Encode(std::u16string_view character, bool* lossy) const override;
};

// Replaces the shell's functions, for tests.
using NotifyA = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
using NotifyW = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
void SetShellForTesting(NotifyA a, NotifyW w);

}  // namespace varnello::tray
