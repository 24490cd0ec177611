// Start-up to the first drawn frame: window and context, capability detection, the built-in
// images as textures, palette sampling, and one full frame swapped and finished. The baseline,
// measured in the same run in a child process, is a bare window with one cleared frame, so the
// ratio shows what the program's own start-up adds. Run under Xvfb/llvmpipe:
//   xvfb-run -s "-screen 0 1280x1024x24" build/bench_gui_startup
#include <GL/gl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/colours.h"
#include "gui/draw.h"
#include "gui/text.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each measurement runs in its own process, as the window lives for a whole run.
double measure(bool full) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    const auto start = Clock::now();
    if (!apply_window_size(window_size_startup) || create_window() != 1) _exit(1);
    init_2d_layout();
    setup_2d();
    if (full) {
      detect_gl(gl_caps());
      make_builtin_images();
      sample_interface_palette(scratch_pixels(), 512);
      clear_screen();
      draw_tex_rect(t_installer_back, 0, 1.0f, 0, 0, 1024, 768, 0, 0, 1, 0.75f, blend_none);
      draw_string(38, 512, 384, "Starting application.", wrap_none, charset_proportional, align_centre);
    } else {
      glClear(GL_COLOR_BUFFER_BIT);
    }
    end_frame();
    glFinish();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (write(fds[1], &ms, sizeof ms) != sizeof ms) _exit(1);
    destroy_window();
    _exit(0);
  }
  close(fds[1]);
  double ms = -1;
  if (read(fds[0], &ms, sizeof ms) != sizeof ms) ms = -1;
  close(fds[0]);
  waitpid(child, nullptr, 0);
  return ms;
}

}  // namespace

int main() {
  const int runs = 5;
  double bare = 0, full = 0;
  for (int i = 0; i < runs; ++i) {
    const double b = measure(false), f = measure(true);
    if (b < 0 || f < 0) {
      std::fprintf(stderr, "bench_gui_startup: no window (is DISPLAY set?)\n");
      return 1;
    }
    bare += b / runs;
    full += f / runs;
  }
  std::printf("bare window, cleared frame (baseline): %.1f ms\n", bare);
  std::printf("start-up to first drawn frame        : %.1f ms\n", full);
  std::printf("ratio                                : %.2f\n", full / bare);
  return 0;
}
