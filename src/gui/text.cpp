// Measuring and drawing text in the interface font.
#include "gui/text.h"

#include <GL/gl.h>

#include <cmath>

#include "app/alert.h"
#include "gui/colours.h"
#include "gui/draw.h"
#include "gui/font_widths.h"
#include "tex/texture_manager.h"

namespace {

constexpr float skin_size = 512;

bool is_line_control(unsigned char c) { return c == '\t' || c == '\n' || c == '\r'; }
bool is_break_char(unsigned char c) { return c == ' ' || c == '-' || c == '/'; }

// Halves away from zero, so glyphs always land on whole pixels.
float round_pixel(float v) { return std::round(v); }

}  // namespace

float string_width(const std::string& text) {
  float width = 0;
  for (unsigned char c : text) width += font_widths[c];
  return width;
}

int chars_fitting(const std::string& text, float width) {
  if (text.empty() || width <= 0) return 0;
  float left = width;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (left <= 0) return static_cast<int>(i);
    left -= font_widths[static_cast<unsigned char>(text[i])];
  }
  return static_cast<int>(text.size());
}

int chars_fitting_back(const std::string& text, float width) {
  if (text.empty()) return 0;
  float left = width;
  int count = 0;
  for (std::size_t i = text.size(); i-- > 0;) {
    if (left <= 0 && count > 0) return count;
    left -= font_widths[static_cast<unsigned char>(text[i])];
    ++count;
  }
  return count;
}

CharsetInfo begin_string(int charset, int colour) {
  CharsetInfo info;
  switch (charset) {
    case charset_proportional:
    case charset_fixed:
      info.texture = t_gui_skin;
      info.cell_width = font_cell_width;
      info.cell_height = font_cell_height;
      info.columns = font_grid_columns;
      info.fixed_advance = charset == charset_fixed ? 10 : 0;
      break;
    case charset_symbols:
      info.texture = t_symbol_font;
      info.cell_width = 13;
      info.cell_height = 13;
      info.columns = 40;
      info.fixed_advance = 15;
      break;
    default:
      show_alert(0, "String proc with bad charset!", "", "", "", t_exit, "oglp", __LINE__);
      return info;
  }
  set_gl_state(1, 1, lighting_off, blend_alpha, depth_off, depth_write_off);
  apply_colour(colour, 1.0f);
  bind_tex(info.texture, 0, 0);
  info.valid = true;
  return info;
}

void draw_string_line(int colour, float x, float y, const std::string& text, int charset,
                      int alignment) {
  const CharsetInfo set = begin_string(charset, colour);
  if (!set.valid) return;
  if (alignment == align_centre)
    x -= string_width(text) / 2;
  else if (alignment == align_right)
    x -= string_width(text);

  const float cw = static_cast<float>(set.cell_width), ch = static_cast<float>(set.cell_height);
  glBegin(GL_QUADS);
  for (unsigned char c : text) {
    if (is_line_control(c)) continue;
    int column, row;
    if (charset == charset_symbols) {
      column = c % set.columns;
      row = c / set.columns;
    } else {
      column = font_cells[c].column;
      row = font_cells[c].row;
    }
    const float left = static_cast<float>(static_cast<int>(x));
    const float bottom = static_cast<float>(static_cast<int>(y)) - 4;
    const float s0 = (set.origin_x + column * cw) / skin_size, s1 = s0 + cw / skin_size;
    const float t0 = (set.origin_y + row * ch) / skin_size, t1 = t0 + ch / skin_size;
    glTexCoord2f(s0, t0);
    glVertex2f(left, bottom);
    glTexCoord2f(s0, t1);
    glVertex2f(left, bottom + ch);
    glTexCoord2f(s1, t1);
    glVertex2f(left + cw, bottom + ch);
    glTexCoord2f(s1, t0);
    glVertex2f(left + cw, bottom);
    x += charset == charset_proportional ? font_widths[c] : set.fixed_advance;
  }
  glEnd();
}

std::vector<std::string> wrap_lines(const std::string& text, float wrap_width, int charset) {
  const float fixed_advance = charset == charset_fixed ? 10 : charset == charset_symbols ? 15 : 0;
  std::vector<std::string> lines;
  std::string line;
  float pen = 0;
  auto flush = [&] {
    lines.push_back(line);
    line.clear();
    pen = 0;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    line.push_back(static_cast<char>(c));
    if (c == '\n') {
      flush();
      continue;
    }
    pen += charset == charset_proportional ? font_widths[c] : fixed_advance;
    if (i + 1 == text.size()) {
      flush();
    } else if (is_break_char(c)) {
      // The next word is estimated at 6 pixels per byte.
      std::size_t end = i + 1;
      while (end < text.size() && !is_break_char(static_cast<unsigned char>(text[end]))) ++end;
      if (pen + 6.0f * static_cast<float>(end - (i + 1)) > wrap_width) flush();
    }
  }
  return lines;
}

float draw_string(int colour, float x, float y, const std::string& text, float wrap_width,
                  int charset, int alignment) {
  const CharsetInfo set = begin_string(charset, colour);
  if (!set.valid) return y;
  const DrawContext& d = draw_context();
  const float X = round_pixel(x + d.ox);
  float Y = round_pixel(y + d.oy - 2);

  if (wrap_width <= 0 || wrap_width >= 9999) {
    draw_string_line(colour, X, Y, text, charset, alignment);
    return Y - d.oy + 2;
  }

  for (const std::string& line : wrap_lines(text, wrap_width, charset)) {
    draw_string_line(colour, X, Y, line, charset, alignment);
    Y -= text_line_pitch;
  }
  return Y - d.oy + 2;
}

LabelLines label_lines(const std::string& label, int layout) {
  LabelLines out;
  if (!label.empty() && label[0] == '-') {
    out.first = label.substr(1);
    return out;
  }
  out.first = label;
  const int length = static_cast<int>(label.size());
  if (layout == 1 || length <= 12) return out;
  // The break character nearest the middle; on a tie the earlier one.
  const int middle = length / 2;
  int split = -1;
  for (int distance = 0; distance <= length && split < 0; ++distance) {
    if (middle - distance >= 0 && is_break_char(static_cast<unsigned char>(label[middle - distance])))
      split = middle - distance;
    else if (middle + distance < length &&
             is_break_char(static_cast<unsigned char>(label[middle + distance])))
      split = middle + distance;
  }
  if (split > 0 && split < length - 1) {
    out.first = label.substr(0, split);
    out.second = label.substr(split + 1);
    out.split = true;
  }
  return out;
}

void draw_label(float x, float y, int layout, const std::string& label, bool alert) {
  const int colour = alert ? 81 : col_metal_text;
  const int alignment = layout == 0 ? align_right : layout == 1 ? align_centre : align_left;
  const LabelLines lines = label_lines(label, layout);
  if (lines.split) {
    draw_string(colour, x, y + 5, lines.first, 0, charset_proportional, alignment);
    draw_string(colour, x, y - 5, lines.second, 0, charset_proportional, alignment);
  } else {
    draw_string(colour, x, y, lines.first, 0, charset_proportional, alignment);
  }
}
