// The interface font of the widget skin, typed as bitmaps: a proportional pixel font in 14 x 15
// cells with its advance table, plus a tiny capitals-only font used for the colour legend.
//
// Cell metrics: row 0 is the bottom of a cell. The baseline is row 4 (text is drawn with the cell
// 4 pixels below the pen), capitals and ascenders reach row 11, the x-height is 6 rows (rows 4 to
// 9), descenders use rows 2 and 3, and accents sit above at rows 11-12 (small letters) or 13-14
// (capitals).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "canvas.h"

namespace artgen {

constexpr int glyph_cell_width = 14;
constexpr int glyph_cell_height = 15;
constexpr int glyph_grid_columns = 21;
constexpr int glyph_grid_rows = 5;
constexpr int glyph_baseline_row = 4;

// Characters of the grid, row by row from the bottom, as Latin-1 bytes.
extern const std::array<std::string_view, glyph_grid_rows> glyph_grid;

// Pen advance of every byte value; 0 for bytes that have no glyph.
const std::array<std::uint8_t, 256>& advance_table();

// One glyph: `coverage(col, row)` is 0 .. 1 (row counted from the bottom of the cell).
struct Glyph {
  std::uint8_t code = 0;
  std::array<std::array<std::uint8_t, glyph_cell_width>, glyph_cell_height> ink{};  // 0 .. 255
  float coverage(int column, int row) const { return ink[row][column] / 255.0f; }
};

// The glyph of a byte (blank for bytes outside the grid).
const Glyph& glyph_for(unsigned char code);

// Paints every cell of the glyph grid into `canvas` with its bottom-left corner at (x, y): white
// ink with alpha, so the program can tint it with any colour.
void paint_glyph_grid(Canvas& canvas, int x, int y);

// Width of a text in pixels, by the advance table.
int text_width(std::string_view text);

// Draws text 1:1 with its baseline at `baseline_y` and its left end at x, in the given colour.
void draw_text(Canvas& canvas, int x, int baseline_y, std::string_view text, const Colour& colour);
void draw_text_centred(Canvas& canvas, float centre_x, int baseline_y, std::string_view text,
                       const Colour& colour);

// Draws text enlarged by `scale` with smoothed outlines (the bitmap is interpolated and its 50 %
// contour taken), for titles. (x, baseline_y) is the left end of the baseline.
void draw_text_smooth(Canvas& canvas, float x, float baseline_y, std::string_view text, float scale,
                      const Colour& colour);
float smooth_text_width(std::string_view text, float scale);

// The tiny capitals font (5 rows high), for legend labels.
int tiny_text_width(std::string_view text);
void draw_tiny_text(Canvas& canvas, int x, int bottom_y, std::string_view text, const Colour& colour);

}  // namespace artgen
