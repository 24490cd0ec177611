// The widget skin: a 512 x 512 atlas holding every piece the widgets draw (bars, panels, buttons,
// check boxes, slider parts, close boxes, file-kind icons), the interface font and the colour
// legend from which the program takes its interface palette.
//
// [SECTION] look      shared colours and piece painters
// [SECTION] bars      horizontal bars: menu and title bands, push buttons, progress, fields, pop-ups
// [SECTION] panels    nine-slice panels
// [SECTION] controls  check boxes, radio buttons, slider, close boxes
// [SECTION] icons     file-kind icons
// [SECTION] legend    palette swatches and their labels
//
// Positions are texels from the left and from the bottom row. Each piece stays inside its own
// rectangle; the middle slices of bars and panels are uniform along the direction in which the
// widgets repeat them, so repeated and cut pieces join without seams.
#include <cmath>
#include <string_view>

#include "artwork.h"
#include "font.h"

namespace artgen {

namespace {

// ---- [SECTION] look ------------------------------------------------------------------------------

const Colour ink_dark = rgb(0x1f252d);
const Colour border_grey = rgb(0x6f7987);
const Colour border_soft = rgb(0x9aa3af);
const Colour face_top = rgb(0xfbfcfd);
const Colour face_bottom = rgb(0xd6dbe2);
const Colour accent = rgb(0x3b7dd8);
const Colour accent_dark = rgb(0x23569e);
const Colour white = rgb(0xffffff);
const Colour shadow = rgb(0x000000, 0.30f);

// A soft drop shadow under a rounded rectangle.
void drop_shadow(Canvas& c, float x0, float y0, float x1, float y1, float radius, float blur,
                 const Colour& colour = shadow) {
  c.fill_sdf(static_cast<int>(x0 - blur) - 1, static_cast<int>(y0 - blur) - 1,
             static_cast<int>(x1 + blur) + 2, static_cast<int>(y1 + blur) + 2,
             [=](float x, float y) { return sd_round_rect(x, y, x0, y0, x1, y1, radius); },
             [=](float, float) { return colour; }, blur);
}

// A raised face: gradient fill, one-pixel border and a white highlight along the top inside edge.
void raised_face(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour top,
                 Colour bottom, Colour border) {
  c.fill_round_rect(x0, y0, x1, y1, radius, border);
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1, vertical_gradient(y0, y1, bottom, top));
  c.fill_sdf(static_cast<int>(x0), static_cast<int>(y1) - 3, static_cast<int>(x1) + 1,
             static_cast<int>(y1) + 1,
             [=](float x, float y) {
               float d = sd_round_rect(x, y, x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1);
               return std::max(d, -d - 1.0f);
             },
             [=](float, float y) { return with_alpha(white, y > y1 - 2.5f ? 0.85f : 0.0f); });
}

// A sunken well: border, fill and an inner shadow along the top edge.
void sunken_well(Canvas& c, float x0, float y0, float x1, float y1, float radius, Colour fill,
                 Colour border) {
  c.fill_round_rect(x0, y0, x1, y1, radius, border);
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(0.0f, radius - 1), fill);
  c.fill_sdf(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1) + 1,
             static_cast<int>(y1) + 1,
             [=](float x, float y) { return sd_round_rect(x, y, x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius); },
             [=](float, float y) {
               float depth = (y1 - 1) - y;  // pixels below the inner top edge
               return rgb(0x000000, depth < 1 ? 0.16f : (depth < 2 ? 0.07f : 0.0f));
             });
}

// ---- [SECTION] bars ------------------------------------------------------------------------------

void menu_bar(Canvas& c) {  // 100 x 25 at (1, 487); the region's 26th row lies beyond the atlas
  const float x0 = 1, y0 = 487, x1 = 101, y1 = 512;
  c.paint(1, 489, 101, 512, vertical_gradient(y0 + 2, y1, rgb(0xd0d6de), rgb(0xf6f7f9)));
  c.fill_rect(x0, y0 + 2, x1, y0 + 3, border_soft);
  c.fill_rect(x0, y1 - 1, x1, y1, white);
  c.paint(1, 487, 101, 489, [](float, float y) { return rgb(0x000000, y < 488 ? 0.08f : 0.18f); });
}

