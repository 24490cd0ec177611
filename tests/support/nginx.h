// A real nginx for tests: started on a free loopback port with a configuration written into a
// private folder, serving one root folder; stopped (and its folder removed) when destroyed.
// Installers reach it as their HTTP proxy, so any host name in a request lands here: extra
// server blocks can give some host names their own behaviour (refusing, or passing to a
// misbehaving server of the test's own).
#pragma once
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace test_support {

// A loopback port nobody listens on right now.
inline int free_loopback_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  close(fd);
  return port;
}

inline bool port_answers(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

class Nginx {
 public:
  // `root` is served for every host; `extra_servers` is inserted into the http block as is, with
  // every "@PORT@" replaced by the port (for server blocks of particular host names).
  explicit Nginx(const std::string& root, const std::string& extra_servers = "") {
    char pattern[] = "/tmp/velmora-nginx-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    port_ = free_loopback_port();
    std::string extra = extra_servers;
    for (size_t at; (at = extra.find("@PORT@")) != std::string::npos;)
      extra.replace(at, 6, std::to_string(port_));
    std::ofstream conf(folder_ + "/nginx.conf");
    conf << "daemon off;\nworker_processes 1;\nerror_log " << folder_ << "/error.log;\n"
         << "pid " << folder_ << "/nginx.pid;\nevents { worker_connections 256; }\n"
         << "http {\n  access_log " << folder_ << "/access.log;\n"
         << "  client_body_temp_path " << folder_ << "/body;\n"
         << "  proxy_temp_path " << folder_ << "/proxy;\n"
         << "  fastcgi_temp_path " << folder_ << "/fastcgi;\n"
         << "  uwsgi_temp_path " << folder_ << "/uwsgi;\n"
         << "  scgi_temp_path " << folder_ << "/scgi;\n"
         << "  default_type application/octet-stream;\n  sendfile on;\n"
         << "  server {\n    listen 127.0.0.1:" << port_ << " default_server;\n"
         << "    server_name _;\n    root " << root << ";\n  }\n"
         << extra << "}\n";
    conf.close();
    pid_ = fork();
    if (pid_ == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen((folder_ + "/stderr.log").c_str(), "w", stderr);
      execl("/usr/sbin/nginx", "nginx", "-p", folder_.c_str(), "-c",
            (folder_ + "/nginx.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && !port_answers(port_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    running_ = port_answers(port_);
  }

  ~Nginx() {
    if (pid_ > 0) {
      kill(pid_, SIGQUIT);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;

  bool running() const { return running_; }
  int port() const { return port_; }
  std::string access_log() const { return folder_ + "/access.log"; }

 private:
  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;
  bool running_ = false;
};

}  // namespace test_support
