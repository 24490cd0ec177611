// Text measuring, wrapping and label layout as tables, and where glyphs land on a real frame.
#include "gui/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/log.h"
#include "gl_test_window.h"
#include "support/files.h"
#include "gui/font_widths.h"
#include "tex/texture_manager.h"

namespace {

TEST(TextMeasure, StringWidth) {
  struct Case {
    const char* label;
    std::string text;
    float width;
  } cases[] = {
      {"empty", "", 0},
      {"Hi", "Hi", 11},
      {"digits", "0123456789", 60},
      {"widest letters", "%WMm", 42},
      {"controls count 0", "a\tb\nc\r", 18},
      {"double quote and braces", "\"{}~", 0},
      {"latin-1 letters", "\xC1\xF1\xBF\xFB", 21},
      {"unlisted high byte", "\x80\xFF", 0},
      {"sentence", "Install Velmora.", 3 + 7 + 4 + 4 + 6 + 3 + 3 + 3 + 7 + 6 + 3 + 10 + 7 + 4 + 6 + 2},
  };
  for (const Case& c : cases) EXPECT_EQ(string_width(c.text), c.width) << c.label;
}

TEST(TextMeasure, CharsFitting) {
  struct Case {
    const char* label;
    std::string text;
    float width;
    int forward, backward;
  } cases[] = {
      // "abc": a 6, b 7, c 5
      {"empty string", "", 100, 0, 0},
      {"zero width", "abc", 0, 0, 1},
      {"negative width", "abc", -5, 0, 1},
      {"crossing character counts", "abc", 10, 2, 2},
      {"exact fit stops before next", "abc", 13, 2, 3},
      {"exact fit backwards", "abc", 12, 2, 2},
      {"one pixel more starts the next", "abc", 14, 3, 3},
      {"never runs out", "abc", 1000, 3, 3},
      {"tiny width keeps one", "abc", 0.5f, 1, 1},
      {"zero-width bytes ride along", "a\"\"b", 6, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chars_fitting(c.text, c.width), c.forward) << c.label;
    EXPECT_EQ(chars_fitting_back(c.text, c.width), c.backward) << c.label;
  }
}

TEST(TextWrap, Lines) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* label;
    std::string text;
    float width;
    Lines lines;
  } cases[] = {
      {"fits on one line", "one two", 400, {"one two"}},
      {"breaks after blanks only",
       "The installer fetches the server list. Then it reads the manifest and signs every file.",
       150,
       {"The installer fetches the ", "server list. Then it reads the ", "manifest and signs every ",
        "file."}},
      {"long word is never split", "Supercalifragilistic", 30, {"Supercalifragilistic"}},
      {"hyphen stays on the first line", "aaaa well-known", 60, {"aaaa well-", "known"}},
      {"slash is a break", "folder/subfolder", 40, {"folder/", "subfolder"}},
      {"newline always breaks and is kept", "a\nb", 400, {"a\n", "b"}},
      {"trailing newline", "a\n", 400, {"a\n"}},
      {"empty text draws nothing", "", 400, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wrap_lines(c.text, c.width, charset_proportional), c.lines) << c.label;
  // Fixed-advance sets wrap by their advance.
  EXPECT_EQ(wrap_lines("ab cd ef", 45, charset_fixed), (Lines{"ab cd ", "ef"}));
}

TEST(TextLabel, Layout) {
  struct Case {
    const char* label;
    std::string text;
    int layout;
    bool split;
    std::string first, second;
  } cases[] = {
      {"short label", "Install", 0, false, "Install", ""},
      {"long label splits nearest the middle", "Choose Destination", 2, true, "Choose", "Destination"},
      {"centred layout never splits", "Choose Destination", 1, false, "Choose Destination", ""},
      {"leading hyphen: dropped, one line", "-ABCDEFGHIJKLMNO", 0, false, "ABCDEFGHIJKLMNO", ""},
      {"tie goes to the earlier break", "abcdef ghi jklmn", 0, true, "abcdef", "ghi jklmn"},
      {"nearest break wins", "abcde fg hijklm", 0, true, "abcde fg", "hijklm"},
      {"break at the last character is no split", "abcdefghijklm ", 0, false, "abcdefghijklm ", ""},
      {"no break character", "abcdefghijklmnop", 2, false, "abcdefghijklmnop", ""},
      {"exactly 12 characters", "abcde fghijk", 0, false, "abcde fghijk", ""},
  };
  for (const Case& c : cases) {
    const LabelLines l = label_lines(c.text, c.layout);
    EXPECT_EQ(l.split, c.split) << c.label;
    EXPECT_EQ(l.first, c.first) << c.label;
    EXPECT_EQ(l.second, c.second) << c.label;
  }
}

