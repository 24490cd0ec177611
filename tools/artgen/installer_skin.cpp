// The installer's own artwork, 1010 x 764 in a 1024-wide texture:
//
// [SECTION] map      world map with a latitude/longitude grid, the top 505 rows (from y = 259)
// [SECTION] globe    24 cells of 64 x 64 (frame n at x = 64 (n mod 8), y = 66 + 64 (n div 8)): the map
//                    on a lit sphere, a sixteenth of a turn further in each frame
// [SECTION] emblem   the corner picture behind the globe, 128 x 86 at (644, 33)
// [SECTION] icons    install disc and licence document
// [SECTION] panel    the installer's panel, 41 x 41 at (774, 78)
// [SECTION] buttons  Destination, Install, Quit and Store, each as normal, hovered and pressed,
//                    stacked downwards one button height plus one apart
//
// The continents are our own: the land is where a fractal noise field on the sphere rises above sea
// level, so the map and the globe show the same world and the map wraps around seamlessly.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "artwork.h"
#include "font.h"

namespace artgen {

namespace {

constexpr float pi = 3.14159265358979f;
constexpr float deg = pi / 180.0f;

constexpr int map_x = 0, map_y = 259, map_w = 1010, map_h = 505;

// ---- [SECTION] map -------------------------------------------------------------------------------

// Height of the world at a point of the unit sphere: above 0 is land.
float world_height(float px, float py, float pz) {
  // Warp the domain a little so that coasts curl instead of looking like plain noise.
  float wx = fbm3(px * 1.3f + 4.1f, py * 1.3f, pz * 1.3f, 3, 71) - 0.5f;
  float wy = fbm3(px * 1.3f, py * 1.3f + 9.7f, pz * 1.3f, 3, 83) - 0.5f;
  float wz = fbm3(px * 1.3f, py * 1.3f, pz * 1.3f + 2.3f, 3, 97) - 0.5f;
  float qx = px + wx * 0.55f, qy = py + wy * 0.55f, qz = pz + wz * 0.55f;
  float continents = fbm3(qx * 1.6f + 10, qy * 1.6f + 10, qz * 1.6f + 10, 7, 11);
  return (continents - 0.53f) * 4.0f;
}

Colour land_colour(float h, float lat, float detail) {
  float cold = smoothstep(48, 70, std::fabs(lat));
  float dry = smoothstep(0.55f, 0.8f, detail) * (1 - cold) * smoothstep(40, 15, std::fabs(lat));
  Colour low = mix(rgb(0x5f8f3e), rgb(0x3f7a3a), smoothstep(30, 0, std::fabs(lat)));
  low = mix(low, rgb(0xc2a46a), dry);
  low = mix(low, rgb(0x8a9a78), cold);
  Colour high = mix(rgb(0x8b7452), rgb(0x9c8a70), cold);
  Colour c = mix(low, high, smoothstep(0.25f, 0.9f, h));
  c = mix(c, rgb(0xf2f5f7), smoothstep(1.0f, 1.3f, h + cold * 0.5f));
  return c;
}

Colour ocean_colour(float h) {
  float shelf = smoothstep(-0.35f, 0.0f, h);
  return mix(mix(rgb(0x0f2f5c), rgb(0x1c4f8a), smoothstep(-1.2f, -0.35f, h)), rgb(0x3f86b8), shelf * shelf);
}

void unit_vector(float lat, float lon, float& x, float& y, float& z) {
  x = std::cos(lat) * std::cos(lon), y = std::sin(lat), z = std::cos(lat) * std::sin(lon);
}

Colour world_colour(float lat_deg, float lon_deg) {
  float x, y, z;
  unit_vector(lat_deg * deg, lon_deg * deg, x, y, z);
  float h = world_height(x, y, z);
  float detail = fbm3(x * 5 + 3, y * 5, z * 5, 3, 29);
  Colour c = h > 0 ? land_colour(h, lat_deg, detail) : ocean_colour(h);
  // Polar ice.
  float ice_edge = 74 + 6 * (fbm3(x * 4, y * 4, z * 4 + 7, 3, 41) - 0.5f) * 2;
  if (std::fabs(lat_deg) > ice_edge) c = mix(c, rgb(0xeef3f7), 0.92f);
  return c;
}

void paint_map(Canvas& c) {
  for (int row = 0; row < map_h; ++row) {
    float lat = 90.0f - (row + 0.5f) * 180.0f / map_h;  // row 0 is the top of the map
    for (int col = 0; col < map_w; ++col) {
      float lon = -180.0f + (col + 0.5f) * 360.0f / map_w;
      c.set_straight(map_x + col, map_y + map_h - 1 - row, world_colour(lat, lon));
    }
  }
  // Coastlines: a dark line where land meets sea, found from the neighbouring map pixels.
  Canvas coast(map_w, map_h);
  auto is_land = [&c](int col, int row) {
    Colour p = c.straight(map_x + std::clamp(col, 0, map_w - 1), map_y + std::clamp(row, 0, map_h - 1));
    return p.b < std::max(p.r, p.g) + 0.08f;  // ocean colours are blue-dominant
  };
  for (int row = 0; row < map_h; ++row)
    for (int col = 0; col < map_w; ++col)
      if (is_land(col, row) && (!is_land(col + 1, row) || !is_land(col - 1, row) ||
                                !is_land(col, row + 1) || !is_land(col, row - 1)))
        coast.set_straight(col, row, rgb(0x23402a, 0.55f));
  for (int row = 0; row < map_h; ++row)
    for (int col = 0; col < map_w; ++col) {
      Colour k = coast.straight(col, row);
      if (k.a > 0) c.blend(map_x + col, map_y + row, k);
    }
  // Grid: every 15 degrees, the equator and the prime meridian a little stronger.
  for (int k = -11; k <= 12; ++k) {
    float lon = k * 15.0f;
    int col = static_cast<int>(std::lround((lon + 180.0f) * map_w / 360.0f));
    if (col >= map_w) continue;
    float alpha = k == 0 ? 0.55f : 0.3f;
    for (int row = 0; row < map_h; ++row) c.blend(map_x + col, map_y + row, rgb(0xdfeeff, alpha));
  }
  for (int k = -5; k <= 5; ++k) {
    float lat = k * 15.0f;
    int row = static_cast<int>(std::lround((90.0f - lat) * map_h / 180.0f));
    row = std::min(row, map_h - 1);
    float alpha = k == 0 ? 0.55f : 0.3f;
    for (int col = 0; col < map_w; ++col) c.blend(map_x + col, map_y + map_h - 1 - row, rgb(0xdfeeff, alpha));
  }
}

// Bilinear sample of the painted map at a latitude and longitude in degrees.
Colour sample_map(const Canvas& c, float lat, float lon) {
  float u = (lon + 180.0f) / 360.0f * map_w - 0.5f;
  float v = (90.0f - lat) / 180.0f * map_h - 0.5f;
  int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
  float fu = u - iu, fv = v - iv;
  auto at = [&c](int col, int row) {
    col = ((col % map_w) + map_w) % map_w;
    row = std::clamp(row, 0, map_h - 1);
    return c.straight(map_x + col, map_y + map_h - 1 - row);
  };
  return mix(mix(at(iu, iv), at(iu + 1, iv), fu), mix(at(iu, iv + 1), at(iu + 1, iv + 1), fu), fv);
}

// ---- [SECTION] globe -----------------------------------------------------------------------------

void paint_globe_frame(Canvas& c, int cell_x, int cell_y, float turn_deg) {
  const float radius = 29.0f, cx = cell_x + 32.0f, cy = cell_y + 32.0f;
  const float tilt = 18 * deg;
  const float lx = -0.55f, ly = 0.55f, lz = 0.63f;  // light from the upper left, in front
  for (int py = cell_y; py < cell_y + 64; ++py)
    for (int px = cell_x; px < cell_x + 64; ++px) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < 3; ++sy)
        for (int sx = 0; sx < 3; ++sx) {
          float u = (px + (sx + 0.5f) / 3 - cx) / radius, v = (py + (sy + 0.5f) / 3 - cy) / radius;
          float d2 = u * u + v * v;
          if (d2 > 1) continue;
          float w = std::sqrt(1 - d2);
          // View space (u right, v up, w towards the viewer) to world space: undo the tilt, then
          // the turn about the polar axis.
          float y1 = v * std::cos(tilt) + w * std::sin(tilt);
          float z1 = -v * std::sin(tilt) + w * std::cos(tilt);
          float lat = std::asin(std::clamp(y1, -1.0f, 1.0f)) / deg;
          float lon = std::atan2(u, z1) / deg - turn_deg;
          lon = std::fmod(lon + 540.0f, 360.0f) - 180.0f;
          Colour s = sample_map(c, lat, lon);
          float diffuse = std::max(0.0f, u * lx + v * ly + w * lz);
          float light = 0.22f + 0.9f * diffuse;
          bool water = s.b > std::max(s.r, s.g) + 0.08f;
          float hx = lx, hy = ly, hz = lz + 1;  // half vector towards a viewer on +w
          float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
          float highlight = std::pow(std::max(0.0f, (u * hx + v * hy + w * hz) / hl), 40.0f) * (water ? 0.55f : 0.12f);
          float rim = std::pow(1 - w, 2.5f) * 0.65f;
          Colour lit = {s.r * light + highlight, s.g * light + highlight, s.b * light + highlight, 1};
          lit = mix(lit, rgb(0x8fc4ff), rim);
          r += lit.r, g += lit.g, b += lit.b, a += 1;
        }
      if (a > 0) c.set_straight(px, py, {r / a, g / a, b / a, a / 9});
      // Thin atmosphere halo just outside the rim.
      float d = std::hypot(px + 0.5f - cx, py + 0.5f - cy) - radius;
      if (d > -0.5f && d < 2.5f) c.blend(px, py, rgb(0x9cd0ff, 0.45f * (1 - clamp01(d / 2.5f))));
    }
}