void title_band(Canvas& c) {  // 100 x 25 at (102, 487), caps 20
  const float x0 = 102, y0 = 489, x1 = 202, y1 = 511;
  drop_shadow(c, x0 + 1, y0, x1 - 1, y1 - 1, 8, 3);
  raised_face(c, x0 + 1, y0, x1 - 1, y1, 8, rgb(0x4a78b8), rgb(0x234677), rgb(0x17304f));
}

void push_button(Canvas& c, float y_base, bool lit) {  // 52 x 26 at (304, y_base)
  const float x0 = 304, x1 = 356;
  float y0 = y_base + 2, y1 = y_base + 22;
  if (!lit) {
    drop_shadow(c, x0 + 1.5f, y0 - 1, x1 - 1.5f, y1 - 2, 5, 3, rgb(0x000000, 0.28f));
    raised_face(c, x0 + 0.5f, y0, x1 - 0.5f, y1, 5, face_top, face_bottom, border_grey);
  } else {
    // The lit look is drawn over the normal one: a blue-tinted face with a glowing rim.
    c.fill_round_rect(x0, y0 - 0.5f, x1, y1 + 0.5f, 5.5f, rgb(0x5b9cf0, 0.45f));
    raised_face(c, x0 + 0.5f, y0, x1 - 0.5f, y1, 5, rgb(0xeaf3ff), rgb(0xa8c9f2), accent_dark);
  }
}

void progress_trough(Canvas& c) {  // 28 x 16 at (112, 161)
  const float x0 = 112, y0 = 161, x1 = 140, y1 = 177;
  c.fill_round_rect(x0, y0, x1, y1, 7, rgb(0xffffff, 0.35f));  // light lower rim
  sunken_well(c, x0, y0 + 1, x1, y1, 6.5f, rgb(0x3a4452), rgb(0x1b2129));
  c.paint(112, 162, 140, 176, [](float, float y) { return rgb(0x000000, y > 174 ? 0.25f : 0.0f); });
}

void progress_fill(Canvas& c) {  // 28 x 16 at (83, 161), drawn over the trough
  const float x0 = 83, y0 = 161, x1 = 111, y1 = 177;
  c.fill_round_rect(x0 + 2, y0 + 3, x1 - 2, y1 - 2, 4.5f,
                    vertical_gradient(y0 + 3, y1 - 2, rgb(0x1d62c4), rgb(0x6db5ff)));
  c.fill_round_rect(x0 + 3, y0 + 8.5f, x1 - 3, y1 - 3, 3.5f, rgb(0xffffff, 0.28f));  // gloss
}

void spare_bar_wide(Canvas& c) {  // 65 x 24 at (240, 242)
  raised_face(c, 240.5f, 243, 304.5f, 265, 4, rgb(0xf1f3f6), rgb(0xc9cfd8), border_soft);
}

void spare_bar_small(Canvas& c) {  // 16 x 16 at (289, 219)
  sunken_well(c, 289.5f, 220, 304.5f, 234, 3, rgb(0xe7eaef), border_soft);
}

void text_field_box(Canvas& c) {  // 51 x 26 at (262, 133)
  const float x0 = 262, y0 = 136, x1 = 313, y1 = 156;
  c.fill_round_rect(x0, y0 - 1, x1, y1, 3.5f, rgb(0xffffff, 0.55f));  // light lower rim
  sunken_well(c, x0 + 0.5f, y0, x1 - 0.5f, y1, 3, white, rgb(0x7f8895));
}

void popup_box(Canvas& c) {  // 68 x 24 at (357, 488), arrow in the right cap
  const float x0 = 357, x1 = 425, y0 = 490, y1 = 506;
  drop_shadow(c, x0 + 1.5f, y0 - 1, x1 - 1.5f, y1 - 2, 5, 3, rgb(0x000000, 0.25f));
  raised_face(c, x0 + 0.5f, y0, x1 - 0.5f, y1, 5, face_top, face_bottom, border_grey);
  c.fill_rect(x0 + 44, y0 + 3, x0 + 45, y1 - 3, rgb(0x000000, 0.18f));
  c.fill_rect(x0 + 45, y0 + 3, x0 + 46, y1 - 3, rgb(0xffffff, 0.7f));
  float ax = x0 + 56, ay = (y0 + y1) / 2;
  c.fill_polygon({{ax - 4, ay + 2}, {ax + 4, ay + 2}, {ax, ay - 3}}, ink_dark);
}

// ---- [SECTION] panels ----------------------------------------------------------------------------

