// Built-in pictures: the embedded arrays match a fresh run of the generator byte for byte, have the
// stored layout the texture manager expects, hold a picture in every region the widgets and screens
// draw from, and the font glyphs fit the advance table the text code measures with. Needs no display.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/font_widths.h"
#include "support/files.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

// The generator's own font table, compiled in to compare it with the interface's.
#include "../../tools/artgen/canvas.cpp"
#include "../../tools/artgen/font.cpp"

namespace {

struct Rgba {
  int r, g, b, a;
};

Rgba texel(const BuiltinImage& image, int x, int y) {
  std::size_t at = (static_cast<std::size_t>(y) * image.texture_width + x) * 4;
  if (at + 4 > image.bytes) return {0, 0, 0, 0};  // beyond the stored array: transparent black
  const std::uint8_t* p = image.pixels + at;
  return {p[0], p[1], p[2], p[3]};
}

std::uint64_t fnv1a(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

// Runs the generator into `folder`; false when it did not run or failed.
bool regenerate(const test_support::TempDir& folder) {
  if (!folder.ok()) return false;
  std::string generator = std::string(VELMORA_BUILD_DIR) + "/artwork/velmora-artgen";
  pid_t pid = fork();
  if (pid == 0) {
    execl(generator.c_str(), generator.c_str(), "--out", folder.path().c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return false;
  return true;
}

TEST(BuiltinImages, EmbeddedArraysEqualAFreshRunOfTheGenerator) {
  const test_support::TempDir folder("velmora-artgen");
  ASSERT_TRUE(regenerate(folder)) << "the generator did not run";
  struct Case {
    const char* file;
    const BuiltinImage& image;
  } cases[] = {{"gui_skin.rgba", builtin_gui_skin()},
               {"installer_skin.rgba", builtin_installer_skin()},
               {"installer_back.rgba", builtin_installer_back()}};
  for (const Case& c : cases) {
    const std::string fresh = test_support::read_file(folder / c.file);
    ASSERT_EQ(fresh.size(), c.image.bytes) << c.file;
    EXPECT_EQ(fnv1a(reinterpret_cast<const std::uint8_t*>(fresh.data()), fresh.size()),
              fnv1a(c.image.pixels, c.image.bytes))
        << c.file;
  }
}

TEST(BuiltinImages, StoredLayoutIsPaddedRowsBackToBack) {
  struct Case {
    const BuiltinImage& image;
    int reference, width, height, texture_width;
    std::size_t bytes;
  } cases[] = {{builtin_installer_skin(), t_installer_skin, 1010, 764, 1024, 3086560},
               {builtin_installer_back(), t_installer_back, 1024, 768, 1024, 3145728},
               {builtin_gui_skin(), t_gui_skin, 512, 512, 512, 1048576}};
  ASSERT_EQ(builtin_images().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(&builtin_images()[i], &c.image) << "making order";
    EXPECT_EQ(c.image.reference, c.reference);
    EXPECT_EQ(c.image.width, c.width);
    EXPECT_EQ(c.image.height, c.height);
    EXPECT_EQ(c.image.texture_width, c.texture_width);
    EXPECT_EQ(c.image.bytes, c.bytes) << c.image.name;
  }
  // Read-only data order: widget skin, installer skin, background, with nothing between them.
  std::span<const std::uint8_t> block = builtin_artwork_block();
  EXPECT_EQ(block.data(), builtin_gui_skin().pixels);
  EXPECT_EQ(builtin_gui_skin().pixels + 1048576, builtin_installer_skin().pixels);
  EXPECT_EQ(builtin_installer_skin().pixels + 3086560, builtin_installer_back().pixels);
  EXPECT_EQ(block.size(), 1048576u + 3086560u + 3145728u);
}

TEST(BuiltinImages, BackgroundIsOpaqueAndSkinPaddingTransparent) {
  const BuiltinImage& back = builtin_installer_back();
  std::size_t translucent = 0;
  for (std::size_t i = 3; i < back.bytes; i += 4) translucent += back.pixels[i] != 255;
  EXPECT_EQ(translucent, 0u);
  // The installer skin is 1010 wide in 1024-wide rows: the padding columns carry nothing.
  const BuiltinImage& skin = builtin_installer_skin();
  int inked = 0;
  for (int y = 0; y < 754; ++y)
    for (int x = 1010; x < 1024; ++x) inked += texel(skin, x, y).a != 0;
  EXPECT_EQ(inked, 0);
}

// Every rectangle a widget or screen draws from must hold a picture: a centre at least as opaque as
// the piece needs (glass panels are translucent on purpose), or for icons ink over part of it.
TEST(BuiltinImages, RegionsUsedByWidgetsAndScreensHoldPictures) {
  struct Region {
    const char* label;
    const BuiltinImage& image;
    int x, y, w, h;
    int centre_alpha;  // least alpha at the centre; 0: check for ink anywhere instead
  };
  const BuiltinImage& gui = builtin_gui_skin();
  const BuiltinImage& ins = builtin_installer_skin();
  const Region regions[] = {
      {"push button", gui, 304, 486, 52, 26, 255},
      {"push button lit", gui, 304, 459, 52, 26, 255},
      {"progress trough", gui, 112, 161, 28, 16, 255},
      {"progress fill", gui, 83, 161, 28, 16, 255},
      {"text field box", gui, 262, 133, 51, 26, 255},
      {"pop-up list box", gui, 357, 488, 68, 24, 255},
      {"slider track", gui, 102, 248, 20, 40, 255},
      {"slider up arrow", gui, 83, 266, 18, 22, 255},
      {"slider thumb", gui, 83, 240, 18, 24, 255},
      {"slider down arrow", gui, 83, 216, 18, 22, 255},
      {"check box", gui, 139, 178, 18, 18, 255},
      {"check mark", gui, 139, 197, 18, 18, 255},
      {"radio", gui, 83, 123, 18, 18, 255},
      {"radio mark", gui, 83, 142, 18, 18, 255},
      {"close box", gui, 120, 178, 18, 18, 255},
      {"close box pressed", gui, 120, 197, 18, 18, 255},
      {"window panel", gui, 1, 358, 100, 100, 255},
      {"window panel 2", gui, 102, 358, 100, 100, 255},
      {"inner panel", gui, 203, 358, 100, 100, 255},
      {"tooltip panel", gui, 304, 358, 100, 100, 200},
      {"untitled panel", gui, 405, 358, 100, 100, 200},
      {"list panel", gui, 1, 289, 68, 68, 255},
      {"pop-up menu panel", gui, 70, 315, 42, 42, 255},
      {"folder icon", gui, 34, 82, 12, 12, 0},
      {"world map", ins, 0, 259, 1010, 494, 255},
      {"corner picture", ins, 644, 33, 128, 86, 0},
      {"installer panel", ins, 774, 78, 41, 41, 200},
  };
  for (const Region& r : regions) {
    if (r.centre_alpha > 0) {
      EXPECT_GE(texel(r.image, r.x + r.w / 2, r.y + r.h / 2).a, r.centre_alpha) << r.label;
      continue;
    }
    int ink = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) ink += texel(r.image, x, y).a > 0;
    EXPECT_GT(ink, r.w * r.h / 4) << r.label;
  }
}

TEST(BuiltinImages, GlobeFramesAreDiscsThatTurn) {
  const BuiltinImage& skin = builtin_installer_skin();
  auto frame_sum = [&skin](int n) {
    std::uint64_t sum = 0;
    int x0 = 64 * (n % 8), y0 = 66 + 64 * (n / 8);
    for (int y = y0; y < y0 + 64; ++y)
      for (int x = x0; x < x0 + 64; ++x) {
        Rgba t = texel(skin, x, y);
        sum = sum * 31 + t.r + 7 * t.g + 13 * t.b;
      }
    return sum;
  };
  for (int n = 8; n <= 23; ++n) {
    int x0 = 64 * (n % 8), y0 = 66 + 64 * (n / 8);
    EXPECT_EQ(texel(skin, x0 + 32, y0 + 32).a, 255) << "frame " << n;
    EXPECT_EQ(texel(skin, x0, y0).a, 0) << "frame " << n << " corner";
    EXPECT_EQ(texel(skin, x0 + 63, y0 + 63).a, 0) << "frame " << n << " corner";
    int next = n == 23 ? 8 : n + 1;
    EXPECT_NE(frame_sum(n), frame_sum(next)) << "frames " << n << " and " << next;
  }
}

// The labelled buttons: normal at v, hovered h + 1 lower, pressed 2 (h + 1) lower, each a distinct
// opaque picture.
TEST(BuiltinImages, InstallerButtonsHaveThreeStates) {
  const BuiltinImage& skin = builtin_installer_skin();
  struct Button {
    const char* label;
    int u, v, w, h;
  } buttons[] = {{"Destination", 513, 166, 126, 22},
                 {"Install", 640, 166, 83, 22},
                 {"Store", 822, 235, 116, 22},
                 {"Quit", 780, 166, 51, 22}};
  for (const Button& b : buttons) {
    std::uint64_t sums[3] = {};
    for (int state = 0; state < 3; ++state) {
      int y0 = b.v - state * (b.h + 1);
      EXPECT_EQ(texel(skin, b.u + 2, y0 + b.h / 2).a, 255) << b.label << " state " << state;
      for (int y = y0; y < y0 + b.h; ++y)
        for (int x = b.u; x < b.u + b.w; ++x) {
          Rgba t = texel(skin, x, y);
          sums[state] = sums[state] * 31 + t.r + 3 * t.g + 5 * t.b + 7 * t.a;
        }
    }
    EXPECT_NE(sums[0], sums[1]) << b.label << ": hover looks like normal";
    EXPECT_NE(sums[0], sums[2]) << b.label << ": pressed looks like normal";
  }
}

// The installer skin is filtered linearly and its panel is sliced at fractional texels, so each
// piece needs a clear border: a neighbour's paint would bleed into its edges.
TEST(BuiltinImages, InstallerPiecesHaveClearBorders) {
  const BuiltinImage& skin = builtin_installer_skin();
  struct Piece {
    const char* label;
    int x, y, w, h;
  } pieces[] = {
      {"Destination", 513, 120, 126, 68}, {"Install", 640, 120, 83, 68}, {"Quit", 780, 120, 51, 68},
      {"Store", 822, 189, 116, 68},       {"panel", 774, 78, 41, 41},    {"corner picture", 644, 33, 128, 86},
  };
  for (const Piece& p : pieces) {
    int inked = 0;
    for (int x = p.x - 1; x <= p.x + p.w; ++x)
      inked += texel(skin, x, p.y - 1).a != 0, inked += texel(skin, x, p.y + p.h).a != 0;
    for (int y = p.y; y < p.y + p.h; ++y)
      inked += texel(skin, p.x - 1, y).a != 0, inked += texel(skin, p.x + p.w, y).a != 0;
    EXPECT_EQ(inked, 0) << p.label;
  }
}

// The palette is sampled one pixel per colour: each swatch must be uniform and opaque around the
// sampled pixel, so a swatch drawn one pixel off still gives the intended colour.
TEST(BuiltinImages, PaletteSwatchesAreUniformAroundTheSampledPixels) {
  const BuiltinImage& skin = builtin_gui_skin();
  const int sampled[][2] = {{319, 155}, {319, 147}, {319, 139}, {319, 131}, {319, 123},
                            {319, 115}, {319, 107}, {319, 99},  {319, 91},  {395, 115},
                            {319, 83},  {319, 75},  {319, 67}};
  for (const auto& p : sampled) {
    Rgba centre = texel(skin, p[0], p[1]);
    EXPECT_EQ(centre.a, 255) << p[0] << "," << p[1];
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        Rgba t = texel(skin, p[0] + dx, p[1] + dy);
        EXPECT_TRUE(t.r == centre.r && t.g == centre.g && t.b == centre.b && t.a == 255)
            << "swatch at " << p[0] << "," << p[1] << " differs at offset " << dx << "," << dy;
      }
  }
  // The menu text and menu rectangle colours must differ, or menus would be unreadable.
  Rgba rect = texel(skin, 319, 147), text = texel(skin, 319, 123);
  EXPECT_GT(std::abs(rect.r - text.r) + std::abs(rect.g - text.g) + std::abs(rect.b - text.b), 150);
}

TEST(BuiltinImages, GeneratorFontTableEqualsTheInterfaceTable) {
  const auto& generator = artgen::advance_table();
  for (int c = 0; c < 256; ++c) EXPECT_EQ(generator[c], font_widths[c]) << "byte " << c;
  for (int row = 0; row < font_grid_rows; ++row)
    EXPECT_EQ(artgen::glyph_grid[row], font_grid_rows_text[row]) << "grid row " << row;
}

// Glyphs as embedded: every character of the grid has ink, its ink ends before its advance (so
// letters never touch or overlap), and letters without descenders sit on the baseline 4 pixels
// above the cell's bottom.
TEST(BuiltinImages, GlyphsFitTheirAdvancesAndSitOnTheBaseline) {
  const BuiltinImage& skin = builtin_gui_skin();
  const std::string descenders = "gjpqy,;()[]|_\xBF";
  for (int row = 0; row < font_grid_rows; ++row)
    for (int column = 0; column < font_grid_columns; ++column) {
      unsigned char code = static_cast<unsigned char>(font_grid_rows_text[row][column]);
      int x0 = column * font_cell_width, y0 = row * font_cell_height;
      int right = -1, bottom = font_cell_height;
      for (int y = 0; y < font_cell_height; ++y)
        for (int x = 0; x < font_cell_width; ++x)
          if (texel(skin, x0 + x, y0 + y).a > 0) right = std::max(right, x), bottom = std::min(bottom, y);
      if (code == ' ') {
        EXPECT_EQ(right, -1) << "the blank cell must stay blank";
        continue;
      }
      ASSERT_GE(right, 0) << "no glyph for byte " << int(code);
      EXPECT_LT(right + 1, font_widths[code]) << "glyph of byte " << int(code) << " reaches its advance";
      bool has_descender = descenders.find(static_cast<char>(code)) != std::string::npos;
      bool on_baseline = std::isalnum(code) || (code >= 0xC0 && code != 0xFB);
      if (has_descender) {
        EXPECT_LT(bottom, 4) << "byte " << int(code) << " should reach below the baseline";
      } else if (on_baseline) {
        EXPECT_EQ(bottom, 4) << "byte " << int(code) << " should sit on the baseline";
      }
    }
}

}  // namespace
