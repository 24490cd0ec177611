// The three built-in pictures of the program and the painters that draw them.
#pragma once

#include <cstddef>

#include "canvas.h"

namespace artgen {

struct PictureSpec {
  const char* file_stem;  // output file name without extension
  int width, height;      // picture size
  int row_width;          // stored row length in pixels: the texture width
  std::size_t stored_bytes() const { return static_cast<std::size_t>(width) * height * 4; }
};

// In the order the arrays are laid out in the program: widget skin, installer skin, background.
inline constexpr PictureSpec gui_skin_spec{"gui_skin", 512, 512, 512};
inline constexpr PictureSpec installer_skin_spec{"installer_skin", 1010, 764, 1024};
inline constexpr PictureSpec installer_back_spec{"installer_back", 1024, 768, 1024};

// Each painter returns a canvas of the texture's full size (row_width x height).
Canvas paint_gui_skin();
Canvas paint_installer_skin();
Canvas paint_installer_back();

// Shared look: vertical gradient between two colours over [y0, y1] (c0 at the bottom).
inline auto vertical_gradient(float y0, float y1, Colour c0, Colour c1) {
  return [=](float, float y) { return mix(c0, c1, clamp01((y - y0) / (y1 - y0))); };
}

}  // namespace artgen