// Panels of side 100 with margins 9 (sides), 14 (bottom) and 4 (top) around their content: the body
// sits inside the margins with a drop shadow below it.
void window_panel(Canvas& c, int x, int y, bool front) {
  const float x0 = x + 3, y0 = y + 8, x1 = x + 97, y1 = y + 99.5f;
  drop_shadow(c, x0 + 1, y0 - 3, x1 - 1, y1 - 4, 7, 8, rgb(0x000000, 0.45f));
  c.fill_round_rect(x0, y0, x1, y1, 6, rgb(0x46505e));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, front ? rgb(0xdfe3e8) : rgb(0xd2d7de));
  // The title bar: the top 26 rows of the window, over which the title and close boxes are drawn.
  float tb = y + 73.5f;
  Colour top = front ? rgb(0x4b7bbd) : rgb(0xe9edf2);
  Colour bottom = front ? rgb(0x23487f) : rgb(0xbcc4ce);
  c.fill_sdf(x, static_cast<int>(tb), x + 100, y + 100,
             [=](float px, float py) {
               return std::max(sd_round_rect(px, py, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), tb - py);
             },
             vertical_gradient(tb, y1, bottom, top));
  c.fill_rect(x0 + 1, tb - 1, x1 - 1, tb, rgb(0x000000, 0.35f));
  c.fill_rect(x0 + 1, tb - 2, x1 - 1, tb - 1, rgb(0xffffff, 0.6f));
  c.fill_rect(x0 + 6, y1 - 2, x1 - 6, y1 - 1, rgb(0xffffff, front ? 0.35f : 0.8f));
}

void inner_panel(Canvas& c, int x, int y) {  // light inset panel
  const float x0 = x + 4, y0 = y + 9, x1 = x + 96, y1 = y + 99;
  drop_shadow(c, x0 + 1, y0 - 2, x1 - 1, y1 - 3, 6, 6, rgb(0x000000, 0.25f));
  c.fill_round_rect(x0, y0, x1, y1, 6, rgb(0x8f99a6));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, rgb(0xf4f6f9));
  c.fill_rect(x0 + 5, y1 - 2, x1 - 5, y1 - 1, white);
}

void glass_panel(Canvas& c, int x, int y, Colour tint) {  // dark translucent panel
  const float x0 = x + 4, y0 = y + 9, x1 = x + 96, y1 = y + 99;
  drop_shadow(c, x0 + 1, y0 - 2, x1 - 1, y1 - 3, 7, 8, rgb(0x000000, 0.35f));
  c.fill_round_rect(x0, y0, x1, y1, 7, rgb(0xffffff, 0.40f));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6, with_alpha(tint, 0.88f));
  c.fill_rect(x0 + 7, y1 - 2, x1 - 7, y1 - 1, rgb(0xffffff, 0.18f));
}

void list_panel(Canvas& c) {  // 68 x 68 at (1, 289), margins 2
  sunken_well(c, 1.5f, 289.5f, 68.5f, 356.5f, 2, white, rgb(0x7f8895));
}

void menu_panel(Canvas& c, int x, int y, float bottom_margin) {  // 42 x 42, margins 8 / 13 / 2
  const float x0 = x + 3, y0 = y + bottom_margin - 4, x1 = x + 39, y1 = y + 41.5f;
  drop_shadow(c, x0 + 1, y0 - 2, x1 - 1, y1 - 3, 4, 6, rgb(0x000000, 0.35f));
  c.fill_round_rect(x0, y0, x1, y1, 4, rgb(0x7d8795));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 3, rgb(0xfbfcfd));
}

void small_panel(Canvas& c) {  // 44 x 44 at (440, 12), margins 6 / 9 / 4
  const float x0 = 442, y0 = 17, x1 = 482, y1 = 55;
  drop_shadow(c, x0 + 1, y0 - 2, x1 - 1, y1 - 3, 5, 5, rgb(0x000000, 0.3f));
  c.fill_round_rect(x0, y0, x1, y1, 5, rgb(0x8f99a6));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 4, rgb(0xeef1f5));
}

// ---- [SECTION] controls --------------------------------------------------------------------------

