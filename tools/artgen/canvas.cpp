// Drawing surface and primitives of the artwork generator (see canvas.h).
#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace artgen {

Colour rgb(int hex, float alpha) {
  return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, alpha};
}

Colour mix(const Colour& a, const Colour& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Colour scaled(const Colour& c, float factor) {
  return {c.r * factor, c.g * factor, c.b * factor, c.a};
}

Colour with_alpha(const Colour& c, float alpha) { return {c.r, c.g, c.b, alpha}; }

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float smoothstep(float edge0, float edge1, float v) {
  float t = clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4, 0.0f) {}

Colour Canvas::premultiplied(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  const float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

Colour Canvas::straight(int x, int y) const {
  Colour c = premultiplied(x, y);
  if (c.a <= 0) return {0, 0, 0, 0};
  return {c.r / c.a, c.g / c.a, c.b / c.a, c.a};
}

void Canvas::set_straight(int x, int y, const Colour& c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  float a = clamp01(c.a);
  p[0] = clamp01(c.r) * a;
  p[1] = clamp01(c.g) * a;
  p[2] = clamp01(c.b) * a;
  p[3] = a;
}

void Canvas::blend(int x, int y, const Colour& c, float cover) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  float a = clamp01(c.a) * clamp01(cover);
  if (a <= 0) return;
  float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  float keep = 1 - a;
  p[0] = clamp01(c.r) * a + p[0] * keep;
  p[1] = clamp01(c.g) * a + p[1] * keep;
  p[2] = clamp01(c.b) * a + p[2] * keep;
  p[3] = a + p[3] * keep;
}

void Canvas::clear_rect(int x0, int y0, int x1, int y1) {
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x)
      std::fill_n(&pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4], 4, 0.0f);
}

void Canvas::paint(int x0, int y0, int x1, int y1,
                   const std::function<Colour(float, float)>& shader) {
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) blend(x, y, shader(x + 0.5f, y + 0.5f));
}

void Canvas::fill_sdf(int x0, int y0, int x1, int y1,
                      const std::function<float(float, float)>& distance,
                      const std::function<Colour(float, float)>& shader, float softness) {
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float d = distance(px, py);
      float cover = softness <= 1.0f ? clamp01(0.5f - d) : smoothstep(softness * 0.5f, -softness * 0.5f, d);
      if (cover > 0) blend(x, y, shader(px, py), cover);
    }
}

float sd_round_rect(float x, float y, float x0, float y0, float x1, float y1, float radius) {
  float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
  float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sd_circle(float x, float y, float cx, float cy, float radius) {
  return std::hypot(x - cx, y - cy) - radius;
}

float sd_segment(float x, float y, float x0, float y0, float x1, float y1) {
  float dx = x1 - x0, dy = y1 - y0;
  float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? clamp01(((x - x0) * dx + (y - y0) * dy) / len2) : 0.0f;
  return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
}

namespace {
int floor_i(float v) { return static_cast<int>(std::floor(v)); }
int ceil_i(float v) { return static_cast<int>(std::ceil(v)); }
}  // namespace

void Canvas::fill_rect(float x0, float y0, float x1, float y1, const Colour& c) {
  fill_round_rect(x0, y0, x1, y1, 0.0f, c);
}

void Canvas::fill_round_rect(float x0, float y0, float x1, float y1, float radius, const Colour& c) {
  fill_round_rect(x0, y0, x1, y1, radius, [c](float, float) { return c; });
}

void Canvas::fill_round_rect(float x0, float y0, float x1, float y1, float radius,
                             const std::function<Colour(float, float)>& shader) {
  fill_sdf(floor_i(x0) - 1, floor_i(y0) - 1, ceil_i(x1) + 1, ceil_i(y1) + 1,
           [=](float x, float y) { return sd_round_rect(x, y, x0, y0, x1, y1, radius); }, shader);
}

void Canvas::stroke_round_rect(float x0, float y0, float x1, float y1, float radius, float line_width,
                               const Colour& c) {
  fill_sdf(floor_i(x0) - 1, floor_i(y0) - 1, ceil_i(x1) + 1, ceil_i(y1) + 1,
           [=](float x, float y) {
             float d = sd_round_rect(x, y, x0, y0, x1, y1, radius);
             return std::max(d, -d - line_width);
           },
           [c](float, float) { return c; });
}

void Canvas::fill_circle(float cx, float cy, float radius, const Colour& c) {
  fill_circle(cx, cy, radius, [c](float, float) { return c; });
}

void Canvas::fill_circle(float cx, float cy, float radius,
                         const std::function<Colour(float, float)>& shader) {
  fill_sdf(floor_i(cx - radius) - 1, floor_i(cy - radius) - 1, ceil_i(cx + radius) + 1,
           ceil_i(cy + radius) + 1, [=](float x, float y) { return sd_circle(x, y, cx, cy, radius); },
           shader);
}

void Canvas::stroke_circle(float cx, float cy, float radius, float line_width, const Colour& c) {
  fill_sdf(floor_i(cx - radius) - 1, floor_i(cy - radius) - 1, ceil_i(cx + radius) + 1,
           ceil_i(cy + radius) + 1,
           [=](float x, float y) {
             float d = sd_circle(x, y, cx, cy, radius);
             return std::max(d, -d - line_width);
           },
           [c](float, float) { return c; });
}

void Canvas::draw_line(float x0, float y0, float x1, float y1, float line_width, const Colour& c) {
  float r = line_width * 0.5f;
  fill_sdf(floor_i(std::min(x0, x1) - r) - 1, floor_i(std::min(y0, y1) - r) - 1,
           ceil_i(std::max(x0, x1) + r) + 1, ceil_i(std::max(y0, y1) + r) + 1,
           [=](float x, float y) { return sd_segment(x, y, x0, y0, x1, y1) - r; },
           [c](float, float) { return c; });
}

void Canvas::fill_polygon(const std::vector<Vec2>& points, const Colour& c) {
  fill_polygon(points, [c](float, float) { return c; });
}

void Canvas::fill_polygon(const std::vector<Vec2>& points,
                          const std::function<Colour(float, float)>& shader) {
  if (points.size() < 3) return;
  float minx = points[0].x, maxx = minx, miny = points[0].y, maxy = miny;
  for (const Vec2& p : points) {
    minx = std::min(minx, p.x), maxx = std::max(maxx, p.x);
    miny = std::min(miny, p.y), maxy = std::max(maxy, p.y);
  }
  auto inside = [&points](float x, float y) {
    bool in = false;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const Vec2& a = points[i];
      const Vec2& b = points[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  };
  for (int y = std::max(0, floor_i(miny)); y < std::min(height_, ceil_i(maxy)); ++y)
    for (int x = std::max(0, floor_i(minx)); x < std::min(width_, ceil_i(maxx)); ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
      if (hits) blend(x, y, shader(x + 0.5f, y + 0.5f), hits / 16.0f);
    }
}

void Canvas::copy_from(const Canvas& source, int sx, int sy, int w, int h, int dx, int dy) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Colour c = source.premultiplied(sx + x, sy + y);
      int tx = dx + x, ty = dy + y;
      if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
      float* p = &pixels_[(static_cast<std::size_t>(ty) * width_ + tx) * 4];
      p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
    }
}

