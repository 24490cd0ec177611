// The colour table: 106 colours addressed by number, each red, green, blue from 0 to 1. Defaults
// exist from program start; the interface palette (34 to 47) is sampled from the widget skin at
// start-up; the pulsing colours (79 to 84) are rewritten by the frame loop every frame.
#pragma once

#include <cstdint>

constexpr int colour_count = 106;

// Interface palette numbers, sampled from the skin's colour legend.
enum : int {
  col_background = 34,
  col_menu_rect = 35,
  col_menu_hilite = 36,
  col_menu_rect2 = 37,
  col_menu_text = 38,
  col_menu_mid = 39,  // mean of 35 and 38
  col_subtitle_bar_text = 40,
  col_tab_front = 41,
  col_tab_back = 42,
  col_metal_text = 43,
  col_cockpit_maker_text = 44,
  col_list_text = 45,
  col_pen_line = 46,
  col_glass_help_text = 47,
  col_button_scratch = 103,  // set by installer buttons just before drawing
};

struct Rgb {
  float r, g, b;
};

struct ColourTable {
  Rgb entries[colour_count];
};

ColourTable& colour_table();

// The entry for `number`; numbers outside the table read as black.
Rgb colour(int number);
void set_colour(int number, float r, float g, float b);

// Fills colours 34 to 47 from the legend pixels of a widget skin: RGBA bytes, rows of
// `row_pixels` pixels, bottom row first.
void sample_interface_palette(const std::uint8_t* skin, int row_pixels);

// Skin pixel (x, y from the bottom row) that each palette colour is sampled from; colour 39 has none.
struct PaletteSwatch {
  int colour, x, y;
};
extern const PaletteSwatch palette_swatches[13];
