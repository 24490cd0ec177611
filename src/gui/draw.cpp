// The 2D drawing layer: layout origin, the cached GL state setter, the colour rule, rectangles,
// lines, textured quads, clearing, scissoring, the 2D projection and the buffer swap.
//
// [SECTION] context and layout   [SECTION] state cache   [SECTION] primitives   [SECTION] frame
#include "gui/draw.h"

#include <GL/gl.h>
#include <GL/glx.h>

#include <algorithm>
#include <cmath>

#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/colours.h"
#include "tex/texture_manager.h"

// [SECTION] context and layout --------------------------------------------------------------------
DrawContext& draw_context() {
  static DrawContext context;
  return context;
}

void init_2d_layout() {
  DrawContext& d = draw_context();
  const WindowState& w = window_state();
  d.window_left = 0;
  d.window_bottom = 0;
  d.window_right = static_cast<float>(w.window_width);
  d.window_top = static_cast<float>(w.window_height);
  d.scale = 1.0f;
}

void set_layout_origin(float layout_width, float layout_height) {
  DrawContext& d = draw_context();
  const float window_width = d.window_right - d.window_left;
  const float window_height = d.window_top - d.window_bottom;
  d.ox = std::max(0.0f, std::round((window_width - layout_width) / 2));
  d.oy = std::max(0.0f, std::round((window_height - layout_height) / 2));
}

// [SECTION] state cache ---------------------------------------------------------------------------
namespace {

void enable(GLenum cap, bool on) {
  if (on)
    glEnable(cap);
  else
    glDisable(cap);
  ++draw_context().gl_state_changes;
}

int available_texture_units() { return std::max(1, gl_caps().max_texture_units); }

void fill_cache_from_gl(GlStateCache& c) {
  c.fog_off = glIsEnabled(GL_FOG) ? 0 : 1;
  c.texture_units = 0;
  const int units = available_texture_units();
  for (int unit = 0; unit < units; ++unit) {
    tex_active_unit(unit);
    if (!glIsEnabled(GL_TEXTURE_2D)) break;
    c.texture_units = unit + 1;
  }
  tex_active_unit(0);
  c.lighting = glIsEnabled(GL_LIGHTING) ? lighting_on : lighting_off;
  const bool blend = glIsEnabled(GL_BLEND), test = glIsEnabled(GL_ALPHA_TEST);
  c.mode = blend ? (test ? blend_and_test : blend_alpha) : (test ? alpha_test : blend_none);
  c.depth_test = glIsEnabled(GL_DEPTH_TEST) ? depth_on : depth_off;
  GLboolean depth_mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
  c.depth_write = depth_mask ? depth_write_on : depth_write_off;
  c.filled = true;
}

bool mode_blends(int mode) { return mode == blend_alpha || mode == blend_and_test; }
bool mode_tests(int mode) { return mode == alpha_test || mode == blend_and_test; }

}  // namespace

void invalidate_gl_state_cache() { draw_context().cache.filled = false; }

void set_gl_state(int fog_off, int texture_units, int lighting, int mode, int depth_test,
                  int depth_write) {
  DrawContext& d = draw_context();
  GlStateCache& c = d.cache;
  if (!c.filled) fill_cache_from_gl(c);
  const bool all = !d.state_cache_enabled;  // without the cache every setting is sent

  if (all || fog_off != c.fog_off) enable(GL_FOG, fog_off == 0);

  int units = std::min(texture_units, available_texture_units());
  if (units <= 0) {
    if (all || c.texture_units > 0 || texture_units < 0) {
      for (int unit = std::max(1, c.texture_units) - 1; unit >= 0; --unit) {
        tex_active_unit(unit);
        enable(GL_TEXTURE_2D, false);
      }
      tex_active_unit(0);
    }
    units = 0;
  } else if (all) {
    for (int unit = 0; unit < units; ++unit) {
      tex_active_unit(unit);
      enable(GL_TEXTURE_2D, true);
    }
    for (int unit = units; unit < c.texture_units; ++unit) {
      tex_active_unit(unit);
      enable(GL_TEXTURE_2D, false);
    }
    tex_active_unit(0);
  } else if (units != c.texture_units) {
    for (int unit = c.texture_units; unit < units; ++unit) {
      tex_active_unit(unit);
      enable(GL_TEXTURE_2D, true);
    }
    for (int unit = units; unit < c.texture_units; ++unit) {
      tex_active_unit(unit);
      enable(GL_TEXTURE_2D, false);
    }
    tex_active_unit(0);
  }

  const bool lit = lighting == lighting_on;
  if (all || lit != (c.lighting == lighting_on)) {
    enable(GL_LIGHTING, lit);
    enable(GL_LIGHT0, lit);
  }

  if (all || mode_blends(mode) != mode_blends(c.mode)) enable(GL_BLEND, mode_blends(mode));
  if (all || mode_tests(mode) != mode_tests(c.mode)) enable(GL_ALPHA_TEST, mode_tests(mode));

  const bool depth = depth_test == depth_on;
  if (all || depth != (c.depth_test == depth_on)) enable(GL_DEPTH_TEST, depth);
  const bool writes = depth_write == depth_write_on;
  if (all || writes != (c.depth_write == depth_write_on)) {
    glDepthMask(writes ? GL_TRUE : GL_FALSE);
    ++d.gl_state_changes;
  }

  c.fog_off = fog_off;
  c.texture_units = units;
  c.lighting = lit ? lighting_on : lighting_off;
  c.mode = mode;
  c.depth_test = depth ? depth_on : depth_off;
  c.depth_write = writes ? depth_write_on : depth_write_off;
}

