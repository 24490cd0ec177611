// Drawing surface of the artwork generator: a floating-point RGBA picture with premultiplied alpha,
// addressed with y growing upwards from the bottom row (the order in which the program stores and
// uploads its pictures), and the small set of anti-aliased primitives the artwork is drawn with.
//
// Shapes are given in continuous pixel coordinates: pixel (x, y) covers [x, x + 1] x [y, y + 1].
// Filled shapes are described by a signed distance (negative inside); coverage is taken from the
// distance at the pixel centre, which gives one-pixel anti-aliased edges.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace artgen {

struct Colour {
  float r = 0, g = 0, b = 0, a = 1;  // straight (not premultiplied) components, 0 .. 1
};

Colour rgb(int hex, float alpha = 1.0f);              // 0xRRGGBB
Colour mix(const Colour& a, const Colour& b, float t);  // linear blend of all four components
Colour scaled(const Colour& c, float factor);          // colour components times factor, alpha kept
Colour with_alpha(const Colour& c, float alpha);

struct Vec2 {
  float x, y;
};

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Premultiplied pixel access; out-of-range reads return transparent black, writes are dropped.
  Colour premultiplied(int x, int y) const;
  Colour straight(int x, int y) const;
  void set_straight(int x, int y, const Colour& c);

  // Composites `c` over the pixel with the extra coverage `cover` (0 .. 1).
  void blend(int x, int y, const Colour& c, float cover = 1.0f);
  void clear_rect(int x0, int y0, int x1, int y1);  // makes [x0, x1) x [y0, y1) transparent

  // Area fill: for every pixel of [x0, x1) x [y0, y1) the callback returns the colour to put
  // there (composited over what is there), given the pixel centre.
  void paint(int x0, int y0, int x1, int y1, const std::function<Colour(float, float)>& shader);

  // Signed-distance fill over the bounding box [x0, x1) x [y0, y1): coverage = clamp(0.5 - d).
  // `softness` widens the edge into a smooth ramp of that many pixels (for shadows and glows).
  void fill_sdf(int x0, int y0, int x1, int y1, const std::function<float(float, float)>& distance,
                const std::function<Colour(float, float)>& shader, float softness = 1.0f);

  void fill_rect(float x0, float y0, float x1, float y1, const Colour& c);
  void fill_round_rect(float x0, float y0, float x1, float y1, float radius, const Colour& c);
  void fill_round_rect(float x0, float y0, float x1, float y1, float radius,
                       const std::function<Colour(float, float)>& shader);
  // A ring of the given width lying just inside the rounded rectangle's edge.
  void stroke_round_rect(float x0, float y0, float x1, float y1, float radius, float line_width,
                         const Colour& c);
  void fill_circle(float cx, float cy, float radius, const Colour& c);
  void fill_circle(float cx, float cy, float radius,
                   const std::function<Colour(float, float)>& shader);
  void stroke_circle(float cx, float cy, float radius, float line_width, const Colour& c);
  void draw_line(float x0, float y0, float x1, float y1, float line_width, const Colour& c);
  // Polygon fill (even-odd), anti-aliased by 4 x 4 supersampling.
  void fill_polygon(const std::vector<Vec2>& points, const Colour& c);
  void fill_polygon(const std::vector<Vec2>& points,
                    const std::function<Colour(float, float)>& shader);

  // Copies a rectangle of `source` (straight colours, alpha kept) to (dx, dy) in this canvas,
  // replacing what is there.
  void copy_from(const Canvas& source, int sx, int sy, int w, int h, int dx, int dy);

  // The picture as 8-bit R, G, B, A bytes with straight alpha, rows of `row_width` pixels (at least
  // the picture width, the extra pixels transparent black), bottom row first, cut to `byte_count`.
  std::vector<std::uint8_t> to_rgba8(int row_width, std::size_t byte_count) const;

 private:
  int width_, height_;
  std::vector<float> pixels_;  // premultiplied r, g, b, a per pixel
};

// Distance functions, negative inside.
float sd_round_rect(float x, float y, float x0, float y0, float x1, float y1, float radius);
float sd_circle(float x, float y, float cx, float cy, float radius);
float sd_segment(float x, float y, float x0, float y0, float x1, float y1);

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);

// Deterministic noise: a 32-bit integer hash, value noise on the plane and in space, and fractal
// sums of them. The generator seeds nothing from the clock, so every run draws the same pictures.
std::uint32_t hash32(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0);
float hash_unit(int x, int y, int seed);  // 0 .. 1
float value_noise2(float x, float y, int seed);
float value_noise3(float x, float y, float z, int seed);
float fbm2(float x, float y, int octaves, int seed);
float fbm3(float x, float y, float z, int octaves, int seed);

}  // namespace artgen
