#include "ui/pictures_win.h"

#include <cstring>

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

Result<ComPtr<IPicture>> LoadPicture(HINSTANCE instance, int id) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return ComError(HRESULT_FROM_WIN32(GetLastError()));
  const DWORD size = SizeofResource(instance, found);
  const void* data = LockResource(LoadResource(instance, found));
  if (!data || !size) return ComError(E_FAIL);
  // The stream owns a copy and frees it when released.
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return ComError(E_OUTOFMEMORY);
  std::memcpy(GlobalLock(copy), data, size);
  GlobalUnlock(copy);
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(copy, TRUE, stream.Receive());
  if (FAILED(hr)) {
    GlobalFree(copy);
    return ComError(hr);
  }
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
  std::array<Entry, 10> entries;
  for (const PictureSpec& art : kPictures) {
    if (art.picture == Picture::kMonitor) continue;
    auto picture = LoadPicture(instance, ScaledResource(ResourceOf(art.picture), art_dpi));
    if (!picture) return picture.error();
    Entry& e = entries[static_cast<std::size_t>(art.picture)];
    OLE_HANDLE handle = 0;
    HRESULT hr = (*picture)->get_Handle(&handle);
    if (FAILED(hr)) return ComError(hr);
    e.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info{};
    GetObjectW(e.bitmap, sizeof info, &info);
    e.width = info.bmWidth;
    e.height = info.bmHeight;
    e.picture = std::move(picture).value();
  }
  const int side = ArtPixels(16, art_dpi);
  Icon monitor(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(ScaledResource(IDI_MONITOR, art_dpi)), IMAGE_ICON, side, side, 0)));
  if (!monitor) return ComError(HRESULT_FROM_WIN32(GetLastError()));
  entries_ = std::move(entries);
  monitor_ = std::move(monitor);
  art_dpi_ = art_dpi;
  return {};
}

void PictureSet::Draw(HDC dc, Picture picture, const PixelRect& r) const {
  if (picture == Picture::kMonitor) {
    DrawIconEx(dc, r.left, r.top, monitor_.get(), r.width, r.height, 0, nullptr, DI_NORMAL);
    return;
  }
  const Entry& e = entries_[static_cast<std::size_t>(picture)];
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
