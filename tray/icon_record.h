// The notification-area icon record that the three icon operations share,
// and its byte form as the shell's NOTIFYICONDATAA (version 2) or, where the
// system's ANSI code page cannot hold a text, NOTIFYICONDATAW.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnello::tray {

constexpr std::uint32_t kNifMessage = 0x01;
constexpr std::uint32_t kNifIcon = 0x02;
constexpr std::uint32_t kNifTip = 0x04;
constexpr std::uint32_t kNifInfo = 0x10;
constexpr std::uint32_t kNimAdd = 0;
constexpr std::uint32_t kNimModify = 1;
constexpr std::uint32_t kNimDelete = 2;
constexpr std::uint32_t kIconId = 1;
constexpr std::uint32_t kCallbackMessage = 0x0200;  // WM_MOUSEMOVE
constexpr std::uint32_t kNiifInfo = 1;

// Every field starts at zero; texts are kept as Unicode and converted each
// time the record goes to the shell.
struct IconRecord {
  std::uint32_t cbSize = 0;
  std::uint64_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uint64_t hIcon = 0;
  std::u16string szTip;
  std::uint32_t dwState = 0;
  std::uint32_t dwStateMask = 0;
  std::u16string szInfo;
  std::uint32_t uTimeout = 0;
  std::u16string szInfoTitle;
  std::uint32_t dwInfoFlags = 0;
};

// What each operation writes; nothing else of the record changes.
void WriteAdd(IconRecord& r, std::uint32_t size, std::uint64_t window, std::uint64_t icon,
              std::u16string_view tip);
void WriteBalloon(IconRecord& r, std::uint32_t size, std::uint64_t window, std::u16string_view text,
                  std::u16string_view title, std::uint32_t icon_kind);
// Adding the icon again after the shell restarted: image, tip and callback
// message as they were added.
void WriteReAdd(IconRecord& r);

// Where the fields lie in one form of the record.
struct RecordLayout {
  std::size_t size;
  std::size_t hwnd, uid, flags, callback, icon, tip, state, state_mask, info, timeout, info_title, info_flags;
  std::size_t pointer_size, char_size;
  std::size_t tip_chars = 128, info_chars = 256, title_chars = 64;
};

constexpr RecordLayout kAnsi32{488, 4, 8, 12, 16, 20, 24, 152, 156, 160, 416, 420, 484, 4, 1};
constexpr RecordLayout kAnsi64{504, 8, 16, 20, 24, 32, 40, 168, 172, 176, 432, 436, 500, 8, 1};
constexpr RecordLayout kWide32{936, 4, 8, 12, 16, 20, 24, 280, 284, 288, 800, 804, 932, 4, 2};
constexpr RecordLayout kWide64{952, 8, 16, 20, 24, 32, 40, 296, 300, 304, 816, 820, 948, 8, 2};

// The system's ANSI code page, one character at a time.
class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;
  // The bytes of one character (a code point: one UTF-16 unit or a pair);
  // sets *lossy when the code page has no such character.
  virtual std::string Encode(std::u16string_view character, bool* lossy) const = 0;
};

struct EncodedRecord {
  std::vector<std::uint8_t> bytes;
  bool exact = true;  // every text shown went into the code page unchanged
};

// Each text field: the text, one NUL, blanks to the end of the field. A
// text that does not fit is cut at a character boundary so that the NUL
// stays inside the field. cbSize is written as the record holds it.
EncodedRecord EncodeAnsi(const IconRecord& r, const RecordLayout& layout, const AnsiCodec& codec);

// The same values in the wide form, whose cbSize is its own size.
std::vector<std::uint8_t> EncodeWide(const IconRecord& r, const RecordLayout& layout);

}  // namespace varnello::tray
