#include "ui/pictures_win.h"

#include <cstdint>
#include <cstring>

#include "ui/bmp.h"
#include "ui/gif.h"
#include "ui/resource_ids.h"

namespace varnello::ui {
namespace {

int ResourceOf(Picture p) {
  switch (p) {
    case Picture::kBackground: return IDP_BACKGROUND;
    case Picture::kProgress: return IDP_PROGRESS;
    case Picture::kBanner: return IDP_BANNER;
    case Picture::kStartButton: return IDP_START_BUTTON;
    case Picture::kPanel: return IDP_PANEL;
    case Picture::kDarkButton: return IDP_DARK_BUTTON;
    case Picture::kDarkButtonLow: return IDP_DARK_BUTTON_LOW;
    case Picture::kWhiteBox: return IDP_WHITE_BOX;
    default: return 0;
  }
}

struct Bytes {
  const void* data = nullptr;
  DWORD size = 0;
};

Bytes ResourceBytes(HINSTANCE instance, int id) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return {};
  const void* data = LockResource(LoadResource(instance, found));
  return data ? Bytes{data, SizeofResource(instance, found)} : Bytes{};
}

bool IsGif(const Bytes& b) { return b.size >= 6 && std::memcmp(b.data, "GIF8", 4) == 0; }

// A bitmap file as the system's picture object reads one: a bitmap for the
// screen made from the file's own header, colours and rows.
HBITMAP ReadBmp(const Bytes& b) {
  const auto* bytes = static_cast<const std::uint8_t*>(b.data);
  const auto parts = ParseBmp(bytes, b.size);
  if (!parts) return nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes + parts->info);
  const ScreenDc screen;
  return CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, bytes + parts->bits, info, DIB_RGB_COLORS);
}

// A top-down 32-bit DIB with the decoded pixels.
HBITMAP BitmapOf(const GifImage& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof image.pixels[0]);
  return bitmap;
}

Result<ComPtr<IPicture>> LoadPicture(const Bytes& bytes) {
  const void* data = bytes.data;
  const DWORD size = bytes.size;
  if (!data || !size) return ComError(E_FAIL);
  // The stream owns a copy and frees it when released.
  GlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return ComError(E_OUTOFMEMORY);
  {
    const GlobalLocked locked(copy.get());
    if (!locked.get()) return ComError(E_OUTOFMEMORY);
    std::memcpy(locked.get(), data, size);
  }
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(copy.get(), TRUE, stream.Receive());
  if (FAILED(hr)) return ComError(hr);
  copy.Release();  // the stream's now
  ComPtr<IPicture> picture;
  hr = OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.ReceiveVoid());
  if (FAILED(hr)) return ComError(hr);
  return picture;
}

}  // namespace

int ScaledResource(int id, int art_dpi) {
  for (std::size_t step = 0; step < kArtDpis.size(); ++step)
    if (kArtDpis[step] == art_dpi) return id + IDR_SCALE_STEP * static_cast<int>(step);
  return id;
}

Status PictureSet::Load(HINSTANCE instance, int dpi) {
  const int art_dpi = ArtDpiFor(dpi);
  for (const PictureSpec& art : kPictures) {
    if (art.picture == Picture::kMonitor) continue;
    if (!FindResourceW(instance, MAKEINTRESOURCEW(ScaledResource(ResourceOf(art.picture), art_dpi)), RT_RCDATA))
      return ComError(HRESULT_FROM_WIN32(GetLastError()));
  }
  const int side = ArtPixels(16, art_dpi);
  Icon monitor(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(ScaledResource(IDI_MONITOR, art_dpi)), IMAGE_ICON, side, side, 0)));
  if (!monitor) return ComError(HRESULT_FROM_WIN32(GetLastError()));
  // What was decoded for another density is dropped, and decoded again when
  // next drawn.
  instance_ = instance;
  entries_ = {};
  monitor_ = std::move(monitor);
  art_dpi_ = art_dpi;
  return {};
}

const PictureSet::Entry& PictureSet::Decoded(Picture p) const {
  Entry& e = entries_[static_cast<std::size_t>(p)];
  if (e.decoded) return e;
  e.decoded = true;
  const Bytes bytes = ResourceBytes(instance_, ScaledResource(ResourceOf(p), art_dpi_));
  // GIFs and bitmaps are read here: for GIFs the system's picture object
  // loads the imaging codecs, which would cost the first paint more than all
  // the other pictures together, and either would need OLE started before
  // the first paint.
  if (IsGif(bytes)) {
    if (auto image = DecodeGif(static_cast<const std::uint8_t*>(bytes.data), bytes.size))
      e.owned.Reset(BitmapOf(*image));
    e.bitmap = e.owned.get();
  } else if (HBITMAP bmp = ReadBmp(bytes)) {
    e.owned.Reset(bmp);
    e.bitmap = bmp;
  } else if (auto picture = LoadPicture(bytes)) {
    // JPEG, the progress picture's format, first drawn when a survey starts.
    OLE_HANDLE handle = 0;
    if (FAILED((*picture)->get_Handle(&handle))) return e;
    e.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    e.picture = std::move(picture).value();
  }
  BITMAP info{};
  if (e.bitmap && GetObjectW(e.bitmap, sizeof info, &info)) {
    e.width = info.bmWidth;
    e.height = info.bmHeight;
  }
  return e;
}

void PictureSet::Draw(HDC dc, Picture picture, const PixelRect& r) const {
  RECT shown{}, seen{};
  const RECT target = ToRect(r);
  const int clip = GetClipBox(dc, &shown);
  if (clip == NULLREGION || (clip != ERROR && !IntersectRect(&seen, &shown, &target))) return;
  if (picture == Picture::kMonitor) {
    DrawIconEx(dc, r.left, r.top, monitor_.get(), r.width, r.height, 0, nullptr, DI_NORMAL);
    return;
  }
  const Entry& e = Decoded(picture);
  if (!e.bitmap) return;
  MemoryDc source(CreateCompatibleDC(dc));
  Selected selected(source.get(), e.bitmap);
  if (r.width == e.width && r.height == e.height) {
    BitBlt(dc, r.left, r.top, r.width, r.height, source.get(), 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, r.left, r.top, r.width, r.height, source.get(), 0, 0, e.width, e.height, SRCCOPY);
  }
}

}  // namespace varnello::ui
