// The colour table's defaults and the sampling of the interface palette from the widget skin.
#include "gui/colours.h"

#include <initializer_list>

namespace {

constexpr void set_defaults(Rgb* e) {
  auto set = [e](std::initializer_list<int> numbers, float r, float g, float b) {
    for (int n : numbers) e[n] = {r, g, b};
  };
  set({0}, 1, 1, 1);
  set({1}, 1, 0.2f, 0.2f);
  set({2}, 1, 1, 0.2f);
  set({3}, 0.7f, 0.7f, 0.7f);
  set({4}, 0.8f, 0, 0);
  set({5}, 1, 1, 0);
  set({6}, 0.3f, 0.3f, 0.3f);
  set({7}, 0.2f, 0, 0);
  set({8}, 1, 0.8f, 0.2f);
  set({9, 22}, 0.1f, 0.1f, 0.1f);
  set({10}, 0, 0.8f, 0);
  set({13}, 0, 0.4f, 0);
  set({15, 59}, 0.4f, 0.4f, 1);
  set({17}, 0, 0, 0.6f);
  set({18, 21}, 0.9f, 0.9f, 0.9f);
  set({19}, 0.8f, 0.1f, 0.1f);
  set({20}, 0.9f, 0.9f, 1);
  set({24, 29, 64}, 1, 1, 0);
  set({26, 27, 28, 31, 32, 33, 49, 88, 105}, 1, 1, 1);
  set({50}, 0.4f, 1, 0.4f);
  set({51}, 1, 0.4f, 0.4f);
  set({52}, 1, 1, 0.6f);
  set({53}, 0.7f, 0.7f, 1);
  set({54}, 1, 0.5f, 0);
  set({55}, 0.8f, 0.8f, 0.8f);
  set({56}, 0, 1, 0);
  set({57}, 1, 0.2f, 0.2f);
  set({58}, 1, 1, 0.2f);
  set({60}, 0.5f, 0.3f, 0);
  set({61}, 0.5f, 0.5f, 0.5f);
  set({62}, 0, 0.6f, 0);
  set({63}, 0.6f, 0.2f, 0);
  set({65}, 0.2f, 0.2f, 0.8f);
  set({66}, 1, 0.4f, 0);
  set({67}, 0.2f, 0.2f, 0.2f);
  set({68}, 0, 0.2f, 0);
  set({69}, 1, 0, 0);
  set({70}, 0.6f, 0.6f, 0);
  set({71}, 0.15f, 0.15f, 0.6f);
  set({72}, 0.49f, 0.43f, 0.24f);
  set({74}, 0, 0.1f, 0);
  set({75}, 1, 0.2f, 1);
  set({76, 85, 87}, 1, 0, 1);
  set({77}, 0, 1, 1);
  set({78}, 0.44f, 0.53f, 0.54f);
  set({97, 99}, 0.5f, 0.5f, 0.4f);
  set({98}, 1, 0.3f, 0);
  set({100}, 0.8f, 0.8f, 0.7f);
  set({101}, 0, 0.6f, 0.2f);
  set({102}, 1, 1, 0.9f);
}

}  // namespace

constexpr ColourTable make_default_colours() {
  ColourTable table{};
  set_defaults(table.entries);
  return table;
}

// Constant-initialised, so the defaults exist before any code of the program runs.
namespace {
constinit ColourTable the_colour_table = make_default_colours();
}

ColourTable& colour_table() { return the_colour_table; }

Rgb colour(int number) {
  if (number < 0 || number >= colour_count) return {0, 0, 0};
  return the_colour_table.entries[number];
}

void set_colour(int number, float r, float g, float b) {
  if (number < 0 || number >= colour_count) return;
  the_colour_table.entries[number] = {r, g, b};
}

const PaletteSwatch palette_swatches[13] = {
    {col_background, 319, 155},        {col_menu_rect, 319, 147},
    {col_menu_hilite, 319, 139},       {col_menu_rect2, 319, 131},
    {col_menu_text, 319, 123},         {col_subtitle_bar_text, 319, 115},
    {col_tab_front, 319, 107},         {col_tab_back, 319, 99},
    {col_metal_text, 319, 91},         {col_cockpit_maker_text, 395, 115},
    {col_list_text, 319, 83},          {col_pen_line, 319, 75},
    {col_glass_help_text, 319, 67},
};

void sample_interface_palette(const std::uint8_t* skin, int row_pixels) {
  for (const PaletteSwatch& s : palette_swatches) {
    const std::uint8_t* p = skin + (static_cast<long>(s.y) * row_pixels + s.x) * 4;
    set_colour(s.colour, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  }
  const Rgb a = colour(col_menu_rect), b = colour(col_menu_text);
  set_colour(col_menu_mid, (a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2);
}