void check_box(Canvas& c, float x, float y, bool on) {  // 18 x 18 with its corner at (x, y)
  const float x0 = x + 2, y0 = y + 2, x1 = x + 16, y1 = y + 16;
  if (!on) {
    c.fill_round_rect(x0, y0 - 1, x1, y1, 3.5f, rgb(0xffffff, 0.5f));
    sunken_well(c, x0, y0, x1, y1, 3, white, rgb(0x6f7987));
    return;
  }
  c.fill_round_rect(x0, y0 - 1, x1, y1, 3.5f, rgb(0xffffff, 0.5f));
  c.fill_round_rect(x0, y0, x1, y1, 3, accent_dark);
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2, vertical_gradient(y0, y1, rgb(0x2f6fcb), rgb(0x5f9ff0)));
  c.draw_line(x + 5.2f, y + 9.2f, x + 8, y + 6.2f, 2.0f, white);
  c.draw_line(x + 8, y + 6.2f, x + 13, y + 12.6f, 2.0f, white);
}

void radio_button(Canvas& c, float x, float y, bool on) {
  float cx = x + 9, cy = y + 9;
  c.fill_circle(cx, cy - 0.5f, 7.5f, rgb(0xffffff, 0.5f));
  if (!on) {
    c.fill_circle(cx, cy, 7, rgb(0x6f7987));
    c.fill_circle(cx, cy, 6, vertical_gradient(cy - 6, cy + 6, white, rgb(0xe4e8ed)));
    c.stroke_circle(cx, cy - 0.4f, 5.6f, 1.0f, rgb(0x000000, 0.08f));
    return;
  }
  c.fill_circle(cx, cy, 7, accent_dark);
  c.fill_circle(cx, cy, 6, vertical_gradient(cy - 6, cy + 6, rgb(0x2f6fcb), rgb(0x5f9ff0)));
  c.fill_circle(cx, cy, 2.6f, white);
}

void slider_track(Canvas& c) {  // frame0 type 6: 20 x 40 at (102, 248)
  sunken_well(c, 105.5f, 248, 116.5f, 288, 5.5f, rgb(0xc5cbd3), rgb(0x8a93a0));
}

void slider_arrow(Canvas& c, float y, bool up) {  // 18 x 22 at (83, y)
  const float x0 = 83.5f, x1 = 100.5f, y0 = y + 1.5f, y1 = y + 20.5f;
  raised_face(c, x0, y0, x1, y1, 4, face_top, face_bottom, border_grey);
  float cx = 92, cy = (y0 + y1) / 2;
  if (up)
    c.fill_polygon({{cx - 4.5f, cy - 2}, {cx + 4.5f, cy - 2}, {cx, cy + 3}}, ink_dark);
  else
    c.fill_polygon({{cx - 4.5f, cy + 2}, {cx + 4.5f, cy + 2}, {cx, cy - 3}}, ink_dark);
}

void slider_thumb(Canvas& c) {  // 18 x 24 at (83, 240)
  const float x0 = 83.5f, x1 = 100.5f, y0 = 241.5f, y1 = 262.5f;
  raised_face(c, x0, y0, x1, y1, 5, rgb(0xeef4fc), rgb(0xb9cde8), rgb(0x4f6f9c));
  for (int k = -1; k <= 1; ++k) {
    float gy = 252 + 3 * k;
    c.fill_rect(87, gy, 97, gy + 1, rgb(0x33507a, 0.7f));
    c.fill_rect(87, gy - 1, 97, gy, rgb(0xffffff, 0.8f));
  }
}

void close_box(Canvas& c, float y, bool pressed) {  // 18 x 18 at (120, y), on the title bar
  float cx = 129, cy = y + 9;
  c.fill_circle(cx, cy, 7.5f, rgb(0x0b1a30, 0.6f));
  if (!pressed)
    c.fill_circle(cx, cy, 6.5f, vertical_gradient(cy - 7, cy + 7, rgb(0x2d5590), rgb(0x6f9bd8)));
  else
    c.fill_circle(cx, cy, 6.5f, vertical_gradient(cy - 7, cy + 7, rgb(0xd65a4a), rgb(0x8f2418)));
  c.stroke_circle(cx, cy, 6.5f, 1.0f, rgb(0xffffff, pressed ? 0.25f : 0.45f));
  Colour mark = rgb(0xffffff, pressed ? 1.0f : 0.92f);
  c.draw_line(cx - 2.6f, cy - 2.6f, cx + 2.6f, cy + 2.6f, 1.6f, mark);
  c.draw_line(cx - 2.6f, cy + 2.6f, cx + 2.6f, cy - 2.6f, 1.6f, mark);
}

// ---- [SECTION] icons -----------------------------------------------------------------------------

