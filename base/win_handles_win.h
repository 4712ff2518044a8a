// Owners for the window system's handles.
#pragma once

#include <windows.h>

#include <utility>

namespace varnello::ui {

template <class H, class Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H h) : h_(h) {}
  Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, H{})) {}
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, H{});
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { Reset(); }

  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }
  void Reset(H h = H{}) {
    if (h_) Traits::Close(h_);
    h_ = h;
  }
  H Release() { return std::exchange(h_, H{}); }

 private:
  H h_{};
};

struct GdiTraits {
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct IconTraits {
  static void Close(HICON h) { DestroyIcon(h); }
};
struct CursorTraits {
  static void Close(HCURSOR h) { DestroyCursor(h); }
};
struct MenuTraits {
  static void Close(HMENU h) { DestroyMenu(h); }
};
struct DcTraits {
  static void Close(HDC h) { DeleteDC(h); }
};
struct HandleTraits {
  static void Close(HANDLE h) { CloseHandle(h); }
};

using Font = Owned<HFONT, GdiTraits>;
using Brush = Owned<HBRUSH, GdiTraits>;
using Bitmap = Owned<HBITMAP, GdiTraits>;
using Icon = Owned<HICON, IconTraits>;
using Cursor = Owned<HCURSOR, CursorTraits>;
using Menu = Owned<HMENU, MenuTraits>;
using MemoryDc = Owned<HDC, DcTraits>;
using KernelHandle = Owned<HANDLE, HandleTraits>;

// Selects an object into a DC for the life of the scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace varnello::ui
