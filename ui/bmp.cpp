#include "ui/bmp.h"

namespace varnello::ui {
namespace {

constexpr std::size_t kFileHeader = 14;  // BITMAPFILEHEADER
constexpr std::size_t kInfoHeader = 40;  // BITMAPINFOHEADER
constexpr std::uint32_t kRgb = 0, kBitfields = 3;

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
int U16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

}  // namespace

std::optional<BmpParts> ParseBmp(const std::uint8_t* data, std::size_t size) {
  if (!data || size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return std::nullopt;
  const std::uint8_t* info = data + kFileHeader;
  const std::uint64_t header = U32(info), bits_at = U32(data + 10);
  const auto width = static_cast<std::int32_t>(U32(info + 4)), height = static_cast<std::int32_t>(U32(info + 8));
  const int planes = U16(info + 12), depth = U16(info + 14);
  const std::uint32_t compression = U32(info + 16), used = U32(info + 32);
  if (header < kInfoHeader || header > size - kFileHeader || planes != 1) return std::nullopt;
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return std::nullopt;
  if (compression != kRgb && !(compression == kBitfields && (depth == 16 || depth == 32))) return std::nullopt;
  if (depth <= 8 && used > (1u << depth)) return std::nullopt;

  std::uint64_t table = depth <= 8 ? (used ? used : 1u << depth) * 4 : static_cast<std::uint64_t>(used) * 4;
  if (compression == kBitfields && header == kInfoHeader) table += 12;  // the three masks follow the header
  if (bits_at > size || kFileHeader + header + table > bits_at) return std::nullopt;
  const std::uint64_t row = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(depth) + 31) / 32 * 4;
  const std::uint64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (rows > (size - bits_at) / row) return std::nullopt;  // row is at least 4
  return BmpParts{kFileHeader, static_cast<std::size_t>(bits_at), width, height};
}

}  // namespace varnello::ui
