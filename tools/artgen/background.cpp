// The full-screen background of the main screen, 1024 x 768 and opaque: a calm late-morning sky over
// distant hills and an airfield, a high airliner with its contrails, and the product's name across
// the top. The left edge, where server names are written straight onto the picture, and the bands
// behind the screen's panels stay free of strong detail.
//
// [SECTION] sky       gradient, sun glow, high cirrus and a cumulus layer
// [SECTION] land      hill ranges fading into haze, fields and the runway
// [SECTION] aircraft  airliner seen from below, with contrails
// [SECTION] title     product name
#include <algorithm>
#include <cmath>
#include <vector>

#include "artwork.h"
#include "font.h"

namespace artgen {

namespace {

constexpr int width = 1024, height = 768;
constexpr float horizon = 212.0f;

// ---- [SECTION] sky -------------------------------------------------------------------------------

Colour sky_at(float x, float y) {
  float t = clamp01((y - horizon) / (height - horizon));
  Colour c = mix(rgb(0xe4eef5), rgb(0x9cc4e8), smoothstep(0.0f, 0.45f, t));
  c = mix(c, rgb(0x3b6fae), smoothstep(0.35f, 1.0f, t));
  // Warm glow around the sun, upper right.
  float d = std::hypot(x - 890, y - 540);
  c = mix(c, rgb(0xfff6e0), 0.55f * std::exp(-d / 170.0f));
  c = mix(c, rgb(0xffffff), 0.9f * std::exp(-d / 18.0f));
  return c;
}

float cumulus_density(float x, float y) {
  // A layer of soft heaps between y = 250 and 430, thinning out towards its top.
  float band = smoothstep(235, 280, y) * smoothstep(450, 330, y);
  float n = fbm2(x / 150.0f, y / 55.0f, 5, 301);
  float heap = n + 0.25f * (1 - (y - 250) / 180.0f) - 0.62f;
  return clamp01(heap * 4.0f) * band;
}

float cirrus_density(float x, float y) {
  float band = smoothstep(520, 600, y) * smoothstep(760, 640, y);
  float n = fbm2(x / 260.0f + y / 900.0f, y / 22.0f, 5, 517);
  return clamp01((n - 0.55f) * 3.0f) * band * 0.55f;
}

void paint_sky(Canvas& c) {
  c.paint(0, 0, width, height, [](float x, float y) { return sky_at(x, y); });
  c.paint(0, 230, width, height, [](float x, float y) {
    float dc = cirrus_density(x, y);
    float dk = cumulus_density(x, y);
    if (dk <= 0 && dc <= 0) return Colour{0, 0, 0, 0};
    // Cumulus lit from above: brighter where the density falls off upwards.
    float above = cumulus_density(x - 2, y + 4);
    float lit = clamp01(0.6f + (dk - above) * 1.6f);
    Colour cloud = mix(rgb(0xb9c7d6), rgb(0xffffff), lit);
    Colour out = with_alpha(cloud, dk * 0.92f);
    if (dc > 0) {
      Colour high = rgb(0xf6f9fc, dc);
      float a = out.a + high.a * (1 - out.a);
      if (a > 0) out = with_alpha(mix(high, out, out.a / a), a);
    }
    return out;
  });
}

// ---- [SECTION] land ------------------------------------------------------------------------------

float ridge(float x, float base, float amplitude, float scale, int seed) {
  return base + amplitude * (fbm2(x / scale, 0.5f, 5, seed) - 0.3f);
}

void paint_land(Canvas& c) {
  struct Range {
    float base, amplitude, scale;
    int seed;
    Colour colour;
  };
  const Range ranges[] = {
      {228, 70, 260, 41, rgb(0xb4c6d6)},  // farthest, almost lost in the haze
      {220, 48, 180, 43, rgb(0x94abbf)},
      {212, 30, 120, 47, rgb(0x718d86)},  // nearest hills
  };
  for (const Range& r : ranges)
    c.paint(0, 150, width, 330, [&r](float x, float y) {
      float top = ridge(x, r.base, r.amplitude, r.scale, r.seed);
      if (y > top + 0.5f) return Colour{0, 0, 0, 0};
      float cover = clamp01(top + 0.5f - y);
      Colour shade = mix(r.colour, rgb(0xe4eef5), 0.25f * smoothstep(top - 40, top, y));
      return with_alpha(shade, cover);
    });
  // Plain below the horizon: a patchwork of fields in perspective that fades into the haze,
  // supersampled so that the small far fields blend instead of flickering.
  auto ground_at = [](float x, float y) {
    float depth = (horizon - y) / horizon;  // 0 at the horizon, 1 at the bottom
    float dist = 1.0f / std::max(depth, 0.01f);
    float across = (x - 600) * dist / 170.0f, along = dist * 1.1f;
    int row = static_cast<int>(std::floor(along));
    int col = static_cast<int>(std::floor(across + hash_unit(row, 7, 619) * 3));
    float pick = hash_unit(col, row, 621);
    Colour field = pick < 0.45f ? rgb(0x6d8f4e) : pick < 0.7f ? rgb(0x86a058) : pick < 0.88f ? rgb(0xa3a866) : rgb(0x5d7d48);
    field = mix(field, rgb(0x4f6f40), value_noise2(across * 4, along * 6, 613) * 0.3f);
    float haze = std::exp(-depth * 4.5f);
    return mix(field, rgb(0xc9d8e2), haze * 0.9f);
  };
  c.paint(0, 0, width, static_cast<int>(horizon), [&ground_at](float x, float y) {
    Colour sum{0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      Colour g = ground_at(x - 0.25f + 0.5f * (k & 1), y - 0.25f + 0.5f * (k >> 1));
      sum = {sum.r + g.r / 4, sum.g + g.g / 4, sum.b + g.b / 4, 1};
    }
    return sum;
  });
  // Runway in perspective, vanishing at (600, horizon).
  c.paint(0, 0, width, static_cast<int>(horizon), [](float x, float y) {
    float depth = (horizon - y) / horizon;
    if (depth <= 0.004f) return Colour{0, 0, 0, 0};
    float half = 150.0f * depth, centre = 600.0f - 260.0f * depth;
    float u = (x + 0.5f - centre) / half;  // -1 .. 1 across the runway
    float edge_px = 1.0f / half;
    float cover = clamp01((1.0f - std::fabs(u)) / edge_px + 0.5f);
    if (cover <= 0) return Colour{0, 0, 0, 0};
    float dist = 1.0f / depth;
    float haze = std::exp(-depth * 5.0f);
    Colour asphalt = mix(rgb(0x4a4f55), rgb(0x5a6067), value_noise2(u * 6, dist * 8, 617));
    bool edge_line = std::fabs(u) > 0.93f;
    bool centre_dash = std::fabs(u) < 0.025f + 0.5f * edge_px && std::fmod(dist * 3.0f, 2.0f) < 1.0f;
    if (edge_line || centre_dash) asphalt = rgb(0xe8ebee);
    return with_alpha(mix(asphalt, rgb(0xc9d8e2), haze * 0.85f), cover);
  });
}

// ---- [SECTION] aircraft --------------------------------------------------------------------------

void paint_aircraft(Canvas& c) {
  const float cx = 760, cy = 470, scale = 0.62f;
  const float heading = 158 * 3.14159265f / 180;  // nose direction, counter-clockwise from +x
  const float hc = std::cos(heading), hs = std::sin(heading);
  auto place = [&](float along, float across) {  // aircraft coordinates to the picture
    return Vec2{cx + (along * hc - across * hs) * scale, cy + (along * hs + across * hc) * scale};
  };
  // Contrails from the two engines, fading and spreading behind the aircraft.
  for (float side : {-1.0f, 1.0f}) {
    Vec2 start = place(-10, side * 26);
    Vec2 dir = {-hc, -hs};
    c.paint(static_cast<int>(cx - 40), static_cast<int>(cy - 40), width, height, [=](float x, float y) {
      float along = (x - start.x) * dir.x + (y - start.y) * dir.y;
      if (along < 0 || along > 420) return Colour{0, 0, 0, 0};
      float across = std::fabs((x - start.x) * -dir.y + (y - start.y) * dir.x);
      float spread = 1.2f + along * 0.018f;
      float fade = 1 - along / 420;
      float a = std::exp(-across * across / (2 * spread * spread)) * fade * 0.75f;
      return rgb(0xffffff, a);
    });
  }
  auto shape = [&](std::initializer_list<std::pair<float, float>> pts) {
    std::vector<Vec2> out;
    for (auto [a, b] : pts) out.push_back(place(a, b));
    return out;
  };
  const Colour body = rgb(0xdfe5ec), shade = rgb(0x9aa7b6);
  // Wings and tailplane (swept back), then the fuselage over them.
  c.fill_polygon(shape({{8, 0}, {-22, 68}, {-32, 68}, {-14, 0}, {-32, -68}, {-22, -68}}), shade);
  c.fill_polygon(shape({{6, 0}, {-22, 65}, {-29, 65}, {-12, 0}, {-29, -65}, {-22, -65}}), body);
  c.fill_polygon(shape({{-52, 0}, {-64, 24}, {-70, 24}, {-64, 0}, {-70, -24}, {-64, -24}}), body);
  for (float side : {-1.0f, 1.0f})
    c.fill_polygon(shape({{2, side * 22}, {2, side * 30}, {-14, side * 30}, {-14, side * 22}}), shade);
  c.fill_polygon(shape({{46, 0}, {40, 6}, {20, 7}, {-50, 6}, {-70, 2}, {-72, 0}, {-70, -2}, {-50, -6},
                        {20, -7}, {40, -6}}),
                 body);
  c.fill_polygon(shape({{44, 0}, {38, 2.5f}, {-60, 2.5f}, {-60, -2.5f}, {38, -2.5f}}), rgb(0xf4f7fa));
}

// ---- [SECTION] title -----------------------------------------------------------------------------

void paint_title(Canvas& c) {
  const float x = 150, baseline = 712;
  draw_text_smooth(c, x + 2, baseline - 2, "Velmora 9", 3.0f, rgb(0x0d2240, 0.35f));
  draw_text_smooth(c, x, baseline, "Velmora 9", 3.0f, rgb(0xffffff));
  float sub_x = x + smooth_text_width("Velmora 9", 3.0f) + 14;
  draw_text_smooth(c, sub_x + 1, baseline - 1, "Installer and Updater", 1.5f, rgb(0x0d2240, 0.35f));
  draw_text_smooth(c, sub_x, baseline, "Installer and Updater", 1.5f, rgb(0xeaf3ff));
}

}  // namespace

Canvas paint_installer_back() {
  Canvas c(installer_back_spec.row_width, installer_back_spec.height);
  paint_sky(c);
  paint_land(c);
  paint_aircraft(c);
  paint_title(c);
  return c;
}

}  // namespace artgen
