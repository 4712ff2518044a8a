// Feeds arbitrary bytes to the readers of the window's own pictures. Besides
// memory errors it checks what the window relies on when it makes bitmaps
// of what they return: a bitmap's header and rows lie inside the data, and
// a GIF's pixels are exactly its width times its height.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/bmp.h"
#include "ui/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (auto bmp = varnello::ui::ParseBmp(data, size)) {
    if (bmp->info + 40 > size || bmp->width <= 0 || bmp->height == 0) std::abort();
    const std::uint64_t depth = data[bmp->info + 14] | (data[bmp->info + 15] << 8);
    const std::uint64_t stride = (static_cast<std::uint64_t>(bmp->width) * depth + 31) / 32 * 4;
    const std::uint64_t rows = bmp->height < 0 ? -static_cast<std::int64_t>(bmp->height) : bmp->height;
    if (bmp->bits < bmp->info + 40 || bmp->bits + stride * rows > size) std::abort();
  }
  if (auto gif = varnello::ui::DecodeGif(data, size)) {
    if (gif->width <= 0 || gif->height <= 0 ||
        gif->pixels.size() != static_cast<std::size_t>(gif->width) * static_cast<std::size_t>(gif->height))
      std::abort();
  }
  return 0;
}