void paint_globe(Canvas& c) {
  for (int n = 0; n < 24; ++n)
    paint_globe_frame(c, 64 * (n % 8), 66 + 64 * (n / 8), -40.0f + (n % 16) * 22.5f);
}

// ---- [SECTION] emblem ----------------------------------------------------------------------------

// A winged badge: a ring around the globe's cell with swept wings to both sides.
void paint_emblem(Canvas& c) {
  const float ox = 644, oy = 33;             // corner of the picture
  const float gx = ox + 29 + 32, gy = oy + 13 + 32;  // centre of the globe drawn over it
  // The wings stay inside the picture's 128 pixels: from the ring out to 3 pixels off its edges.
  auto wing = [&](float side) {
    // Three feathers per wing, longest at the top, swept back and up.
    for (int k = 0; k < 3; ++k) {
      float top = gy + 13 - k * 8.5f, thick = 6.5f, len = 27 - k * 6.0f, rise = 7 - k * 2.0f;
      float root = gx + side * 31, tip = root + side * len;
      std::vector<Vec2> feather = {{root, top - thick}, {root, top},
                                   {tip - side * 4, top + rise}, {tip, top + rise - 0.5f},
                                   {tip - side * 1.5f, top + rise - 3}, {tip - side * 6, top + rise - thick}};
      c.fill_polygon(feather, rgb(0x3e4d63, 0.85f));
      std::vector<Vec2> inner = {{root, top - thick + 1.2f}, {root, top - 0.6f},
                                 {tip - side * 4, top + rise - 1}, {tip - side * 1.6f, top + rise - 1.2f},
                                 {tip - side * 2.5f, top + rise - 3}, {tip - side * 6, top + rise - thick + 1.2f}};
      c.fill_polygon(inner, [=](float, float y) {
        return mix(rgb(0x9aa7ba), rgb(0xf7f9fc), clamp01((y - (top - thick)) / (thick + rise)));
      });
    }
  };
  wing(-1);
  wing(1);
  // The bezel ring and the dark field behind the globe.
  c.fill_circle(gx, gy - 1.5f, 36.5f, rgb(0x000000, 0.25f));
  c.fill_circle(gx, gy, 36, [=](float x, float y) {
    float t = clamp01(((x - gx) * -0.5f + (y - gy) * 0.85f) / 36 * 0.5f + 0.5f);
    return mix(rgb(0x5d6b80), rgb(0xf1f4f8), t);
  });
  c.fill_circle(gx, gy, 33.2f, rgb(0x1a2536));
  c.fill_circle(gx, gy, 32.4f, [=](float, float y) {
    return mix(rgb(0x06101f), rgb(0x16345e), clamp01((y - (gy - 32)) / 64));
  });
  // A few stars in the dark field.
  for (int k = 0; k < 14; ++k) {
    float a = hash_unit(k, 1, 5) * 2 * pi, r = 30.0f + hash_unit(k, 2, 5) * 1.8f;
    c.fill_circle(gx + std::cos(a) * r, gy + std::sin(a) * r, 0.45f, rgb(0xffffff, 0.8f));
  }
}