// [SECTION] primitives ----------------------------------------------------------------------------
void apply_colour(int number, float alpha) {
  const Rgb c = colour(number);
  if (alpha <= 0.99f)
    glColor4f(c.r, c.g, c.b, alpha);
  else
    glColor3f(c.r, c.g, c.b);
}

namespace {
void untextured_state() { set_gl_state(1, 0, lighting_off, blend_alpha, depth_off, depth_write_off); }
}  // namespace

void fill_rect(int colour, float alpha, float x, float y, float w, float h) {
  const DrawContext& d = draw_context();
  untextured_state();
  apply_colour(colour, alpha);
  x += d.ox;
  y += d.oy;
  glBegin(GL_QUADS);
  glVertex2f(x, y);
  glVertex2f(x, y + h);
  glVertex2f(x + w, y + h);
  glVertex2f(x + w, y);
  glEnd();
}

void frame_rect(int colour, float alpha, float x, float y, float w, float h) {
  const DrawContext& d = draw_context();
  untextured_state();
  apply_colour(colour, alpha);
  x += d.ox + 0.5f;
  y += d.oy + 0.5f;
  glBegin(GL_LINE_LOOP);
  glVertex2f(x, y);
  glVertex2f(x, y + h);
  glVertex2f(x + w, y + h);
  glVertex2f(x + w, y);
  glEnd();
}

void draw_line(int colour, float alpha, float x1, float y1, float x2, float y2) {
  const DrawContext& d = draw_context();
  untextured_state();
  apply_colour(colour, alpha);
  glBegin(GL_LINES);
  glVertex2f(x1 + d.ox + 0.5f, y1 + d.oy + 0.5f);
  glVertex2f(x2 + d.ox + 0.5f, y2 + d.oy + 0.5f);
  glEnd();
}

void draw_tex_quad(int texture, int colour, float alpha,
                   float x1, float y1, float s1, float t1,
                   float x2, float y2, float s2, float t2,
                   float x3, float y3, float s3, float t3,
                   float x4, float y4, float s4, float t4,
                   int texture_units, int mode) {
  const DrawContext& d = draw_context();
  if (texture > 0) bind_tex(texture, 0, 0);
  set_gl_state(1, texture_units, lighting_off, mode, depth_off, depth_write_off);
  apply_colour(colour, alpha);
  glBegin(GL_QUADS);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + d.ox, y1 + d.oy);
  glTexCoord2f(s2, t2);
  glVertex2f(x2 + d.ox, y2 + d.oy);
  glTexCoord2f(s3, t3);
  glVertex2f(x3 + d.ox, y3 + d.oy);
  glTexCoord2f(s4, t4);
  glVertex2f(x4 + d.ox, y4 + d.oy);
  glEnd();
}

void draw_tex_rect(int texture, int colour, float alpha, float x, float y, float w, float h,
                   float s_left, float t_bottom, float s_right, float t_top, int mode) {
  draw_tex_quad(texture, colour, alpha, x, y, s_left, t_bottom, x, y + h, s_left, t_top, x + w,
                y + h, s_right, t_top, x + w, y, s_right, t_bottom, 1, mode);
}

void clear_screen() {
  const DrawContext& d = draw_context();
  const WindowState& w = window_state();
  fill_rect(col_background, 1.0f, -d.ox, -d.oy, static_cast<float>(w.window_width),
            static_cast<float>(w.window_height));
}

void set_scissor(float x, float y, float w, float h) {
  const DrawContext& d = draw_context();
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(x + d.ox), static_cast<GLint>(y + d.oy),
            std::max(0, static_cast<GLsizei>(w)), std::max(0, static_cast<GLsizei>(h)));
}

void clear_scissor() { glDisable(GL_SCISSOR_TEST); }

void set_blend_normal() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

// [SECTION] frame ---------------------------------------------------------------------------------
void setup_2d() {
  const WindowState& w = window_state();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, w.window_width, 0, w.window_height, -1, 1);
  glViewport(0, 0, w.window_width, w.window_height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void end_frame() {
  DrawContext& d = draw_context();
  glColor4f(1, 1, 1, 1);
  if (d.frame_mark) d.frame_mark("sb1");
  const WindowState& w = window_state();
  if (w.display && w.window) glXSwapBuffers(w.display, w.window);
  if (d.frame_mark) d.frame_mark("sb2");
}