// 12 x 12 file-kind icons along t = 82 .. 94, each drawn with its corner at (x, 82).
void icon_folder(Canvas& c, float x) {
  const float y = 82;
  c.fill_round_rect(x + 0.5f, y + 8, x + 5.5f, y + 11, 1, rgb(0xc98e1c));
  c.fill_round_rect(x + 0.5f, y + 1, x + 11.5f, y + 10, 1.2f, rgb(0xb07a12));
  c.fill_round_rect(x + 1.5f, y + 2, x + 10.5f, y + 9.3f, 0.8f, vertical_gradient(y + 2, y + 9, rgb(0xf0b43c), rgb(0xffd97a)));
  c.fill_rect(x + 1.5f, y + 8.3f, x + 10.5f, y + 9.3f, rgb(0xfff1c4));
}

void icon_page(Canvas& c, float x, Colour band, int lines) {
  const float y = 82;
  c.fill_polygon({{x + 1.5f, y + 0.5f}, {x + 10.5f, y + 0.5f}, {x + 10.5f, y + 8.5f},
                  {x + 7.5f, y + 11.5f}, {x + 1.5f, y + 11.5f}},
                 rgb(0x6f7987));
  c.fill_polygon({{x + 2.5f, y + 1.5f}, {x + 9.5f, y + 1.5f}, {x + 9.5f, y + 8}, {x + 7, y + 10.5f},
                  {x + 2.5f, y + 10.5f}},
                 white);
  c.fill_polygon({{x + 7, y + 10.5f}, {x + 7, y + 8}, {x + 9.5f, y + 8}}, rgb(0xc3c9d1));
  for (int i = 0; i < lines; ++i) c.fill_rect(x + 3.5f, y + 7 - 2 * i, x + 8.5f, y + 8 - 2 * i, band);
}

void icon_picture(Canvas& c, float x) {
  const float y = 82;
  c.fill_rect(x + 0.5f, y + 1.5f, x + 11.5f, y + 10.5f, rgb(0x6f7987));
  c.fill_round_rect(x + 1.5f, y + 2.5f, x + 10.5f, y + 9.5f, 0, vertical_gradient(y + 2, y + 10, rgb(0xbfe0ff), rgb(0x5aa0e8)));
  c.fill_polygon({{x + 1.5f, y + 2.5f}, {x + 5, y + 7}, {x + 7, y + 5}, {x + 8.5f, y + 6.5f},
                  {x + 10.5f, y + 4.5f}, {x + 10.5f, y + 2.5f}},
                 rgb(0x3f8f4a));
  c.fill_circle(x + 8.3f, y + 8, 1.2f, rgb(0xffe27a));
}

void icon_archive(Canvas& c, float x) {
  const float y = 82;
  c.fill_round_rect(x + 1.5f, y + 0.5f, x + 10.5f, y + 11.5f, 1, rgb(0x7a5a2a));
  c.fill_round_rect(x + 2.5f, y + 1.5f, x + 9.5f, y + 10.5f, 0.5f, vertical_gradient(y + 1, y + 11, rgb(0xc8924a), rgb(0xe8bb78)));
  for (int i = 0; i < 4; ++i) c.fill_rect(x + 5.5f, y + 10.5f - 2 * i - 1, x + 6.5f, y + 10.5f - 2 * i, rgb(0x3a2a10));
  c.fill_rect(x + 4.5f, y + 2, x + 7.5f, y + 4.5f, rgb(0x3a2a10));
}

void icon_program(Canvas& c, float x) {
  const float y = 82;
  c.fill_round_rect(x + 0.5f, y + 1.5f, x + 11.5f, y + 10.5f, 1.5f, rgb(0x2b3442));
  c.fill_rect(x + 1.5f, y + 8.5f, x + 10.5f, y + 9.5f, rgb(0x5f9ff0));
  c.fill_polygon({{x + 3, y + 6.5f}, {x + 5, y + 5}, {x + 3, y + 3.5f}}, rgb(0x9fe09f));
  c.fill_rect(x + 5.5f, y + 3, x + 8.5f, y + 4, rgb(0xd0d6de));
}

void icon_link(Canvas& c, float x) {
  icon_page(c, x, rgb(0x9aa3af), 0);
  const float y = 82;
  c.draw_line(x + 4, y + 3.5f, x + 8, y + 7.5f, 1.4f, accent_dark);
  c.fill_polygon({{x + 8.8f, y + 8.3f}, {x + 5.6f, y + 8.1f}, {x + 8.6f, y + 5.1f}}, accent_dark);
}

