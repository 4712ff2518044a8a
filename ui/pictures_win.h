// The window's pictures, loaded from the program's resources in their own
// formats (GIF, JPEG, BMP, icon) and drawn at their own size, scaled only
// where the screen is not at 96 pixels per inch. A picture is decoded the
// first time it is drawn where it can be seen, so that start-up pays only
// for what the first screen shows.
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
  // Finds every picture among the resources; fails if one is missing.
  Status Load(HINSTANCE instance);
  // Draws nothing, and decodes nothing, where `where` lies outside what
  // the DC can show; a picture that cannot be decoded is not drawn.
  void Draw(HDC dc, Picture picture, const PixelRect& where) const;

 private:
  struct Entry {
    ComPtr<IPicture> picture;  // owns the bitmap, or
    Bitmap owned;              // does, for a picture read here
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
    bool decoded = false;  // tried, whether or not it worked
  };
  const Entry& Decoded(Picture picture) const;

  HINSTANCE instance_ = nullptr;
  mutable std::array<Entry, 10> entries_;
  Icon monitor_;
};

}  // namespace varnello::ui
