// The window's pictures inside a real Wine session: each drawn where it
// can be seen, and read exactly as the system's picture object reads them.
#include <windows.h>
#include <olectl.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "base/com_win.h"
#include "base/win_handles_win.h"
#include "ui/gif.h"
#include "ui/pictures_win.h"
#include "ui/resource_ids.h"

namespace varnello {
namespace {

// Pictures are decoded when first drawn where they can be seen, so a
// picture that does not decode no longer stops the window at start: each
// must draw, and one off the canvas draws nothing.
TEST(Pictures, EachDrawsWhereSeenAndNothingOffTheCanvas) {
  ui::PictureSet pictures;
  ASSERT_TRUE(pictures.Load(GetModuleHandleW(nullptr)).ok());
  const ScreenDc screen;
  MemoryDc dc(CreateCompatibleDC(screen.get()));
  Bitmap canvas(CreateCompatibleBitmap(screen.get(), 480, 180));
  Selected selected(dc.get(), canvas.get());
  Brush magenta(CreateSolidBrush(RGB(255, 0, 255)));
  auto painted = [&](const ui::PixelRect& r) {
    int n = 0;
    for (int y = r.top; y < r.top + r.height; ++y)
      for (int x = r.left; x < r.left + r.width; ++x) n += GetPixel(dc.get(), x, y) != RGB(255, 0, 255);
    return n;
  };
  const RECT all{0, 0, 480, 180};
  for (const ui::PictureSpec& art : ui::kPictures) {
    FillRect(dc.get(), &all, magenta.get());
    pictures.Draw(dc.get(), art.picture, {480, 0, art.width, art.height});
    EXPECT_EQ(painted({0, 0, 480, 180}), 0) << art.file;
    const ui::PixelRect at{2, 2, art.width, art.height};
    pictures.Draw(dc.get(), art.picture, at);
    EXPECT_GT(painted(at), art.width * art.height / 4) << art.file;
  }
}

// The system picture object's reading of a picture resource: its bitmap
// drawn on a screen-compatible canvas of the picture's size.
struct SystemPicture {
  ComPtr<IPicture> picture;
  HBITMAP bitmap = nullptr;
};

SystemPicture ReadBySystem(const std::uint8_t* data, DWORD size) {
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(copy), data, size);
  GlobalUnlock(copy);
  ComPtr<IStream> stream;
  SystemPicture read;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, stream.Receive()))) return read;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, read.picture.ReceiveVoid())))
    return read;
  OLE_HANDLE handle = 0;
  if (SUCCEEDED(read.picture->get_Handle(&handle))) read.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  return read;
}

// The program reads its GIFs and bitmaps itself, without OLE: the pixels
// the window draws must be the system picture object's, and GIF data cut
// short anywhere must be refused, not overrun.
TEST(Pictures, ReadAsTheSystemReadsThem) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  ui::PictureSet pictures;
  ASSERT_TRUE(pictures.Load(instance).ok());
  struct Case {
    int id;
    ui::Picture picture;
    bool gif;
  };
  for (const Case& c : {Case{IDP_BACKGROUND, ui::Picture::kBackground, true},
                        Case{IDP_DARK_BUTTON, ui::Picture::kDarkButton, true},
                        Case{IDP_DARK_BUTTON_LOW, ui::Picture::kDarkButtonLow, true},
                        Case{IDP_BANNER, ui::Picture::kBanner, false},
                        Case{IDP_START_BUTTON, ui::Picture::kStartButton, false},
                        Case{IDP_PANEL, ui::Picture::kPanel, false},
                        Case{IDP_WHITE_BOX, ui::Picture::kWhiteBox, false}}) {
    SCOPED_TRACE(c.id);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(c.id), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, found)));
    const DWORD size = SizeofResource(instance, found);
    const SystemPicture system = ReadBySystem(data, size);
    ASSERT_NE(system.bitmap, nullptr);
    BITMAP info{};
    GetObjectW(system.bitmap, sizeof info, &info);
    const int width = info.bmWidth, height = info.bmHeight;

    const ScreenDc screen;
    MemoryDc theirs(CreateCompatibleDC(screen.get())), ours(CreateCompatibleDC(screen.get()));
    Bitmap canvas(CreateCompatibleBitmap(screen.get(), width, height));
    Selected system_selected(theirs.get(), system.bitmap);
    Selected canvas_selected(ours.get(), canvas.get());
    pictures.Draw(ours.get(), c.picture, {0, 0, width, height});
    int differing = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) differing += GetPixel(ours.get(), x, y) != GetPixel(theirs.get(), x, y);
    EXPECT_EQ(differing, 0);

    if (c.gif) {
      auto decoded = ui::DecodeGif(data, size);
      ASSERT_TRUE(decoded.has_value());
      EXPECT_EQ(decoded->width, width);
      for (DWORD cut = 0; cut + 1 < size; cut += cut < 64 ? 1 : 97)
        EXPECT_FALSE(ui::DecodeGif(data, cut).has_value()) << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace varnello
