#include "ui/label_painter_win.h"

#include "ui/text_layout.h"

namespace varnello::ui {
namespace {

constexpr int kFontPoints = 9;

}  // namespace

void LabelPainter::SetDpi(int dpi) {
  dpi_ = dpi;
  const int pixels = -MulDiv(kFontPoints, dpi, 72);
  auto make = [&](int weight, bool underline) {
    return Font(CreateFontW(pixels, 0, 0, 0, weight, FALSE, underline, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
  };
  fonts_[static_cast<int>(FontStyle::kRegular)] = make(FW_NORMAL, false);
  fonts_[static_cast<int>(FontStyle::kBold)] = make(FW_BOLD, false);
  fonts_[static_cast<int>(FontStyle::kUnderline)] = make(FW_NORMAL, true);
  advances_.clear();
}

void LabelPainter::PaintControls(HDC dc, const PictureSet& pictures, const Captions& captions,
                                 const Visibility& visible, Colour jiance_colour) {
  // Back to front: the last row of the table lies behind all others.
  for (int i = kControlCount - 1; i >= 0; --i) {
    const ControlSpec& c = kControls[static_cast<std::size_t>(i)];
    if (c.container != -1 || !visible[static_cast<std::size_t>(i)]) continue;
    if (c.kind == ControlKind::kPicture) pictures.Draw(dc, c.picture, RectOf(i));
    if (c.kind != ControlKind::kLabel) continue;
    const Colour colour = i == kJiance ? jiance_colour : c.colour ? *c.colour : GetSysColor(COLOR_BTNTEXT);
    PaintLabel(dc, i, captions[static_cast<std::size_t>(i)], colour);
  }
}

int LabelPainter::Advance(HDC dc, FontStyle style, std::u16string_view character) {
  // One UTF-16 unit or a surrogate pair in the low 32 bits, the style above.
  std::uint64_t code = character.empty() ? 0 : character[0];
  if (character.size() == 2) code = (code << 16) | character[1];
  const std::uint64_t key = (static_cast<std::uint64_t>(style) << 32) | code;
  auto it = advances_.find(key);
  if (it != advances_.end()) return it->second;
  SIZE size{};
  GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(character.data()), static_cast<int>(character.size()), &size);
  advances_.emplace(key, size.cx);
  return size.cx;
}

void LabelPainter::PaintLabel(HDC dc, int id, std::u16string_view caption, Colour colour) {
  const ControlSpec& c = kControls[static_cast<std::size_t>(id)];
  const AccessKeyText text = ParseAccessKeys(caption);
  if (text.shown.empty()) return;
  const PixelRect r = RectOf(id);
  Selected font(dc, fonts_[static_cast<int>(c.font)].get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int line_height = metrics.tmHeight > 0 ? metrics.tmHeight : 12;
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);

  const std::size_t max_lines = static_cast<std::size_t>((r.height + line_height - 1) / line_height);
  auto measure = [&](std::u16string_view ch) { return Advance(dc, c.font, ch); };
  const RECT clip = ToRect(r);
  const std::u16string_view shown(text.shown);
  int y = r.top;
  for (const TextLine& line : WrapLines(shown, r.width, max_lines, measure)) {
    std::u16string_view part = shown.substr(line.begin, line.end - line.begin);
    ExtTextOutW(dc, r.left, y, ETO_CLIPPED, &clip, reinterpret_cast<LPCWSTR>(part.data()),
                static_cast<UINT>(part.size()), nullptr);
    const auto u = text.underline;
    if (u >= 0 && static_cast<std::size_t>(u) >= line.begin && static_cast<std::size_t>(u) < line.end) {
      int x = r.left;
      for (std::size_t k = line.begin; k < static_cast<std::size_t>(u); ++k) x += measure(shown.substr(k, 1));
      const int w = measure(shown.substr(static_cast<std::size_t>(u), 1));
      RECT bar{x, y + metrics.tmAscent + 1, x + w, y + metrics.tmAscent + 2};
      IntersectRect(&bar, &bar, &clip);
      Brush brush(CreateSolidBrush(colour));
      FillRect(dc, &bar, brush.get());
    }
    y += line_height;
  }
}

}  // namespace varnello::ui
