// Owners for the window system's handles and memory, and for what a scope
// borrows from it (the screen's DC, a paint, a lock, a selection).
#pragma once

#include <windows.h>

#include <utility>

namespace varnello {

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
struct LocalTraits {
  static void Close(HLOCAL h) { LocalFree(h); }
};
struct GlobalTraits {
  static void Close(HGLOBAL h) { GlobalFree(h); }
};

using Font = Owned<HFONT, GdiTraits>;
using Brush = Owned<HBRUSH, GdiTraits>;
using Bitmap = Owned<HBITMAP, GdiTraits>;
using Icon = Owned<HICON, IconTraits>;
using Cursor = Owned<HCURSOR, CursorTraits>;
using Menu = Owned<HMENU, MenuTraits>;
using MemoryDc = Owned<HDC, DcTraits>;
using KernelHandle = Owned<HANDLE, HandleTraits>;
using LocalMemory = Owned<HLOCAL, LocalTraits>;  // FormatMessage's text, among others
using GlobalMemory = Owned<HGLOBAL, GlobalTraits>;

// Borrows for a scope, without copies.
class ScopeOnly {
 public:
  ScopeOnly() = default;
  ScopeOnly(const ScopeOnly&) = delete;
  ScopeOnly& operator=(const ScopeOnly&) = delete;
};

// The whole screen's DC.
class ScreenDc : ScopeOnly {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A window's paint: BeginPaint now, EndPaint at the end of the scope.
class Painting : ScopeOnly {
 public:
  explicit Painting(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~Painting() { EndPaint(window_, &paint_); }
  HDC dc() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// The memory of a moveable global block, locked for the scope.
class GlobalLocked : ScopeOnly {
 public:
  explicit GlobalLocked(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
  ~GlobalLocked() {
    if (data_) GlobalUnlock(memory_);
  }
  void* get() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// Selects an object into a DC for the life of the scope.
class Selected : ScopeOnly {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace varnello
