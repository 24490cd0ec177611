// A small misbehaving HTTP server for tests, header-only: it listens on a free loopback port,
// reads each request up to its empty line, then plays the test's script for that connection:
// canned reply bytes, pauses, silence, a normal close or a reset. It serves the connections one
// after another on a thread of its own and records the request bytes of each.
#pragma once
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_http {

struct Action {
  enum Kind { send, pause, hold, close, reset } kind = send;
  std::string bytes;  // send: the bytes to write
  int ms = 0;         // pause: how long
};

inline Action Send(std::string bytes) { return {Action::send, std::move(bytes), 0}; }
inline Action Pause(int ms) { return {Action::pause, "", ms}; }
// Keeps the connection open and silent until the server is stopped or the client closes.
inline Action Hold() { return {Action::hold, "", 0}; }
// Closes normally (the client sees the end of the data); also what follows every script.
inline Action Close() { return {Action::close, "", 0}; }
// Closes with a reset: the client sees ECONNRESET.
inline Action Reset() { return {Action::reset, "", 0}; }

using Script = std::vector<Action>;

class TestHttpServer {
 public:
  // Connection i plays scripts[i], the last script for every connection beyond the list.
  explicit TestHttpServer(std::vector<Script> scripts) : scripts_(std::move(scripts)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // the system picks a free port
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(listen_fd_, 8) == 0) {
      socklen_t length = sizeof address;
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
      port_ = ntohs(address.sin_port);
    }
    if (pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { serve(); });
  }

  ~TestHttpServer() {
    stopping_ = true;
    if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (active_fd_ >= 0) shutdown(active_fd_, SHUT_RDWR);  // frees a send on a full socket
    }
    thread_.join();
    ::close(listen_fd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
  }

  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t port() const { return port_; }

  // The request bytes of each connection so far, up to and including the empty line.
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  // Waits until `fd` is readable, the server stops, or `ms` pass (-1: no limit). True: readable.
  bool wait_readable(int fd, int ms) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, ms) <= 0) return false;
    return !(fds[1].revents & POLLIN) && (fds[0].revents & (POLLIN | POLLHUP | POLLERR));
  }

  void serve() {
    for (size_t index = 0; !stopping_; ++index) {
      if (!wait_readable(listen_fd_, -1)) return;
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request = read_request(fd);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        active_fd_ = fd;
      }
      const Action::Kind ending = scripts_.empty()
                                      ? Action::close
                                      : play(fd, scripts_[std::min(index, scripts_.size() - 1)]);
      std::lock_guard<std::mutex> lock(mutex_);
      active_fd_ = -1;
      if (ending == Action::reset) {
        linger abort_now{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_now, sizeof abort_now);
      } else {
        shutdown(fd, SHUT_WR);
      }
      ::close(fd);
    }
  }

  std::string read_request(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && wait_readable(fd, 5000)) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
    return request;
  }

  // Plays the script up to its end or its close or reset; returns how to end the connection.
  Action::Kind play(int fd, const Script& script) {
    for (const Action& action : script) {
      if (stopping_) return Action::close;
      switch (action.kind) {
        case Action::send: {
          size_t sent = 0;
          while (sent < action.bytes.size()) {
            const ssize_t n = ::send(fd, action.bytes.data() + sent, action.bytes.size() - sent,
                                     MSG_NOSIGNAL);
            if (n <= 0) return Action::close;
            sent += static_cast<size_t>(n);
          }
          break;
        }
        case Action::pause:
          sleep_unless_stopped(action.ms);
          break;
        case Action::hold: {
          // Silent until the server stops or the client goes away.
          char buffer[4096];
          while (wait_readable(fd, -1)) {
            if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return Action::close;
          }
          return Action::close;
        }
        case Action::close:
        case Action::reset:
          return action.kind;
      }
    }
    return Action::close;
  }

  void sleep_unless_stopped(int ms) {
    pollfd wake{wake_[0], POLLIN, 0};
    poll(&wake, 1, ms);
  }

  std::vector<Script> scripts_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  int active_fd_ = -1;  // the connection being served; guarded by mutex_
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace test_http
