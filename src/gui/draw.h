// The 2D drawing layer: the only code that talks to OpenGL for the user interface. Primitives
// take layout coordinates (origin bottom left, y up) and colour numbers; the layout origin that
// centres the current screen in the window is added to every position. A small cache of GL enable
// state keeps the hundreds of primitives per frame from re-issuing enables. Main thread only.
#pragma once

// Values of set_gl_state's last four arguments, from one numbering so they cannot be confused.
enum GlStateValue : int {
  lighting_on = 2,
  lighting_off = 3,
  blend_none = 4,       // blending and alpha test off
  blend_alpha = 5,      // blending on, alpha test off
  alpha_test = 6,       // blending off, alpha test on
  blend_and_test = 7,   // both on
  depth_on = 8,
  depth_off = 9,
  depth_write_on = 10,
  depth_write_off = 11,
};

struct GlStateCache {
  bool filled = false;  // read from the GL on the first set_gl_state
  int fog_off = 1;
  int texture_units = 0;
  int lighting = lighting_off;
  int mode = blend_none;
  int depth_test = depth_off;
  int depth_write = depth_write_off;
};

struct DrawContext {
  float ox = 0, oy = 0;  // layout origin in window pixels
  float window_left = 0, window_bottom = 0, window_right = 1024, window_top = 768;
  float scale = 1.0f;
  GlStateCache cache;
  bool state_cache_enabled = true;  // off only to measure what the cache saves
  long gl_state_changes = 0;        // enables, disables and depth-mask calls sent, for measurements
  // Called by end_frame with "sb1" before and "sb2" after the buffer swap (the frame timer).
  void (*frame_mark)(const char* label) = nullptr;
};

DrawContext& draw_context();

// Records the window's 2D rectangle (0, 0, window width, window height) and sets the scale to 1.
void init_2d_layout();
// Centres a layout of the given size in the window: ox = max(0, round((window width - w) / 2)),
// likewise oy.
void set_layout_origin(float layout_width, float layout_height);

void set_gl_state(int fog_off, int texture_units, int lighting, int mode, int depth_test,
                  int depth_write);
// Forgets the cached enables; the next set_gl_state reads them from the GL again.
void invalidate_gl_state_cache();

void apply_colour(int colour, float alpha);
void fill_rect(int colour, float alpha, float x, float y, float w, float h);
void frame_rect(int colour, float alpha, float x, float y, float w, float h);
void draw_line(int colour, float alpha, float x1, float y1, float x2, float y2);
// Corners bottom-left, top-left, top-right, bottom-right (clockwise, the front-face winding).
void draw_tex_quad(int texture, int colour, float alpha,
                   float x1, float y1, float s1, float t1,
                   float x2, float y2, float s2, float t2,
                   float x3, float y3, float s3, float t3,
                   float x4, float y4, float s4, float t4,
                   int texture_units, int mode);
// An axis-aligned textured rectangle at (x, y) of size (w, h) on one texture unit, with texture
// coordinates s_left .. s_right across and t_bottom .. t_top up.
void draw_tex_rect(int texture, int colour, float alpha, float x, float y, float w, float h,
                   float s_left, float t_bottom, float s_right, float t_top, int mode);
void clear_screen();
void set_scissor(float x, float y, float w, float h);
void clear_scissor();
void set_blend_normal();
void setup_2d();
void end_frame();
