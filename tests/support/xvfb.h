// Starts a private Xvfb server (Mesa's software GL behind it) on a display number the server picks
// itself, points DISPLAY at it, and stops it again when the object goes away.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class XvfbServer {
 public:
  explicit XvfbServer(int width = 1280, int height = 1024, int depth = 24) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    const std::string fd_text = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", screen.c_str(),
             "-nolisten", "tcp", "-noreset", "+extension", "GLX", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    while (pid_ > 0 && poll(&p, 1, 20000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
      stop();
      return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
  }

  ~XvfbServer() { stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

  pid_t pid_ = -1;
  std::string display_;
};