// ---- [SECTION] icons -----------------------------------------------------------------------------

void paint_disc_icon(Canvas& c, float x, float y) {  // 48 x 48 with its corner at (x, y)
  float cx = x + 24, cy = y + 24;
  c.fill_circle(cx + 1, cy - 1.5f, 22, rgb(0x000000, 0.25f));
  c.fill_circle(cx, cy, 22, rgb(0x8a94a3));
  c.fill_circle(cx, cy, 21, [=](float px, float py) {
    float a = std::atan2(py - cy, px - cx);
    float sheen = 0.5f + 0.5f * std::cos(2 * (a - 0.6f));
    Colour rainbow = {0.75f + 0.25f * std::sin(a * 3), 0.8f + 0.2f * std::sin(a * 3 + 2.1f),
                      0.85f + 0.15f * std::sin(a * 3 + 4.2f), 1};
    return mix(rainbow, rgb(0xffffff), sheen * 0.55f);
  });
  c.stroke_circle(cx, cy, 15, 0.7f, rgb(0xffffff, 0.5f));
  c.fill_circle(cx, cy, 8, rgb(0xb9c2ce));
  c.fill_circle(cx, cy, 7, rgb(0xe4e8ee));
  c.fill_circle(cx, cy, 3.5f, rgb(0x8a94a3));
}

