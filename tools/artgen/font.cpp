// Glyph bitmaps of the interface font and the tiny legend font, and the text painters built on them.
//
// Each glyph is typed as rows of '#' (ink), '+' (half ink, to soften a curve) and '.' (none), from
// its top row down; `top` is the cell row of the first string. Every glyph keeps at least one clear
// column before its advance, so neighbouring letters never touch.
#include "font.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/font_widths.h"

namespace artgen {

// The program's own grid and advances, so the glyphs are drawn to exactly what text measuring uses.
const std::array<std::string_view, glyph_grid_rows> glyph_grid = {
    font_grid_rows_text[0], font_grid_rows_text[1], font_grid_rows_text[2],
    font_grid_rows_text[3], font_grid_rows_text[4],
};

namespace {

struct GlyphArt {
  unsigned char code;
  int top;
  const char* rows;
};

// Capitals and digits span rows 11..4, small letters rows 9..4, descenders reach row 2.
constexpr GlyphArt glyph_art[] = {
    // digits
    {'0', 11, ".###.|#...#|#..##|#.#.#|#.#.#|##..#|#...#|.###."},
    {'1', 11, "..#..|.##..|#.#..|..#..|..#..|..#..|..#..|#####"},
    {'2', 11, ".###.|#...#|....#|...#.|..#..|.#...|#....|#####"},
    {'3', 11, ".###.|#...#|....#|..##.|....#|....#|#...#|.###."},
    {'4', 11, "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.|...#."},
    {'5', 11, "#####|#....|#....|####.|....#|....#|#...#|.###."},
    {'6', 11, "..##.|.#...|#....|####.|#...#|#...#|#...#|.###."},
    {'7', 11, "#####|....#|...#.|...#.|..#..|..#..|.#...|.#..."},
    {'8', 11, ".###.|#...#|#...#|.###.|#...#|#...#|#...#|.###."},
    {'9', 11, ".###.|#...#|#...#|#...#|.####|....#|...#.|.##.."},
    // capitals
    {'A', 11, "...#...|..#.#..|..#.#..|.#...#.|.#...#.|.#####.|#.....#|#.....#"},
    {'B', 11, "#####.|#....#|#....#|#####.|#....#|#....#|#....#|#####."},
    {'C', 11, ".####.|#....#|#.....|#.....|#.....|#.....|#....#|.####."},
    {'D', 11, "#####.|#....#|#....#|#....#|#....#|#....#|#....#|#####."},
    {'E', 11, "#####|#....|#....|####.|#....|#....|#....|#####"},
    {'F', 11, "#####|#....|#....|####.|#....|#....|#....|#...."},
    {'G', 11, ".#####.|#.....#|#......|#......|#...###|#.....#|#.....#|.#####."},
    {'H', 11, "#....#|#....#|#....#|######|#....#|#....#|#....#|#....#"},
    {'I', 11, "#|#|#|#|#|#|#|#"},
    {'J', 11, "..#|..#|..#|..#|..#|..#|#.#|.#."},
    {'K', 11, "#....#|#...#.|#..#..|#.#...|###...|#..#..|#...#.|#....#"},
    {'L', 11, "#....|#....|#....|#....|#....|#....|#....|#####"},
    {'M', 11, "#.......#|##.....##|#.#...#.#|#..#.#..#|#...#...#|#.......#|#.......#|#.......#"},
    {'N', 11, "#....#|##...#|##...#|#.#..#|#..#.#|#...##|#...##|#....#"},
    {'O', 11, "..###..|.#...#.|#.....#|#.....#|#.....#|#.....#|.#...#.|..###.."},
    {'P', 11, "####.|#...#|#...#|#...#|####.|#....|#....|#...."},
    {'Q', 11, "..###..|.#...#.|#.....#|#.....#|#.....#|#...#.#|.#...#.|..###.#"},
    {'R', 11, "#####.|#....#|#....#|#....#|#####.|#..#..|#...#.|#....#"},
    {'S', 11, ".###.|#...#|#....|.###.|....#|....#|#...#|.###."},
    {'T', 11, "#####|..#..|..#..|..#..|..#..|..#..|..#..|..#.."},
    {'U', 11, "#....#|#....#|#....#|#....#|#....#|#....#|#....#|.####."},
    {'V', 11, "#...#|#...#|#...#|.#.#.|.#.#.|.#.#.|..#..|..#.."},
    {'W', 11, "#.......#|#.......#|#...#...#|#...#...#|.#.#.#.#.|.#.#.#.#.|.#.#.#.#.|..#...#.."},
    {'X', 11, "#...#|#...#|.#.#.|..#..|..#..|.#.#.|#...#|#...#"},
    {'Y', 11, "#...#|#...#|.#.#.|..#..|..#..|..#..|..#..|..#.."},
    {'Z', 11, "#####|....#|...#.|..#..|..#..|.#...|#....|#####"},
    // small letters
    {'a', 9, ".###.|....#|.####|#...#|#..##|.##.#"},
    {'b', 11, "#.....|#.....|#.###.|##...#|#....#|#....#|##...#|#.###."},
    {'c', 9, ".###|#...|#...|#...|#...|.###"},
    {'d', 11, ".....#|.....#|.###.#|#...##|#....#|#....#|#...##|.###.#"},
    {'e', 9, ".###.|#...#|#####|#....|#...#|.###."},
    {'f', 11, ".##|#..|###|#..|#..|#..|#..|#.."},
    {'g', 9, ".###.#|#...##|#....#|#....#|#...##|.###.#|.....#|.####."},
    {'h', 11, "#.....|#.....|#.###.|##...#|#....#|#....#|#....#|#....#"},
    {'i', 11, "#|.|#|#|#|#|#|#"},
    {'j', 11, ".#|..|.#|.#|.#|.#|.#|.#|.#|#."},
    {'k', 11, "#....|#....|#..#.|#.#..|##...|#.#..|#..#.|#...#"},
    {'l', 11, "#.|#.|#.|#.|#.|#.|#.|.#"},
    {'m', 9, "#.##..##.|##..##..#|#...#...#|#...#...#|#...#...#|#...#...#"},
    {'n', 9, "#.###.|##...#|#....#|#....#|#....#|#....#"},
    {'o', 9, ".####.|#....#|#....#|#....#|#....#|.####."},
    {'p', 9, "#.###.|##...#|#....#|#....#|##...#|#.###.|#.....|#....."},
    {'q', 9, ".###.#|#...##|#....#|#....#|#...##|.###.#|.....#|.....#"},
    {'r', 9, "#.#|##.|#..|#..|#..|#.."},
    {'s', 9, ".##|#..|#..|.#.|..#|##."},
    {'t', 10, "#..|###|#..|#..|#..|#..|.##"},
    {'u', 9, "#....#|#....#|#....#|#....#|#...##|.###.#"},
    {'v', 9, "#...#|#...#|.#.#.|.#.#.|..#..|..#.."},
    {'w', 9, "#.....#|#.....#|#..#..#|#..#..#|.#.#.#.|.#...#."},
    {'x', 9, "#...#|.#.#.|..#..|..#..|.#.#.|#...#"},
    {'y', 9, "#...#|#...#|.#.#.|.#.#.|..#..|..#..|.#...|#...."},
    {'z', 9, "#####|...#.|..#..|.#...|#....|#####"},
    // punctuation and symbols
    {'!', 11, ".#|.#|.#|.#|.#|.#|..|.#"},
    {'@', 11, "..####..|.#....#.|#..###.#|#.#..#.#|#.#..#.#|#..####.|.#......|..####.."},
    {'#', 10, ".#.#.|.#.#.|#####|.#.#.|#####|.#.#.|.#.#."},
    {'$', 12, "..#..|.####|#.#..|#.#..|.###.|..#.#|..#.#|####.|..#.."},
    {'%', 11, ".##....#|#..#..#.|.##..#..|....#...|...#....|..#..##.|.#..#..#|#....##."},
    {'^', 11, "..#..|.#.#.|#...#"},
    {'&', 11, ".##...|#..#..|#..#..|.##...|#..#.#|#...#.|#...#.|.###.#"},
    {'*', 10, "..#..|#.#.#|.###.|#.#.#|..#.."},
    {'(', 11, "..#|.#.|#..|#..|#..|#..|#..|#..|.#.|..#"},
    {')', 11, "#..|.#.|..#|..#|..#|..#|..#|..#|.#.|#.."},
    {'-', 7, "###"},
    {'_', 3, "#####"},
    {'+', 9, "..#..|..#..|#####|..#..|..#.."},
    {'=', 8, "#####|.....|#####"},
    {'[', 11, "###|#..|#..|#..|#..|#..|#..|#..|#..|###"},
    {']', 11, "###|..#|..#|..#|..#|..#|..#|..#|..#|###"},
    {'|', 12, "#|#|#|#|#|#|#|#|#|#|#"},
    {'\\', 11, "#.|#.|#.|#.|.#|.#|.#|.#"},
    {'\'', 11, "#|#|#"},
    {':', 8, "#|.|.|.|#"},
    {';', 8, "#|.|.|.|#|#|+"},
    {'<', 10, "...#|..#.|.#..|#...|.#..|..#.|...#"},
    {'.', 4, "#"},
    {'>', 10, "#...|.#..|..#.|...#|..#.|.#..|#..."},
    {',', 4, "#|#|+"},
    {'?', 11, ".###.|#...#|....#|...#.|..#..|..#..|.....|..#.."},
    {'/', 11, ".#|.#|.#|.#|#.|#.|#.|#."},
    {'`', 11, "#.|.#"},
    {0xFB, 11, "##|##"},                                                       // degree sign
    {0xC1, 14, "...#.|..#..|.....|..#..|.#.#.|.#.#.|#...#|#...#|#####|#...#|#...#"},  // A acute
    {0xE1, 12, "...#.|..#..|.....|.###.|....#|.####|#...#|#..##|.##.#"},               // a acute
    {0xC9, 14, "...#.|..#..|.....|#####|#....|#....|####.|#....|#....|#....|#####"},  // E acute
    {0xE9, 12, "...#.|..#..|.....|.###.|#...#|#####|#....|#...#|.###."},               // e acute
    {0xCD, 14, "...#.|..#..|.....|..#..|..#..|..#..|..#..|..#..|..#..|..#..|..#.."},  // I acute
    {0xED, 12, "...#.|..#..|.....|..#..|..#..|..#..|..#..|..#..|..#.."},               // i acute
    {0xD3, 14, "...#.|..#..|.....|.###.|#...#|#...#|#...#|#...#|#...#|#...#|.###."},  // O acute
    {0xF3, 12, "...#.|..#..|.....|.###.|#...#|#...#|#...#|#...#|.###."},               // o acute
    {0xDA, 14, "...#.|..#..|.....|#...#|#...#|#...#|#...#|#...#|#...#|#...#|.###."},  // U acute
    {0xFA, 12, "...#.|..#..|.....|#...#|#...#|#...#|#...#|#..##|.##.#"},               // u acute
    {0xD1, 14, ".##.#|#.##.|.....|#...#|##..#|##..#|#.#.#|#.#.#|#..##|#..##|#...#"},  // N tilde
    {0xF1, 12, ".##.#|#.##.|.....|#.##.|##..#|#...#|#...#|#...#|#...#"},               // n tilde
    {0xBF, 9, "..#..|.....|..#..|..#..|.#...|#....|#...#|.###."},                      // inverted ?
};

std::array<Glyph, 256> build_glyphs() {
  std::array<Glyph, 256> glyphs{};
  const auto& advances = advance_table();
  for (int code = 0; code < 256; ++code) glyphs[code].code = static_cast<std::uint8_t>(code);
  for (const GlyphArt& art : glyph_art) {
    Glyph& g = glyphs[art.code];
    int row = art.top, column = 0;
    for (const char* p = art.rows;; ++p) {
      if (*p == '|' || *p == 0) {
        --row, column = 0;
        if (*p == 0) break;
        continue;
      }
      if (row < 0 || row >= glyph_cell_height || column >= glyph_cell_width) {
        std::fprintf(stderr, "artgen: glyph 0x%02X leaves its cell\n", art.code);
        std::exit(1);
      }
      g.ink[row][column] = *p == '#' ? 255 : (*p == '+' ? 128 : 0);
      ++column;
      // A glyph's ink must end before its advance, leaving the gap that separates letters.
      if (*p != '.' && column > advances[art.code] - 1) {
        std::fprintf(stderr, "artgen: glyph 0x%02X is wider than its advance %d\n", art.code,
                     advances[art.code]);
        std::exit(1);
      }
    }
  }
  return glyphs;
}

const std::array<Glyph, 256>& glyphs() {
  static const std::array<Glyph, 256> table = build_glyphs();
  return table;
}

}  // namespace

const std::array<std::uint8_t, 256>& advance_table() { return font_widths; }

const Glyph& glyph_for(unsigned char code) { return glyphs()[code]; }

void paint_glyph_grid(Canvas& canvas, int x, int y) {
  for (int row = 0; row < glyph_grid_rows; ++row)
    for (int column = 0; column < glyph_grid_columns; ++column) {
      const Glyph& g = glyph_for(static_cast<unsigned char>(glyph_grid[row][column]));
      int cx = x + column * glyph_cell_width, cy = y + row * glyph_cell_height;
      canvas.clear_rect(cx, cy, cx + glyph_cell_width, cy + glyph_cell_height);
      for (int r = 0; r < glyph_cell_height; ++r)
        for (int c = 0; c < glyph_cell_width; ++c)
          if (g.ink[r][c]) canvas.set_straight(cx + c, cy + r, {1, 1, 1, g.coverage(c, r)});
    }
}

int text_width(std::string_view text) {
  int w = 0;
  for (char c : text) w += advance_table()[static_cast<unsigned char>(c)];
  return w;
}

void draw_text(Canvas& canvas, int x, int baseline_y, std::string_view text, const Colour& colour) {
  for (char ch : text) {
    unsigned char code = static_cast<unsigned char>(ch);
    const Glyph& g = glyph_for(code);
    for (int r = 0; r < glyph_cell_height; ++r)
      for (int c = 0; c < glyph_cell_width; ++c)
        if (g.ink[r][c]) canvas.blend(x + c, baseline_y - glyph_baseline_row + r, colour, g.coverage(c, r));
    x += advance_table()[code];
  }
}

void draw_text_centred(Canvas& canvas, float centre_x, int baseline_y, std::string_view text,
                       const Colour& colour) {
  draw_text(canvas, static_cast<int>(std::floor(centre_x - text_width(text) / 2.0f)), baseline_y, text,
            colour);
}

float smooth_text_width(std::string_view text, float scale) { return text_width(text) * scale; }

void draw_text_smooth(Canvas& canvas, float x, float baseline_y, std::string_view text, float scale,
                      const Colour& colour) {
  for (char ch : text) {
    unsigned char code = static_cast<unsigned char>(ch);
    const Glyph& g = glyph_for(code);
    auto ink_at = [&g](int c, int r) {
      if (c < 0 || r < 0 || c >= glyph_cell_width || r >= glyph_cell_height) return 0.0f;
      return g.coverage(c, r);
    };
    float left = x, bottom = baseline_y - glyph_baseline_row * scale;
    int x0 = static_cast<int>(std::floor(left)) - 1, y0 = static_cast<int>(std::floor(bottom)) - 1;
    int x1 = static_cast<int>(std::ceil(left + glyph_cell_width * scale)) + 1;
    int y1 = static_cast<int>(std::ceil(bottom + glyph_cell_height * scale)) + 1;
    for (int py = y0; py < y1; ++py)
      for (int px = x0; px < x1; ++px) {
        // 3 x 3 samples per pixel of the bilinearly interpolated bitmap, thresholded at one half.
        float cover = 0;
        for (int sy = 0; sy < 3; ++sy)
          for (int sx = 0; sx < 3; ++sx) {
            float u = (px + (sx + 0.5f) / 3 - left) / scale - 0.5f;
            float v = (py + (sy + 0.5f) / 3 - bottom) / scale - 0.5f;
            int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
            float fu = u - iu, fv = v - iv;
            float a = ink_at(iu, iv) * (1 - fu) + ink_at(iu + 1, iv) * fu;
            float b = ink_at(iu, iv + 1) * (1 - fu) + ink_at(iu + 1, iv + 1) * fu;
            float value = a * (1 - fv) + b * fv;
            cover += smoothstep(0.38f, 0.62f, value);
          }
        if (cover > 0) canvas.blend(px, py, colour, cover / 9);
      }
    x += advance_table()[code] * scale;
  }
}

// ---- tiny legend font: capitals 3 to 5 columns wide, 5 rows high -------------------------------

namespace {

struct TinyGlyph {
  char code;
  const char* rows;  // top row first
};

constexpr TinyGlyph tiny_glyphs[] = {
    {'A', ".#.|#.#|###|#.#|#.#"}, {'B', "##.|#.#|##.|#.#|##."}, {'C', ".##|#..|#..|#..|.##"},
    {'D', "##.|#.#|#.#|#.#|##."}, {'E', "###|#..|##.|#..|###"}, {'F', "###|#..|##.|#..|#.."},
    {'G', ".##|#..|#.#|#.#|.##"}, {'H', "#.#|#.#|###|#.#|#.#"}, {'I', "###|.#.|.#.|.#.|###"},
    {'J', "..#|..#|..#|#.#|.#."}, {'K', "#.#|#.#|##.|#.#|#.#"}, {'L', "#..|#..|#..|#..|###"},
    {'M', "#...#|##.##|#.#.#|#...#|#...#"}, {'N', "#..#|##.#|#.##|#..#|#..#"},
    {'O', ".#.|#.#|#.#|#.#|.#."}, {'P', "##.|#.#|##.|#..|#.."}, {'Q', ".#.|#.#|#.#|##.|.##"},
    {'R', "##.|#.#|##.|#.#|#.#"}, {'S', ".##|#..|.#.|..#|##."}, {'T', "###|.#.|.#.|.#.|.#."},
    {'U', "#.#|#.#|#.#|#.#|###"}, {'V', "#.#|#.#|#.#|#.#|.#."}, {'W', "#...#|#...#|#.#.#|##.##|#...#"},
    {'X', "#.#|#.#|.#.|#.#|#.#"}, {'Y', "#.#|#.#|.#.|.#.|.#."}, {'Z', "###|..#|.#.|#..|###"},
    {'-', "...|...|###|...|..."}, {'0', "###|#.#|#.#|#.#|###"}, {'1', ".#.|##.|.#.|.#.|###"},
    {'2', "##.|..#|.#.|#..|###"}, {'3', "##.|..#|.#.|..#|##."},
};

const TinyGlyph* tiny_glyph(char c) {
  for (const TinyGlyph& g : tiny_glyphs)
    if (g.code == c) return &g;
  return nullptr;
}

int tiny_glyph_width(const TinyGlyph& g) {
  int w = 0;
  while (g.rows[w] && g.rows[w] != '|') ++w;
  return w;
}

}  // namespace

int tiny_text_width(std::string_view text) {
  int w = 0;
  for (char c : text) {
    const TinyGlyph* g = tiny_glyph(c);
    w += g ? tiny_glyph_width(*g) + 1 : 3;
  }
  return w > 0 ? w - 1 : 0;
}

void draw_tiny_text(Canvas& canvas, int x, int bottom_y, std::string_view text, const Colour& colour) {
  for (char c : text) {
    const TinyGlyph* g = tiny_glyph(c);
    if (!g) {
      x += 3;
      continue;
    }
    int row = 4, column = 0;
    for (const char* p = g->rows; *p; ++p) {
      if (*p == '|') {
        --row, column = 0;
        continue;
      }
      if (*p == '#') canvas.blend(x + column, bottom_y + row, colour);
      ++column;
    }
    x += tiny_glyph_width(*g) + 1;
  }
}

}  // namespace artgen