void icon_disk(Canvas& c, float x) {
  const float y = 82;
  c.fill_circle(x + 6, y + 6, 5.5f, rgb(0x7f8895));
  c.fill_circle(x + 6, y + 6, 4.7f, [&](float px, float py) {
    float a = std::atan2(py - (y + 6), px - (x + 6));
    return mix(rgb(0xd9e6f5), rgb(0xf5e0f0), 0.5f + 0.5f * std::sin(a * 3));
  });
  c.fill_circle(x + 6, y + 6, 1.5f, rgb(0x7f8895));
}

// ---- [SECTION] legend ----------------------------------------------------------------------------

struct Swatch {
  int x, y;  // the sampled pixel
  int colour;
  const char* label;
};

// The interface palette: the swatch centred on each sampled pixel holds the colour itself.
constexpr Swatch palette_swatches[] = {
    {319, 155, 0x262c35, "BACKGROUND"},       {319, 147, 0x9aa3b0, "MENU RECTANGLE"},
    {319, 139, 0x3b7dd8, "MENU HILIGHT"},     {319, 131, 0xffffff, "MENU RECTANGLE"},
    {319, 123, 0x1a1f27, "MENU TEXT"},        {319, 115, 0xf2f5fa, "SUBTITLE BAR TXT"},
    {319, 107, 0xe9ecf0, "TAB FRONT"},        {319, 99, 0xb4bcc7, "TAB BACK"},
    {319, 91, 0x1f252d, "METAL TEXT"},        {395, 115, 0xf0c75e, "COCKPIT-MAKER TEXT"},
    {319, 83, 0x141a22, "LIST TEXT"},         {319, 75, 0x1b2f52, "PEN LINE"},
    {319, 67, 0xd6ecff, "GLASS HELP TXT"},
};

void colour_legend(Canvas& c) {
  // A light card behind the legend so that every swatch and label reads against it.
  c.fill_round_rect(314, 62, 390, 167, 3, rgb(0xeef1f5));
  c.fill_round_rect(389, 109, 395 + 8 + tiny_text_width("COCKPIT-MAKER TEXT") + 3, 122, 3, rgb(0xeef1f5));
  draw_tiny_text(c, 315, 160, "PALETTE", rgb(0x5b6573));
  for (const Swatch& s : palette_swatches) {
    c.fill_rect(s.x - 4, s.y - 3, s.x + 5, s.y + 4, rgb(0x5b6573));  // outline
    c.fill_rect(s.x - 3, s.y - 2, s.x + 4, s.y + 3, rgb(s.colour));
    draw_tiny_text(c, s.x + 8, s.y - 2, s.label, rgb(0x2b3340));
  }
}

}  // namespace

Canvas paint_gui_skin() {
  Canvas c(gui_skin_spec.row_width, gui_skin_spec.height);

  paint_glyph_grid(c, 0, 0);

  // Bars.
  menu_bar(c);
  title_band(c);
  push_button(c, 486, false);
  push_button(c, 459, true);
  progress_trough(c);
  progress_fill(c);
  spare_bar_wide(c);
  spare_bar_small(c);
  text_field_box(c);
  popup_box(c);

  // Panels.
  window_panel(c, 1, 358, true);
  window_panel(c, 102, 358, false);
  inner_panel(c, 203, 358);
  glass_panel(c, 304, 358, rgb(0x1b2a3f));
  glass_panel(c, 405, 358, rgb(0x1a222d));
  list_panel(c);
  menu_panel(c, 70, 315, 13);
  menu_panel(c, 113, 315, 13);
  small_panel(c);

  // Controls.
  check_box(c, 139, 178, false);
  check_box(c, 139, 197, true);
  radio_button(c, 83, 123, false);
  radio_button(c, 83, 142, true);
  slider_track(c);
  slider_arrow(c, 266, true);
  slider_thumb(c);
  slider_arrow(c, 216, false);
  close_box(c, 178, false);
  close_box(c, 197, true);

  // File-kind icons.
  icon_folder(c, 34);
  icon_page(c, 48, rgb(0x9aa3af), 0);
  icon_page(c, 62, rgb(0x5b6573), 3);
  icon_picture(c, 90);
  icon_archive(c, 146);
  icon_link(c, 104);
  icon_program(c, 118);
  icon_disk(c, 132);

  colour_legend(c);
  return c;
}

}  // namespace artgen
