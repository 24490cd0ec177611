// The program's one top-level X11 window with its double-buffered RGBA GLX context, current on the
// main thread for the whole run. Main thread only.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <GL/glx.h>

struct WindowState {
  Display* display = nullptr;     // opened once from DISPLAY; never closed
  XVisualInfo* visual = nullptr;  // the visual chosen for the window
  GLXContext context = nullptr;
  Colormap colormap = 0;
  Window window = 0;
  int window_width = 1024, window_height = 768;
  int colour_depth = 32;       // requested; not used to choose the visual
  int antialias_level = 0;     // requested multisampling level, 0 .. 4
  int requested_width = 1024, requested_height = 768, requested_depth = 32;
  int screen_width = 0, screen_height = 0, screen_depth = 0;  // recorded at the first size application
  int small_screen = 0;        // the screen was smaller than 1024 x 768 at start-up
  bool screen_recorded = false;
  Cursor blank_cursor = 0;
};

WindowState& window_state();

enum WindowSizeCase { window_size_startup = 0, window_size_exit = 1 };

// Sets the window size from the requested size, opens the display if needed and records the screen
// on the first call. At exit, on a small screen, re-applies the size hints and the full-screen
// state. Returns false when the display cannot be opened.
bool apply_window_size(WindowSizeCase which);

// Creates visual, context, colormap and window, maps it, makes the context current and sets the GL
// defaults. Returns 1 on success, 0 when the display cannot be opened or the context cannot be
// made. No matching visual prints a message and ends the process with status 1.
int create_window();

// An invisible cursor for `window`, made on first use and kept.
Cursor make_blank_cursor(Display* display, Window window);

// Destroys the context and the window (the colormap and the display are left to process exit).
void destroy_window();
