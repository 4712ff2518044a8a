// The window's pictures, loaded from the program's resources in their own
// formats (GIF, JPEG, BMP, icon). The art is drawn for 100, 125, 150 and 200
// per cent; the set holds the drawing that serves the window's density and
// draws it at its own size there, scaled only at densities in between. A
// picture is decoded the first time it is drawn where it can be seen, so
// that start-up pays only for what the first screen shows.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <array>

#include "base/com_win.h"
#include "base/result.h"
#include "base/win_handles_win.h"
#include "ui/layout.h"

namespace varnello::ui {

// A layout rectangle as the system's.
inline RECT ToRect(const PixelRect& p) { return RECT{p.left, p.top, p.left + p.width, p.top + p.height}; }

class PictureSet {
 public:
  // Finds every picture drawn for the density that serves `dpi` among the
  // resources; fails, keeping what it held, if one is missing. Called again
  // when the window's density changes.
  Status Load(HINSTANCE instance, int dpi = kDesignDpi);
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
  int art_dpi_ = kDesignDpi;
};

// A resource of the 100 per cent drawing, as drawn for `art_dpi` (one of
// kArtDpis).
int ScaledResource(int id, int art_dpi);

}  // namespace varnello::ui
