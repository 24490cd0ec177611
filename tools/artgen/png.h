// Minimal PNG writer for previews of the generated pictures (8-bit RGBA, no filtering).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artgen {

// Writes `pixels` (R, G, B, A bytes, rows of `row_width` pixels, bottom row first) as a PNG of
// width x height, top row first as PNG wants it. Returns false when the file cannot be written.
bool write_png(const std::string& path, const std::vector<std::uint8_t>& pixels, int row_width,
               int width, int height);

}  // namespace artgen
