// The window's pictures, loaded from the program's resources in their own
// formats (GIF, JPEG, BMP, icon) and drawn at their own size, scaled only
// where the screen is not at 96 pixels per inch.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <array>

#include "survey/com_win.h"
#include "survey/result.h"
#include "ui/layout.h"
#include "ui/win_handles_win.h"

namespace varnello::ui {

class PictureSet {
 public:
  // Loads every picture; fails if one cannot be read.
  Status Load(HINSTANCE instance);
  void Draw(HDC dc, Picture picture, const PixelRect& where) const;

 private:
  struct Entry {
    ComPtr<IPicture> picture;  // owns the bitmap
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
  };
  std::array<Entry, 10> entries_;
  Icon monitor_;
};

}  // namespace varnello::ui