std::vector<std::uint8_t> Canvas::to_rgba8(int row_width, std::size_t byte_count) const {
  std::vector<std::uint8_t> out(byte_count, 0);
  auto to_byte = [](float v) { return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f)); };
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      std::size_t at = (static_cast<std::size_t>(y) * row_width + x) * 4;
      if (at + 4 > byte_count) return out;
      Colour c = straight(x, y);
      std::uint8_t a = to_byte(c.a);
      if (a == 0) continue;  // fully transparent texels stay black, so filtering never picks up a hue
      out[at] = to_byte(c.r), out[at + 1] = to_byte(c.g), out[at + 2] = to_byte(c.b), out[at + 3] = a;
    }
  return out;
}

// ---- noise ---------------------------------------------------------------------------------------

std::uint32_t hash32(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

float hash_unit(int x, int y, int seed) {
  return (hash32(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                 static_cast<std::uint32_t>(seed)) >> 8) / 16777216.0f;
}

namespace {
float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
float lattice3(int x, int y, int z, int seed) {
  return (hash32(static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(seed),
                 static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(z)) >> 8) / 16777216.0f;
}
}  // namespace

float value_noise2(float x, float y, int seed) {
  int ix = floor_i(x), iy = floor_i(y);
  float fx = fade(x - ix), fy = fade(y - iy);
  float a = hash_unit(ix, iy, seed), b = hash_unit(ix + 1, iy, seed);
  float c = hash_unit(ix, iy + 1, seed), d = hash_unit(ix + 1, iy + 1, seed);
  return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

float value_noise3(float x, float y, float z, int seed) {
  int ix = floor_i(x), iy = floor_i(y), iz = floor_i(z);
  float fx = fade(x - ix), fy = fade(y - iy), fz = fade(z - iz);
  float v[2];
  for (int k = 0; k < 2; ++k) {
    float a = lattice3(ix, iy, iz + k, seed), b = lattice3(ix + 1, iy, iz + k, seed);
    float c = lattice3(ix, iy + 1, iz + k, seed), d = lattice3(ix + 1, iy + 1, iz + k, seed);
    v[k] = a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
  }
  return v[0] + (v[1] - v[0]) * fz;
}

float fbm2(float x, float y, int octaves, int seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += value_noise2(x, y, seed + i * 131) * amplitude;
    norm += amplitude;
    x = x * 2.03f + 17.1f, y = y * 2.03f + 5.3f, amplitude *= 0.5f;
  }
  return sum / norm;
}

float fbm3(float x, float y, float z, int octaves, int seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += value_noise3(x, y, z, seed + i * 131) * amplitude;
    norm += amplitude;
    x = x * 2.03f + 17.1f, y = y * 2.03f + 5.3f, z = z * 2.03f + 11.7f, amplitude *= 0.5f;
  }
  return sum / norm;
}

}  // namespace artgen
