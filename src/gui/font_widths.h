// Advance widths of the proportional interface font (character set 100), in pixels per byte value.
// The glyphs painted into the widget skin are drawn to exactly these advances, and every text
// measurement (string widths, wrapping, text-field fitting) reads them from here, never from the
// texture. Bytes without a glyph advance by 0.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

constexpr std::array<std::uint8_t, 256> make_font_width_table() {
  std::array<std::uint8_t, 256> widths{};  // everything unlisted is 0
  auto set = [&widths](std::string_view chars, std::uint8_t width) {
    for (char c : chars) widths[static_cast<unsigned char>(c)] = width;
  };
  set(",.", 2);
  set(" '/:;I\\`ijl|\xFB", 3);
  set("!()-J[]frst", 4);
  set("c", 5);
  set("#$*0123456789?EFLPSTZ^_aekvxyz"
      "\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA",
      6);
  set("+<=>BCKRVXYbdghnopqu", 7);
  set("&ADGHNU", 8);
  set("@OQw", 9);
  set("Mm", 10);
  set("%W", 11);
  return widths;
}

// font_widths[byte] is the pen advance of that byte in the proportional font.
inline constexpr std::array<std::uint8_t, 256> font_widths = make_font_width_table();

constexpr int font_char_width(unsigned char c) { return font_widths[c]; }

// Glyph cells of the interface font: 21 columns by 5 rows of 14 x 15 pixels at the bottom left of
// the widget skin, row 0 at the bottom.
inline constexpr int font_cell_width = 14;
inline constexpr int font_cell_height = 15;
inline constexpr int font_grid_columns = 21;
inline constexpr int font_grid_rows = 5;

// The characters of the glyph grid, row by row from the bottom, 21 per row, as Latin-1 bytes.
inline constexpr std::string_view font_grid_rows_text[font_grid_rows] = {
    " 0123456789AaBbCcDdEe",
    "FfGgHhIiJjKkLlMmNnOoP",
    "pQqRrSsTtUuVvWwXxYyZz",
    "!@#$%^&*()-_+=[]|\\':;",
    "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF",
};

struct FontCell {
  int column, row;
};

constexpr std::array<FontCell, 256> make_font_cell_table() {
  std::array<FontCell, 256> cells{};  // bytes without a glyph use cell (0, 0), the blank
  for (int row = 0; row < font_grid_rows; ++row)
    for (int column = 0; column < font_grid_columns; ++column)
      cells[static_cast<unsigned char>(font_grid_rows_text[row][column])] = {column, row};
  return cells;
}

// font_cells[byte] is the grid cell holding that byte's glyph.
inline constexpr std::array<FontCell, 256> font_cells = make_font_cell_table();