void paint_licence_icon(Canvas& c, float x, float y) {  // 48 x 48
  c.fill_rect(x + 9, y + 2, x + 43, y + 44, rgb(0x000000, 0.22f));
  c.fill_rect(x + 7, y + 4, x + 41, y + 46, rgb(0x8a94a3));
  c.fill_round_rect(x + 8, y + 5, x + 40, y + 45, 0, vertical_gradient(y + 5, y + 45, rgb(0xf1ece0), rgb(0xfffdf8)));
  draw_text(c, static_cast<int>(x + 12), static_cast<int>(y + 36), "EULA", rgb(0x3a4658));
  for (int i = 0; i < 5; ++i) {
    float w = i == 4 ? 14.0f : 24.0f;
    c.fill_rect(x + 12, y + 29 - 4.0f * i, x + 12 + w, y + 30 - 4.0f * i, rgb(0x9aa3af));
  }
  // Seal with ribbon.
  float sx = x + 33, sy = y + 11;
  c.fill_polygon({{sx - 4, sy}, {sx - 7, sy - 10}, {sx - 4, sy - 8}, {sx - 2, sy - 10}, {sx, sy}}, rgb(0x2a5aa0));
  c.fill_polygon({{sx, sy}, {sx + 2, sy - 10}, {sx + 4, sy - 8}, {sx + 7, sy - 10}, {sx + 4, sy}}, rgb(0x2a5aa0));
  c.fill_circle(sx, sy, 6.5f, rgb(0xb8861b));
  c.fill_circle(sx, sy, 5.3f, vertical_gradient(sy - 5, sy + 5, rgb(0xd9a02a), rgb(0xffe08a)));
  c.stroke_circle(sx, sy, 3.6f, 0.8f, rgb(0xa3740f, 0.8f));
}

// ---- [SECTION] panel -----------------------------------------------------------------------------

// 41 x 41, sliced at fractional positions by the widgets and filtered linearly: a frosted light
// panel with a one-pixel border right at its edge and a uniform middle.
void paint_panel(Canvas& c) {
  const float x0 = 774, y0 = 78, x1 = 815, y1 = 119;
  c.fill_round_rect(x0, y0, x1, y1, 7, rgb(0x5e6a7a, 0.85f));
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6, rgb(0xf5f7fa, 0.90f));
  c.fill_sdf(static_cast<int>(x0), static_cast<int>(y1) - 3, static_cast<int>(x1), static_cast<int>(y1),
             [=](float x, float y) {
               float d = sd_round_rect(x, y, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6);
               return std::max(d, -d - 1.0f);
             },
             [](float, float) { return rgb(0xffffff, 0.9f); });
}

// ---- [SECTION] buttons ---------------------------------------------------------------------------

enum class ButtonLook { normal, hover, pressed };

enum class ButtonIcon { folder, install, store, none };

