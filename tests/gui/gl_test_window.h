// One private Xvfb server and the program's window with its GL context for a whole test program,
// plus small helpers to read back what a frame drew.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/draw.h"
#include "support/xvfb.h"

class GlWindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>(1280, 1024);
    ASSERT_TRUE(server_->running()) << "Xvfb did not start";
    ASSERT_TRUE(apply_window_size(window_size_startup));
    ASSERT_EQ(create_window(), 1);
    init_2d_layout();
    setup_2d();
    GLint units = 1, max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    gl_caps().max_texture_units = units;
    gl_caps().max_texture_size = max_size;
    gl_caps().tex_clamp_avail = true;
  }
  void TearDown() override {
    destroy_window();
    server_.reset();
  }

 private:
  std::unique_ptr<XvfbServer> server_;
};

// RGBA pixels of the back buffer, bottom row first.
struct Frame {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
  const std::uint8_t* at(int x, int y) const { return &pixels[(std::size_t(y) * width + x) * 4]; }
  bool lit(int x, int y) const { return at(x, y)[0] > 127; }
  // Bounding box of the lit pixels; all -1 when nothing is lit.
  struct Box {
    int left = -1, bottom = -1, right = -1, top = -1;  // right and top exclusive
    long count = 0;
  };
  Box lit_box() const {
    Box b;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (lit(x, y)) {
          if (b.count++ == 0) {
            b.left = b.right = x;
            b.bottom = b.top = y;
          }
          b.left = std::min(b.left, x);
          b.right = std::max(b.right, x + 1);
          b.bottom = std::min(b.bottom, y);
          b.top = std::max(b.top, y + 1);
        }
    return b;
  }
};

inline void clear_to_black() {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

inline Frame read_frame() {
  glFinish();
  Frame f;
  f.width = window_state().window_width;
  f.height = window_state().window_height;
  f.pixels.resize(std::size_t(f.width) * f.height * 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, f.width, f.height, GL_RGBA, GL_UNSIGNED_BYTE, f.pixels.data());
  return f;
}
