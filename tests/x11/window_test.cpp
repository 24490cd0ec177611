// The window as another X client sees it: size, hints, class, title and the window-manager
// properties, on screens larger than, equal to and smaller than the window; the exit-time line on
// a small screen; and a failed creation when there is no display.
#include <gtest/gtest.h>  // before the X headers, whose None macro it cannot take

#include "app/x11/window.h"

#include <X11/Xatom.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/files.h"
#include "support/xvfb.h"

namespace {

struct WindowCase {
  const char* label;
  int screen_width, screen_height;
  const char* startup_id;   // DESKTOP_STARTUP_ID, or null for unset
  bool fullscreen;          // _NET_WM_STATE holds _NET_WM_STATE_FULLSCREEN
  const char* exit_line;    // printed by the exit-time size application, "" for none
};

void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.label; }

std::vector<Atom> atom_list(Display* display, Window window, const char* property) {
  Atom type;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 64, False,
                         XA_ATOM, &type, &format, &count, &after, &data) == Success && data) {
    const long* values = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i < count; ++i) atoms.push_back(static_cast<Atom>(values[i]));
    XFree(data);
  }
  return atoms;
}

// The property as text and its type name; "" and "" when absent.
std::pair<std::string, std::string> text_property(Display* display, Window window, const char* property) {
  Atom type = None;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  std::pair<std::string, std::string> result;
  if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 1024, False,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success && data) {
    result.first.assign(reinterpret_cast<const char*>(data), count);
    if (type != None) {
      char* name = XGetAtomName(display, type);
      result.second = name;
      XFree(name);
    }
    XFree(data);
  }
  return result;
}

class WindowProperties : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowProperties, AsAnotherClientSeesThem) {
  const WindowCase& c = GetParam();
  XvfbServer server(c.screen_width, c.screen_height);
  ASSERT_TRUE(server.running());
  char out_path[] = "/tmp/velmora-window-out-XXXXXX";
  const int out_fd = mkstemp(out_path);
  ASSERT_GE(out_fd, 0);

  int to_parent[2], to_child[2];
  ASSERT_EQ(pipe(to_parent), 0);
  ASSERT_EQ(pipe(to_child), 0);
  const pid_t child = fork();
  if (child == 0) {
    // The program: its own process, as the window record lives for a whole run.
    dup2(out_fd, STDOUT_FILENO);
    if (c.startup_id)
      setenv("DESKTOP_STARTUP_ID", c.startup_id, 1);
    else
      unsetenv("DESKTOP_STARTUP_ID");
    unsigned long id = 0;
    if (apply_window_size(window_size_startup) && create_window() == 1) id = window_state().window;
    if (write(to_parent[1], &id, sizeof id) != sizeof id) _exit(2);
    char go;
    if (read(to_child[0], &go, 1) != 1) _exit(2);
    apply_window_size(window_size_exit);
    destroy_window();
    _exit(0);
  }
  unsigned long id = 0;
  ASSERT_EQ(read(to_parent[0], &id, sizeof id), static_cast<ssize_t>(sizeof id));
  ASSERT_NE(id, 0u) << "window creation failed";
  const Window window = id;

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
  EXPECT_EQ(attributes.width, 1024);
  EXPECT_EQ(attributes.height, 768);
  EXPECT_EQ(attributes.border_width, 0);
  EXPECT_EQ(attributes.map_state, IsViewable);
  const long wanted = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                      PointerMotionMask | ButtonMotionMask | VisibilityChangeMask |
                      StructureNotifyMask | SubstructureNotifyMask;
  EXPECT_EQ(attributes.all_event_masks & wanted, wanted);
  EXPECT_EQ(attributes.all_event_masks & ExposureMask, 0);

  char* name = nullptr;
  ASSERT_TRUE(XFetchName(display, window, &name));
  EXPECT_STREQ(name, "Skybase");
  XFree(name);
  XClassHint class_hint;
  ASSERT_TRUE(XGetClassHint(display, window, &class_hint));
  EXPECT_STREQ(class_hint.res_name, "main_window");
  EXPECT_STREQ(class_hint.res_class, "Velmora");
  XFree(class_hint.res_name);
  XFree(class_hint.res_class);

  XSizeHints hints;
  long supplied;
  ASSERT_TRUE(XGetWMNormalHints(display, window, &hints, &supplied));
  EXPECT_EQ(hints.flags & (PMinSize | PMaxSize | PWinGravity), PMinSize | PMaxSize | PWinGravity);
  EXPECT_EQ(hints.min_width, 1024);
  EXPECT_EQ(hints.max_width, 1024);
  EXPECT_EQ(hints.min_height, 768);
  EXPECT_EQ(hints.max_height, 768);
  EXPECT_EQ(hints.win_gravity, CenterGravity);

  EXPECT_EQ(text_property(display, window, "_NET_WM_NAME"),
            std::make_pair(std::string("Skybase"), std::string("UTF8_STRING")));
  if (c.startup_id)
    EXPECT_EQ(text_property(display, window, "_NET_STARTUP_ID"),
              std::make_pair(std::string(c.startup_id), std::string("UTF8_STRING")));
  else
    EXPECT_EQ(text_property(display, window, "_NET_STARTUP_ID").first, "");

  auto intern = [display](const char* n) { return XInternAtom(display, n, False); };
  EXPECT_EQ(atom_list(display, window, "_NET_WM_WINDOW_TYPE"),
            std::vector<Atom>{intern("_NET_WM_WINDOW_TYPE_NORMAL")});
  EXPECT_EQ(atom_list(display, window, "_NET_WM_ALLOWED_ACTIONS"),
            (std::vector<Atom>{intern("_NET_WM_ACTION_CLOSE"), intern("_NET_WM_ACTION_FULLSCREEN"),
                               intern("_NET_WM_ACTION_MOVE")}));
  EXPECT_EQ(atom_list(display, window, "_NET_WM_STATE"),
            c.fullscreen ? std::vector<Atom>{intern("_NET_WM_STATE_FULLSCREEN")} : std::vector<Atom>{});
  XCloseDisplay(display);

  ASSERT_EQ(write(to_child[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(test_support::read_file(out_path), c.exit_line);
  close(out_fd);
  unlink(out_path);
  for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) close(fd);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WindowProperties,
    ::testing::Values(
        WindowCase{"larger", 1280, 1024, nullptr, false, ""},
        WindowCase{"equal", 1024, 768, "velmora-launch-42", true, ""},
        WindowCase{"smaller", 800, 600, nullptr, false, "800 vs 1024 X 600 vs 768\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WindowCreation, NoDisplayIsAFailureNotACrash) {
  const char* saved = std::getenv("DISPLAY");
  const std::string saved_display = saved ? saved : "";
  setenv("DISPLAY", ":4711", 1);  // nothing listens there
  EXPECT_FALSE(apply_window_size(window_size_startup));
  EXPECT_EQ(create_window(), 0);
  EXPECT_EQ(window_state().window, 0u);
  if (saved)
    setenv("DISPLAY", saved_display.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

}  // namespace
