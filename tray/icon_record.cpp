#include "tray/icon_record.h"

#include <cstring>

#include "base/utf.h"

namespace varnello::tray {
namespace {

void Put(std::vector<std::uint8_t>& out, std::size_t offset, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutNumbers(std::vector<std::uint8_t>& out, const IconRecord& r, const RecordLayout& l) {
  Put(out, 0, r.cbSize, 4);
  Put(out, l.hwnd, r.hWnd, l.pointer_size);
  Put(out, l.uid, r.uID, 4);
  Put(out, l.flags, r.uFlags, 4);
  Put(out, l.callback, r.uCallbackMessage, 4);
  Put(out, l.icon, r.hIcon, l.pointer_size);
  Put(out, l.state, r.dwState, 4);
  Put(out, l.state_mask, r.dwStateMask, 4);
  Put(out, l.timeout, r.uTimeout, 4);
  Put(out, l.info_flags, r.dwInfoFlags, 4);
}

// Fills out[offset, offset + field) with the text's bytes, NUL and blanks.
bool PutAnsiText(std::vector<std::uint8_t>& out, std::size_t offset, std::size_t field,
                 std::u16string_view text, const AnsiCodec& codec) {
  bool exact = true;
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = StepUtf16(text, i).length;
    bool lossy = false;
    std::string bytes = codec.Encode(text.substr(i, n), &lossy);
    if (used + bytes.size() > field - 1) break;  // keep room for the NUL
    std::memcpy(out.data() + offset + used, bytes.data(), bytes.size());
    used += bytes.size();
    exact = exact && !lossy;
    i += n;
  }
  out[offset + used] = 0;
  for (std::size_t k = used + 1; k < field; ++k) out[offset + k] = ' ';
  return exact;
}

void PutWideText(std::vector<std::uint8_t>& out, std::size_t offset, std::size_t chars, std::u16string_view text) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = StepUtf16(text, i).length;
    if (used + n > chars - 1) break;
    for (std::size_t k = 0; k < n; ++k) Put(out, offset + 2 * (used + k), text[i + k], 2);
    used += n;
    i += n;
  }
  Put(out, offset + 2 * used, 0, 2);
  for (std::size_t k = used + 1; k < chars; ++k) Put(out, offset + 2 * k, u' ', 2);
}

}  // namespace

void WriteAdd(IconRecord& r, std::uint32_t size, std::uint64_t window, std::uint64_t icon,
              std::u16string_view tip) {
  r.cbSize = size;
  r.hWnd = window;
  r.uID = kIconId;
  r.uFlags = kNifMessage | kNifIcon | kNifTip;
  r.uCallbackMessage = kCallbackMessage;
  r.hIcon = icon;
  r.szTip = std::u16string(tip);
}

void WriteBalloon(IconRecord& r, std::uint32_t size, std::uint64_t window, std::u16string_view text,
                  std::u16string_view title, std::uint32_t icon_kind) {
  r.cbSize = size;
  r.hWnd = window;
  r.uID = kIconId;
  r.uFlags = kNifInfo;
  r.dwInfoFlags = icon_kind;
  r.szInfoTitle = std::u16string(title);
  r.szInfo = std::u16string(text);
}

void WriteReAdd(IconRecord& r) { r.uFlags = kNifMessage | kNifIcon | kNifTip; }

EncodedRecord EncodeAnsi(const IconRecord& r, const RecordLayout& l, const AnsiCodec& codec) {
  EncodedRecord e;
  e.bytes.assign(l.size, 0);
  PutNumbers(e.bytes, r, l);
  e.exact = PutAnsiText(e.bytes, l.tip, l.tip_chars, r.szTip, codec);
  e.exact = PutAnsiText(e.bytes, l.info, l.info_chars, r.szInfo, codec) && e.exact;
  e.exact = PutAnsiText(e.bytes, l.info_title, l.title_chars, r.szInfoTitle, codec) && e.exact;
  return e;
}

std::vector<std::uint8_t> EncodeWide(const IconRecord& r, const RecordLayout& l) {
  std::vector<std::uint8_t> out(l.size, 0);
  PutNumbers(out, r, l);
  Put(out, 0, l.size, 4);
  PutWideText(out, l.tip, l.tip_chars, r.szTip);
  PutWideText(out, l.info, l.info_chars, r.szInfo);
  PutWideText(out, l.info_title, l.title_chars, r.szInfoTitle);
  return out;
}

}  // namespace varnello::tray
