// Frame cost of a main-screen-like frame (background picture, a dozen panels and bars, 40 lines of
// text) under the current X server's GL, with the GL state and texture bind caches on and off. The
// caches-off run is the baseline; the ratios show what the caches save. Run under Xvfb/llvmpipe:
//   xvfb-run -s "-screen 0 1280x1024x24" build/bench_gui_frame [frames]
#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/draw.h"
#include "gui/text.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

namespace {

void draw_main_screen_like_frame() {
  draw_tex_rect(t_installer_back, 0, 1.0f, 0, 0, 1024, 768, 0, 0, 1, 0.75f, blend_none);
  for (int i = 0; i < 12; ++i) {
    const float y = 40 + i * 56.0f;
    fill_rect(35, 0.8f, 40, y, 420, 48);
    frame_rect(46, 1.0f, 40, y, 420, 48);
    draw_tex_rect(t_gui_skin, 0, 1.0f, 470, y, 64, 24, 0.0f, 0.8f, 0.2f, 0.85f, blend_alpha);
    fill_rect(42, 1.0f, 560, y + 10, 400, 12);
    fill_rect(41, 1.0f, 560, y + 10, 40.0f * i, 12);
  }
  for (int line = 0; line < 40; ++line)
    draw_string(38, 580, 740 - line * 18.0f, "Downloading Resources/default scenery/+40-080.dsf", wrap_none,
                charset_proportional, line % 3);
}

struct Result {
  double ms_per_frame;
  double binds_per_frame, state_changes_per_frame;
};

Result run(int frames, bool caches) {
  draw_context().state_cache_enabled = caches;
  tman().bind_cache_enabled = caches;
  tex_invalidate_bind_cache();
  invalidate_gl_state_cache();
  draw_main_screen_like_frame();  // warm-up
  end_frame();
  glFinish();
  const long binds0 = tman().gl_binds, changes0 = draw_context().gl_state_changes;
  const auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f) {
    draw_main_screen_like_frame();
    end_frame();
  }
  glFinish();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return {ms / frames, double(tman().gl_binds - binds0) / frames,
          double(draw_context().gl_state_changes - changes0) / frames};
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 100;
  if (!apply_window_size(window_size_startup) || create_window() != 1) {
    std::fprintf(stderr, "bench_gui_frame: no window (is DISPLAY set?)\n");
    return 1;
  }
  init_2d_layout();
  setup_2d();
  detect_gl(gl_caps());
  make_builtin_images();

  const Result off = run(frames, false);
  const Result on = run(frames, true);
  std::printf("frames per run           : %d\n", frames);
  std::printf("caches off (baseline)    : %.3f ms/frame, %.1f binds, %.1f state changes\n", off.ms_per_frame,
              off.binds_per_frame, off.state_changes_per_frame);
  std::printf("caches on                : %.3f ms/frame, %.1f binds, %.1f state changes\n", on.ms_per_frame,
              on.binds_per_frame, on.state_changes_per_frame);
  std::printf("ratio on/off frame time  : %.3f\n", on.ms_per_frame / off.ms_per_frame);
  std::printf("ratio on/off binds       : %.3f\n", on.binds_per_frame / off.binds_per_frame);
  std::printf("ratio on/off state changes: %.3f\n", on.state_changes_per_frame / off.state_changes_per_frame);
  destroy_window();
  return 0;
}
