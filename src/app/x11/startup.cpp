// Start-up of the window program around the core's display-free steps.
#include "app/x11/startup.h"

#include "app/alert.h"
#include "app/shell.h"
#include "app/threads.h"
#include "app/x11/gl_caps.h"
#include "app/x11/window.h"
#include "gui/colours.h"
#include "gui/draw.h"
#include "tex/builtin_images.h"
#include "tex/texture_manager.h"

void app_startup(int argc, char** argv) {
  app_startup_core(argc, argv);

  WindowState& window = window_state();
  window.requested_width = 1024;
  window.requested_height = 768;
  window.requested_depth = 32;
  window.antialias_level = 0;
  tman().resolution_setting = 5;  // full resolution
  apply_window_size(window_size_startup);
  if (create_window() != 1) {
    show_alert(0,
               "I could not set up the graphics for Velmora! I hope your monitor is at 1024x768 "
               "or higher! It must be!",
               "You do not meet the system requirements or you do not have OpenGL drivers or you "
               "entered a bad resolution in Velmora!",
               "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D "
               "accelerator card!",
               "If you reset the resolution, you can try launching Velmora again, since I am "
               "resetting Velmora to default resolution now.",
               t_exit, "ck_init", 1521);
  }
  // The window goes however the run ends, a fatal alert's short shutdown included, after the
  // preferences and the workers and before the log closes.
  add_exit_cleanup([] {
    apply_window_size(window_size_exit);
    destroy_window();
    // The program never grabs the keyboard; releasing it anyway leaves the desktop usable
    // whatever a window manager did.
    if (Display* display = window_state().display) {
      XUngrabKeyboard(display, CurrentTime);
      XFlush(display);
    }
  });
  init_2d_layout();
  detect_gl(gl_caps());
  start_workers();
  make_builtin_images();
  sample_interface_palette(scratch_pixels(), 512);
  init_2d_layout();
  set_graphics_ready(true);
}
