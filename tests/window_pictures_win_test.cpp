// The window's pictures inside a real Wine session, read exactly as the
// system's picture object reads them.
#include <windows.h>
#include <olectl.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "base/com_win.h"
#include "base/win_handles_win.h"
#include "ui/pictures_win.h"
#include "ui/resource_ids.h"

namespace varnello {
namespace {

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
// the window draws must be the system picture object's.
TEST(Pictures, ReadAsTheSystemReadsThem) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  ui::PictureSet pictures;
  ASSERT_TRUE(pictures.Load(instance).ok());
  struct Case {
    int id;
    ui::Picture picture;
  };
  for (const Case& c : {Case{IDP_BACKGROUND, ui::Picture::kBackground}, Case{IDP_DARK_BUTTON, ui::Picture::kDarkButton},
                        Case{IDP_DARK_BUTTON_LOW, ui::Picture::kDarkButtonLow}, Case{IDP_BANNER, ui::Picture::kBanner},
                        Case{IDP_START_BUTTON, ui::Picture::kStartButton}, Case{IDP_PANEL, ui::Picture::kPanel},
                        Case{IDP_WHITE_BOX, ui::Picture::kWhiteBox}}) {
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
  }
}

}  // namespace
}  // namespace varnello
