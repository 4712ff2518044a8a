#include "tray/tray_win.h"

#include <cstddef>
#include <cstring>

#include "base/utf.h"
#include "base/win_handles_win.h"

namespace varnello::tray {
namespace {

#ifdef _WIN64
constexpr const RecordLayout& kAnsi = kAnsi64;
constexpr const RecordLayout& kWide = kWide64;
#else
constexpr const RecordLayout& kAnsi = kAnsi32;
constexpr const RecordLayout& kWide = kWide32;
#endif

// The portable layouts are the shell's own structures.
static_assert(kAnsi.size == NOTIFYICONDATAA_V2_SIZE, "ANSI record size");
static_assert(kWide.size == NOTIFYICONDATAW_V2_SIZE, "wide record size");
static_assert(kAnsi.hwnd == offsetof(NOTIFYICONDATAA, hWnd), "hWnd");
static_assert(kAnsi.uid == offsetof(NOTIFYICONDATAA, uID), "uID");
static_assert(kAnsi.flags == offsetof(NOTIFYICONDATAA, uFlags), "uFlags");
static_assert(kAnsi.callback == offsetof(NOTIFYICONDATAA, uCallbackMessage), "uCallbackMessage");
static_assert(kAnsi.icon == offsetof(NOTIFYICONDATAA, hIcon), "hIcon");
static_assert(kAnsi.tip == offsetof(NOTIFYICONDATAA, szTip), "szTip");
static_assert(kAnsi.state == offsetof(NOTIFYICONDATAA, dwState), "dwState");
static_assert(kAnsi.state_mask == offsetof(NOTIFYICONDATAA, dwStateMask), "dwStateMask");
static_assert(kAnsi.info == offsetof(NOTIFYICONDATAA, szInfo), "szInfo");
static_assert(kAnsi.timeout == offsetof(NOTIFYICONDATAA, uTimeout), "uTimeout");
static_assert(kAnsi.info_title == offsetof(NOTIFYICONDATAA, szInfoTitle), "szInfoTitle");
static_assert(kAnsi.info_flags == offsetof(NOTIFYICONDATAA, dwInfoFlags), "dwInfoFlags");
static_assert(kWide.tip == offsetof(NOTIFYICONDATAW, szTip), "wide szTip");
static_assert(kWide.info == offsetof(NOTIFYICONDATAW, szInfo), "wide szInfo");
static_assert(kWide.info_title == offsetof(NOTIFYICONDATAW, szInfoTitle), "wide szInfoTitle");
static_assert(kWide.info_flags == offsetof(NOTIFYICONDATAW, dwInfoFlags), "wide dwInfoFlags");

// Module1's state: the one record, and the icon it names, which lives as
// long as the program, like the record.
struct Module1 {
  IconRecord record;
  Icon icon;
  NotifyA notify_a = Shell_NotifyIconA;
  NotifyW notify_w = Shell_NotifyIconW;
};

Module1& Module() {
  static Module1 m;
  return m;
}

// Hands the record to the shell: in the ANSI form where the code page holds
// every text, in the wide form where it would have garbled one.
void Send(DWORD message) {
  Module1& m = Module();
  EncodedRecord ansi = EncodeAnsi(m.record, kAnsi, SystemAnsiCodec());
  if (ansi.exact) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    std::memcpy(&data, ansi.bytes.data(), ansi.bytes.size());
    m.notify_a(message, &data);
  } else {
    std::vector<std::uint8_t> wide = EncodeWide(m.record, kWide);
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof data);
    std::memcpy(&data, wide.data(), wide.size());
    m.notify_w(message, &data);
  }
}

std::uint64_t Handle(const void* h) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(h)); }

// The icon file, asked for at 16 x 16 pixels; a path the code page cannot
// spell is opened by its Unicode name instead of failing.
HICON LoadTrayIcon(std::wstring_view path) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const UINT flags = LR_LOADFROMFILE | LR_LOADMAP3DCOLORS;
  std::u16string path16(path.begin(), path.end());
  std::string ansi;
  bool exact = true;
  SystemAnsiCodec codec;
  for (std::size_t i = 0; i < path16.size();) {
    const std::size_t n = StepUtf16(path16, i).length;
    bool lossy = false;
    ansi += codec.Encode(std::u16string_view(path16).substr(i, n), &lossy);
    exact = exact && !lossy;
    i += n;
  }
  if (exact) return static_cast<HICON>(LoadImageA(instance, ansi.c_str(), IMAGE_ICON, 16, 16, flags));
  std::wstring wide(path);
  return static_cast<HICON>(LoadImageW(instance, wide.c_str(), IMAGE_ICON, 16, 16, flags));
}

}  // namespace

std::string SystemAnsiCodec::Encode(std::u16string_view character, bool* lossy) const {
  const wchar_t* source = reinterpret_cast<const wchar_t*>(character.data());
  const int length = static_cast<int>(character.size());
  char bytes[16];
  BOOL used_default = FALSE;
  const UINT code_page = GetACP();
  // UTF-8 and UTF-7 refuse the default-character arguments; every
  // character but an unpaired surrogate fits in them.
  const bool unicode_page = code_page == CP_UTF8 || code_page == CP_UTF7;
  int n = WideCharToMultiByte(CP_ACP, unicode_page ? 0 : WC_NO_BEST_FIT_CHARS, source, length, bytes,
                              sizeof bytes, nullptr, unicode_page ? nullptr : &used_default);
  if (n <= 0) {
    *lossy = true;
    return "?";
  }
  *lossy = used_default != FALSE ||
           (unicode_page && length == 1 && character[0] >= 0xD800 && character[0] <= 0xDFFF);
  return std::string(bytes, static_cast<std::size_t>(n));
}

void AddTrayIcon(HWND window, std::wstring_view icon_path, std::u16string_view tip, HICON fallback) {
  Module1& m = Module();
  m.icon.Reset(LoadTrayIcon(icon_path));
  const HICON shown = m.icon ? m.icon.get() : fallback;
  WriteAdd(m.record, static_cast<std::uint32_t>(kAnsi.size), Handle(window), Handle(shown), tip);
  Send(NIM_ADD);
}

void ShowBalloon(HWND window, std::u16string_view text, std::u16string_view title, std::int32_t icon_kind) {
  WriteBalloon(Module().record, static_cast<std::uint32_t>(kAnsi.size), Handle(window), text, title,
               static_cast<std::uint32_t>(icon_kind));
  Send(NIM_MODIFY);
}

void DeleteTrayIcon() { Send(NIM_DELETE); }

void ReAddTrayIcon() {
  if (!Module().record.hWnd) return;  // never added
  WriteReAdd(Module().record);
  Send(NIM_ADD);
}

const IconRecord& CurrentIconRecord() { return Module().record; }

void SetShellForTesting(NotifyA a, NotifyW w) {
  Module().notify_a = a ? a : Shell_NotifyIconA;
  Module().notify_w = w ? w : Shell_NotifyIconW;
}

}  // namespace varnello::tray
