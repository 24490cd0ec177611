// Text in the interface font: measuring with the width table, drawing one aligned line, drawing a
// block with word wrapping, and the two-line label layout of buttons. Strings are 8-bit (ASCII and
// a few Latin-1 letters) and drawn glyph by glyph as textured quads from the widget skin.
#pragma once

#include <string>
#include <vector>

// Character sets.
enum : int {
  charset_proportional = 100,  // widget skin font, advances from the width table
  charset_fixed = 102,         // the same glyphs, 10 pixels per character
  charset_symbols = 103,       // symbol sheet (texture 396), 15 pixels per character
};

enum TextAlignment : int { align_left = 0, align_centre = 1, align_right = 2 };

constexpr float text_line_pitch = 10;  // between wrapped lines
constexpr float wrap_none = 10000;     // the usual wrap width of unwrapped text

struct CharsetInfo {
  bool valid = false;
  int texture = 0;
  int cell_width = 0, cell_height = 0;
  int origin_x = 0, origin_y = 0;
  int columns = 0;        // glyph grid columns (sheet layout)
  float fixed_advance = 0;  // 0 for the proportional set
};

float string_width(const std::string& text);
// How many characters from the start begin before `width` runs out (the one that crosses the limit
// counts); the whole length if it never runs out; 0 for an empty string or a width of 0 or less.
int chars_fitting(const std::string& text, float width);
// The same walking back from the end; at least 1 for a non-empty string.
int chars_fitting_back(const std::string& text, float width);

// Sets the GL state for text, applies the colour, binds the set's texture and describes the set.
// A set other than 100, 102 or 103 raises the bad-charset alert and returns an invalid set.
CharsetInfo begin_string(int charset, int colour);

// One line at window-relative pen position (x, y) with the given alignment.
void draw_string_line(int colour, float x, float y, const std::string& text, int charset,
                      int alignment);

// Text at layout position (x, y), wrapped at `wrap_width` unless it is 0 or less or 9999 or more.
// Returns the y of the line below the last one drawn (the given y, rounded, when unwrapped).
float draw_string(int colour, float x, float y, const std::string& text, float wrap_width,
                  int charset, int alignment);

// The lines draw_string makes of `text` at a wrap width between 0 and 9999: a line ends at a
// newline (kept, not drawn) or after the blank, "-" or "/" where the next word would pass the
// width; words are never split.
std::vector<std::string> wrap_lines(const std::string& text, float wrap_width, int charset);

// How draw_label lays a label out: one line, or two (first above, second below) split at the
// blank, "-" or "/" nearest the middle.
struct LabelLines {
  std::string first, second;
  bool split = false;
};
LabelLines label_lines(const std::string& label, int layout);

// Button-label layout: 0 right-aligned at x, 1 centred at x without splitting, 2 left-aligned.
// Long labels are split in two lines; a leading "-" keeps a label on one line and is not drawn.
void draw_label(float x, float y, int layout, const std::string& label, bool alert);
