// The X11/GLX window: display connection, visual and context, the fixed-size top-level window with
// its window-manager hints and properties, the GL state defaults, the invisible cursor, and the
// exit-time size application for small screens.
#include "app/x11/window.h"

#include <GL/gl.h>
#include <X11/Xatom.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

WindowState& window_state() {
  static WindowState state;
  return state;
}

namespace {

bool open_display(WindowState& w) {
  if (!w.display) w.display = XOpenDisplay(nullptr);
  return w.display != nullptr;
}

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

void set_utf8_property(WindowState& w, const char* property, const char* value) {
  XChangeProperty(w.display, w.window, atom(w.display, property), atom(w.display, "UTF8_STRING"), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(value),
                  static_cast<int>(std::strlen(value)));
}

void set_atom_list_property(WindowState& w, const char* property, const Atom* atoms, int count) {
  XChangeProperty(w.display, w.window, atom(w.display, property), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(atoms), count);
}

// Minimum and maximum size both the window size, centre gravity: the window manager cannot resize.
void apply_size_hints(WindowState& w) {
  XSizeHints hints;
  long supplied = 0;
  if (!XGetWMNormalHints(w.display, w.window, &hints, &supplied)) std::memset(&hints, 0, sizeof hints);
  hints.flags = PMinSize | PMaxSize | PWinGravity;
  hints.min_width = hints.max_width = w.window_width;
  hints.min_height = hints.max_height = w.window_height;
  hints.win_gravity = CenterGravity;
  XSetWMNormalHints(w.display, w.window, &hints);
}

// The full-screen state property plus the state-change request to the window manager.
void apply_fullscreen_state(WindowState& w, bool fullscreen) {
  Atom fullscreen_atom = atom(w.display, "_NET_WM_STATE_FULLSCREEN");
  set_atom_list_property(w, "_NET_WM_STATE", &fullscreen_atom, fullscreen ? 1 : 0);

  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = w.window;
  event.xclient.message_type = atom(w.display, "_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = fullscreen ? 1 : 0;
  event.xclient.data.l[1] = static_cast<long>(fullscreen_atom);
  event.xclient.data.l[2] = 0;
  XSendEvent(w.display, RootWindow(w.display, w.visual->screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

XVisualInfo* choose_visual(WindowState& w) {
  static const int samples_for_level[] = {0, 2, 4, 8, 16};
  for (int level = w.antialias_level; level >= 0; --level) {
    int attributes[] = {GLX_SAMPLE_BUFFERS_ARB, level > 0 ? 1 : 0,
                        GLX_SAMPLES_ARB,        samples_for_level[level],
                        GLX_RGBA,               GLX_DOUBLEBUFFER,
                        GLX_RED_SIZE,           1,
                        GLX_GREEN_SIZE,         1,
                        GLX_BLUE_SIZE,          1,
                        GLX_DEPTH_SIZE,         2,
                        None};
    if (XVisualInfo* visual = glXChooseVisual(w.display, DefaultScreen(w.display), attributes)) {
      w.antialias_level = level;
      return visual;
    }
  }
  return nullptr;
}

void set_gl_defaults(const WindowState& w) {
  const GLfloat no_ambient[] = {0, 0, 0, 0};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glAlphaFunc(GL_GREATER, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glHint(GL_FOG_HINT, GL_FASTEST);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DITHER);
  glDisable(GL_COLOR_LOGIC_OP);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_NORMALIZE);
  glDisable(GL_SCISSOR_TEST);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  if (w.antialias_level > 0) glEnable(GL_MULTISAMPLE_ARB);
  glDepthMask(GL_FALSE);
}

// X errors during creation (a refused context, a window the server cannot make) are recorded and
// turn into a failed creation instead of ending the process in Xlib's default handler.
int creation_errors = 0;
int record_creation_error(Display*, XErrorEvent*) {
  ++creation_errors;
  return 0;
}

// Undoes a partial creation; the caller reports the failure.
int fail_creation(WindowState& w) {
  if (w.context) glXDestroyContext(w.display, w.context);
  if (w.window) XDestroyWindow(w.display, w.window);
  w.context = nullptr;
  w.window = 0;
  XSync(w.display, False);
  return 0;
}

int create_window_checked(WindowState& w);

}  // namespace

bool apply_window_size(WindowSizeCase which) {
  WindowState& w = window_state();
  w.window_width = w.requested_width;
  w.window_height = w.requested_height;
  w.colour_depth = w.requested_depth;
  if (!open_display(w)) return false;

  int screen = DefaultScreen(w.display);
  int screen_width = DisplayWidth(w.display, screen);
  int screen_height = DisplayHeight(w.display, screen);
  int small = (screen_height < 768 || screen_width < 1024) ? 1 : 0;
  if (!w.screen_recorded) {
    w.screen_width = screen_width;
    w.screen_height = screen_height;
    w.screen_depth = DefaultDepth(w.display, screen);
    w.small_screen = small;
    w.screen_recorded = true;
  }

  if (which == window_size_exit && w.small_screen && w.window) {
    apply_size_hints(w);
    XResizeWindow(w.display, w.window, w.window_width, w.window_height);
    std::printf("%d vs %d X %d vs %d\n", w.screen_width, w.window_width, w.screen_height,
                w.window_height);
    std::fflush(stdout);
    apply_fullscreen_state(
        w, w.window_width == w.screen_width && w.window_height == w.screen_height);
    XFlush(w.display);
  }
  return true;
}

int create_window() {
  WindowState& w = window_state();
  if (!open_display(w)) return 0;
  XSync(w.display, False);
  creation_errors = 0;
  XErrorHandler previous = XSetErrorHandler(record_creation_error);
  int ok = create_window_checked(w);
  XSetErrorHandler(previous);
  return ok;
}

namespace {

int create_window_checked(WindowState& w) {
  w.visual = choose_visual(w);
  if (!w.visual) {
    std::printf(
        "Whoah -- no matter how hard I tried, I failed to get a GLX visual. Something's seriously "
        "wonky on your machine.\n");
    std::fflush(stdout);
    std::exit(1);
  }

  w.context = glXCreateContext(w.display, w.visual, nullptr, True);
  XSync(w.display, False);
  if (!w.context || creation_errors) return fail_creation(w);

  Window root = RootWindow(w.display, w.visual->screen);
  w.colormap = XCreateColormap(w.display, root, w.visual->visual, AllocNone);

  XSetWindowAttributes attributes;
  std::memset(&attributes, 0, sizeof attributes);
  attributes.border_pixel = 0;
  attributes.colormap = w.colormap;
  attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                          PointerMotionMask | ButtonMotionMask | VisibilityChangeMask |
                          StructureNotifyMask | SubstructureNotifyMask;
  w.window = XCreateWindow(w.display, root, 0, 0, w.window_width, w.window_height, 0,
                           w.visual->depth, InputOutput, w.visual->visual,
                           CWBorderPixel | CWColormap | CWEventMask, &attributes);
  XSync(w.display, False);
  if (!w.window || creation_errors) return fail_creation(w);

  char title[] = "Skybase";
  char* title_list[] = {title};
  XTextProperty title_property;
  if (XStringListToTextProperty(title_list, 1, &title_property)) {
    XSetWMName(w.display, w.window, &title_property);
    XFree(title_property.value);
  }
  char res_name[] = "main_window";
  char res_class[] = "Velmora";
  XClassHint class_hint = {res_name, res_class};
  XSetClassHint(w.display, w.window, &class_hint);

  apply_size_hints(w);

  if (const char* startup_id = std::getenv("DESKTOP_STARTUP_ID"))
    set_utf8_property(w, "_NET_STARTUP_ID", startup_id);
  set_utf8_property(w, "_NET_WM_NAME", "Skybase");
  Atom window_type = atom(w.display, "_NET_WM_WINDOW_TYPE_NORMAL");
  set_atom_list_property(w, "_NET_WM_WINDOW_TYPE", &window_type, 1);
  Atom actions[] = {atom(w.display, "_NET_WM_ACTION_CLOSE"),
                    atom(w.display, "_NET_WM_ACTION_FULLSCREEN"),
                    atom(w.display, "_NET_WM_ACTION_MOVE")};
  set_atom_list_property(w, "_NET_WM_ALLOWED_ACTIONS", actions, 3);

  apply_fullscreen_state(w, w.window_width == w.screen_width || w.window_height == w.screen_height);

  // Wait for the first event so that the window is on screen before drawing starts.
  XMapWindow(w.display, w.window);
  XEvent first_event;
  XMaskEvent(w.display, ~0L, &first_event);

  if (!glXMakeCurrent(w.display, w.window, w.context) || creation_errors) return fail_creation(w);
  set_gl_defaults(w);
  return 1;
}

}  // namespace

Cursor make_blank_cursor(Display* display, Window window) {
  WindowState& w = window_state();
  if (w.blank_cursor) return w.blank_cursor;
  Pixmap pixmap = XCreatePixmap(display, window, 1, 1, 1);
  XGCValues values;
  std::memset(&values, 0, sizeof values);
  GC gc = XCreateGC(display, pixmap, 0, &values);
  XSetForeground(display, gc, 0);
  XFillRectangle(display, pixmap, gc, 0, 0, 1, 1);
  XColor black;
  std::memset(&black, 0, sizeof black);
  w.blank_cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreeGC(display, gc);
  XFreePixmap(display, pixmap);
  return w.blank_cursor;
}

void destroy_window() {
  WindowState& w = window_state();
  if (!w.display) return;
  if (w.context) {
    glXMakeCurrent(w.display, None, nullptr);
    glXDestroyContext(w.display, w.context);
    w.context = nullptr;
  }
  if (w.window) {
    XDestroyWindow(w.display, w.window);
    w.window = 0;
  }
  XFlush(w.display);
}
