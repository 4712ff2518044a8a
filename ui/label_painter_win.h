// The window's own drawing of its controls: the labels' three fonts at the
// window's density, the width of every character in each (measured once,
// the labels being redrawn on every change), and the controls painted back
// to front onto any DC.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/win_handles_win.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/pictures_win.h"

namespace varnello::ui {

class LabelPainter {
 public:
  // Fonts for `dpi`; the widths measured at the density before are gone.
  void SetDpi(int dpi);

  // Every visible control outside the frames, onto `dc` from the client
  // area's corner: the pictures, and the labels in their colours (start
  // label in `jiance_colour`).
  void PaintControls(HDC dc, const PictureSet& pictures, const Captions& captions, const Visibility& visible,
                     Colour jiance_colour);

  // One label: only its text, wrapped at its width and cut off at its
  // height, its access key underlined.
  void PaintLabel(HDC dc, int id, std::u16string_view caption, Colour colour);

 private:
  PixelRect RectOf(int id) const { return ToPixels(kControls[static_cast<std::size_t>(id)].twips, dpi_); }
  int Advance(HDC dc, FontStyle style, std::u16string_view character);

  int dpi_ = kDesignDpi;
  std::array<Font, 3> fonts_;
  std::unordered_map<std::uint64_t, int> advances_;
};

}  // namespace varnello::ui