void paint_button_icon(Canvas& c, ButtonIcon icon, float x, float y, const Colour& ink) {
  // (x, y): bottom-left of a 12 x 12 box.
  switch (icon) {
    case ButtonIcon::folder:
      c.fill_round_rect(x + 0.5f, y + 8, x + 5.5f, y + 10.5f, 1, rgb(0xc98e1c));
      c.fill_round_rect(x + 0.5f, y + 1, x + 11.5f, y + 9.5f, 1.2f, rgb(0xb07a12));
      c.fill_round_rect(x + 1.5f, y + 2, x + 10.5f, y + 8.8f, 0.8f,
                        vertical_gradient(y + 2, y + 9, rgb(0xf0b43c), rgb(0xffd97a)));
      break;
    case ButtonIcon::install:
      c.fill_rect(x + 5, y + 5, x + 7, y + 11, ink);
      c.fill_polygon({{x + 2, y + 6}, {x + 10, y + 6}, {x + 6, y + 2}}, ink);
      c.fill_rect(x + 0.5f, y + 0, x + 11.5f, y + 1.2f, ink);
      break;
    case ButtonIcon::store:
      c.fill_round_rect(x + 1, y + 0.5f, x + 11, y + 8, 1.2f, rgb(0x2a5aa0));
      c.fill_round_rect(x + 2, y + 1.5f, x + 10, y + 7, 0.6f, rgb(0x4f8ee0));
      c.stroke_circle(x + 6, y + 8.5f, 2.6f, 1.1f, ink);
      c.fill_rect(x + 2, y + 6.9f, x + 10, y + 8.4f, rgb(0x4f8ee0));
      break;
    case ButtonIcon::none:
      break;
  }
}

void paint_button(Canvas& c, int x, int y, int w, std::string_view caption, ButtonIcon icon,
                  ButtonLook look) {
  const int h = 22;
  const float x0 = x + 0.5f, y0 = y + 0.5f, x1 = x + w - 0.5f, y1 = y + h - 0.5f;
  Colour top = rgb(0xfbfcfd), bottom = rgb(0xcdd4dc), border = rgb(0x5b6676);
  if (look == ButtonLook::hover) top = rgb(0xffffff), bottom = rgb(0xdde4ec), border = rgb(0x2f62a8);
  if (look == ButtonLook::pressed) top = rgb(0xbfc7d1), bottom = rgb(0xe3e7ec), border = rgb(0x3a4452);
  c.fill_round_rect(x0, y0, x1, y1, 6, border);
  c.fill_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, vertical_gradient(y0, y1, bottom, top));
  if (look != ButtonLook::pressed)  // gloss on the upper half
    c.fill_round_rect(x0 + 2, y0 + h * 0.5f, x1 - 2, y1 - 1.5f, 4, rgb(0xffffff, 0.45f));
  else  // inner shadow along the top
    c.fill_rect(x0 + 3, y1 - 2, x1 - 3, y1 - 1, rgb(0x000000, 0.12f));
  if (look == ButtonLook::hover)
    c.stroke_round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, 1, rgb(0x7fb0f0, 0.7f));

  const Colour ink = rgb(0x1f252d);
  int shift = look == ButtonLook::pressed ? 1 : 0;
  int content = text_width(caption) + (icon == ButtonIcon::none ? 0 : 15);
  int left = x + (w - content) / 2 + shift;
  int baseline = y + 7 - shift;
  if (icon != ButtonIcon::none) {
    paint_button_icon(c, icon, static_cast<float>(left), static_cast<float>(baseline - 2), ink);
    left += 15;
  }
  draw_text(c, left, baseline - 1, caption, rgb(0xffffff, 0.6f));  // engraved highlight
  draw_text(c, left, baseline, caption, ink);
}

void paint_button_states(Canvas& c, int x, int v, int w, std::string_view caption, ButtonIcon icon) {
  paint_button(c, x, v, w, caption, icon, ButtonLook::normal);
  paint_button(c, x, v - 23, w, caption, icon, ButtonLook::hover);
  paint_button(c, x, v - 46, w, caption, icon, ButtonLook::pressed);
}

}  // namespace

Canvas paint_installer_skin() {
  Canvas c(installer_skin_spec.row_width, installer_skin_spec.height);
  paint_map(c);
  paint_globe(c);
  paint_emblem(c);
  paint_disc_icon(c, 522, 56);
  paint_licence_icon(c, 584, 56);
  paint_panel(c);
  paint_button_states(c, 513, 166, 126, "Destination", ButtonIcon::folder);
  paint_button_states(c, 640, 166, 83, "Install", ButtonIcon::install);
  paint_button_states(c, 780, 166, 51, "Quit", ButtonIcon::none);
  paint_button_states(c, 822, 235, 116, "Store", ButtonIcon::store);
  return c;
}

}  // namespace artgen