// A skin whose glyph cells are solid white, so every drawn glyph shows as its full 14 x 15 cell.
void load_solid_glyph_skin() {
  std::uint8_t* scratch = scratch_pixels();
  std::memset(scratch, 0, 512 * 512 * 4);
  for (int y = 0; y < font_cell_height * font_grid_rows; ++y)
    for (int x = 0; x < font_cell_width * font_grid_columns; ++x)
      std::memset(scratch + (y * 512 + x) * 4, 255, 4);
  // The blank cell stays transparent, as the real font's space does.
  for (int y = 0; y < font_cell_height; ++y) std::memset(scratch + y * 512 * 4, 0, font_cell_width * 4);
  set_scratch_size(512, 512);
  ASSERT_EQ(load_tex(4, t_gui_skin, 0x502, 100, "scratch_array:test glyphs"), t_gui_skin);
}

class TextFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    load_solid_glyph_skin();
    draw_context().ox = draw_context().oy = 0;
    clear_to_black();
  }
};

TEST_F(TextFrame, GlyphsLandOnRoundedPixels) {
  struct Case {
    const char* label;
    float x, y;
    std::string text;
    int alignment;
    int left, bottom, right;
  } cases[] = {
      // Pen (round(x), round(y - 2)); the cell's bottom is 4 below the pen.
      {"whole pixels", 10, 20, "I", align_left, 10, 14, 24},
      {"halves round up", 10.5f, 20.5f, "I", align_left, 11, 15, 25},
      {"below half rounds down", 10.4f, 20.4f, "I", align_left, 10, 14, 24},
      // "Hi" is 11 wide: centred at 100 the first glyph starts at 94.5, drawn at 94.
      {"centred Hi", 100, 20, "Hi", align_centre, 94, 14, 94 + 8 + 14},
      {"right aligned Hi", 100, 20, "Hi", align_right, 89, 14, 89 + 8 + 14},
  };
  for (const Case& c : cases) {
    clear_to_black();
    EXPECT_EQ(draw_string(0, c.x, c.y, c.text, wrap_none, charset_proportional, c.alignment),
              std::round(c.y - 2) + 2)
        << c.label;
    const Frame::Box box = read_frame().lit_box();
    EXPECT_EQ(box.left, c.left) << c.label;
    EXPECT_EQ(box.bottom, c.bottom) << c.label;
    EXPECT_EQ(box.right, c.right) << c.label;
    EXPECT_EQ(box.top, c.bottom + 15) << c.label;
  }
}

TEST_F(TextFrame, WrappedTextReturnsTheLineBelow) {
  const std::string text = "The installer fetches the server list. Then it reads the manifest.";
  const size_t lines = wrap_lines(text, 150, charset_proportional).size();
  ASSERT_EQ(lines, 3u);
  EXPECT_EQ(draw_string(0, 20, 300, text, 150, charset_proportional, align_left), 300 - 10.0f * lines);
  // The unwrapped form ignores newlines and returns the given y.
  clear_to_black();
  EXPECT_EQ(draw_string(0, 20, 300, "one\ntwo", wrap_none, charset_proportional, align_left), 300);
  const Frame::Box box = read_frame().lit_box();
  EXPECT_EQ(box.top - box.bottom, 15) << "one line only";
}

TEST_F(TextFrame, LayoutOriginShiftsText) {
  draw_context().ox = 112;
  draw_context().oy = 84;
  draw_string(0, 10, 20, "I", wrap_none, charset_proportional, align_left);
  const Frame::Box box = read_frame().lit_box();
  EXPECT_EQ(box.left, 122);
  EXPECT_EQ(box.bottom, 98);
  draw_context().ox = draw_context().oy = 0;
}

TEST_F(TextFrame, DoubleQuoteDrawsNothing) {
  draw_string(0, 10, 20, "\"\"\"", wrap_none, charset_proportional, align_left);
  EXPECT_EQ(read_frame().lit_box().count, 0);
}

TEST(TextAlert, BadCharsetEndsTheProgram) {
  const test_support::TempDir dir("velmora-text");
  ASSERT_TRUE(dir.ok());
  const std::string log_path = dir / "Log.txt";
  EXPECT_EXIT(
      {
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        log_open(log_path);
        draw_string(0, 10, 10, "x", wrap_none, 101, align_left);
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
  const std::string log = test_support::read_file(log_path);
  EXPECT_NE(log.find("String proc with bad charset!"), std::string::npos);
  EXPECT_NE(log.find("(oglp line"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlWindowEnvironment);
  return RUN_ALL_TESTS();
}
