// Minimal PNG writer (see png.h): one IDAT chunk compressed with zlib.
#include "png.h"

#include <zlib.h>

#include <cstdio>

namespace artgen {

namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  put_u32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

bool write_png(const std::string& path, const std::vector<std::uint8_t>& pixels, int row_width,
               int width, int height) {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (width * 4 + 1));
  for (int y = height - 1; y >= 0; --y) {
    raw.push_back(0);  // filter type: none
    for (int x = 0; x < width; ++x) {
      std::size_t at = (static_cast<std::size_t>(y) * row_width + x) * 4;
      for (int k = 0; k < 4; ++k) raw.push_back(at + k < pixels.size() ? pixels[at + k] : 0);
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    return false;
  packed.resize(packed_size);

  std::vector<std::uint8_t> header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace

  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(file, "IHDR", header);
  put_chunk(file, "IDAT", packed);
  put_chunk(file, "IEND", {});

  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace artgen
