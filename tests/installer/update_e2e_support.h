// Shared pieces of the update end-to-end tests: a private workspace with a web root served by a
// real nginx, releases made by velmora-publish, the installer reaching nginx as its proxy, and
// a way to compare folder trees file by file.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "support/files.h"
#include "support/nginx.h"

namespace e2e {

namespace fs = std::filesystem;

inline std::string shell_quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string build_dir() { return VELMORA_BUILD_DIR; }

// Runs a shell command; returns its exit status, and its output when asked.
inline int run(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using test_support::read_file;
using test_support::write_file;

// Every regular file below `root`: path relative to it -> contents.
inline std::map<std::string, std::string> tree_files(const std::string& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& item : fs::recursive_directory_iterator(root))
    if (item.is_regular_file())
      files[fs::relative(item.path(), root).string()] = read_file(item.path().string());
  return files;
}

// The files of a source tree that a Linux installation gets: not the other platforms' programs.
inline std::map<std::string, std::string> linux_files(const std::string& source) {
  std::map<std::string, std::string> files = tree_files(source);
  for (auto it = files.begin(); it != files.end();)
    it = it->first == "Velmora.exe" || it->first.rfind("Velmora.app/", 0) == 0 ? files.erase(it)
                                                                              : std::next(it);
  return files;
}

// A private folder with a web root ("www/"), a HOME, and nginx serving the web root.
class Workspace {
 public:
  explicit Workspace(const std::string& extra_servers = "") {
    char pattern[] = "/tmp/velmora-e2e-XXXXXX";
    root_ = mkdtemp(pattern) ? std::string(pattern) + "/" : "";
    // nginx's workers may run as another user; they only need to read the web root.
    chmod(root_.c_str(), 0755);
    fs::create_directories(root_ + "www/updates");
    fs::create_directories(root_ + "home");
    nginx_ = std::make_unique<test_support::Nginx>(root_ + "www", extra_servers);
  }
  ~Workspace() {
    nginx_.reset();
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

  const std::string& root() const { return root_; }
  std::string www() const { return root_ + "www/"; }
  std::string home() const { return root_ + "home"; }
  test_support::Nginx& nginx() { return *nginx_; }

  // A sample tree of our own making: root/<folder>/Velmora 9.
  std::string make_sample(const std::string& folder, int files, int megabytes, int seed) {
    const std::string top = root_ + folder + "/Velmora 9";
    run(build_dir() + "/velmora-publish sample --out=" + shell_quoted(top) + " --files=" +
        std::to_string(files) + " --megabytes=" + std::to_string(megabytes) +
        " --seed=" + std::to_string(seed));
    return top;
  }

  // Publishes `source` as release `name` under www/updates/; returns the publisher's status.
  int publish(const std::string& source, const std::string& name,
              const std::string& previous_release = "") {
    std::string command = build_dir() + "/velmora-publish release --source=" + shell_quoted(source) +
                          " --out=" + shell_quoted(release_folder(name)) +
                          " --platform=Velmora-linux=3 --platform=Velmora.exe=2" +
                          " '--platform=Velmora.app/*=1'";
    if (!previous_release.empty())
      command += " --previous=" + shell_quoted(release_folder(previous_release) + "directory.txt");
    return run(command);
  }

  std::string release_folder(const std::string& name) const { return www() + "updates/" + name + "/"; }

  // serverlist9.txt naming `release` on each of `hosts` (all in folder /updates/).
  int write_server_list(const std::string& release, const std::vector<std::string>& hosts) {
    std::string command = build_dir() + "/velmora-publish serverlist --out=" +
                          shell_quoted(www() + "serverlist9.txt") + " --release=" + shell_quoted(release);
    for (const std::string& host : hosts) command += " " + shell_quoted("--server=" + host + "|/updates/|" + host);
    return run(command);
  }

  // The options that send every request to nginx, which plays every host.
  std::string proxy_options() const {
    return "--pref:_proxy_host=127.0.0.1 --pref:_proxy_port_int=" + std::to_string(nginx_->port());
  }

  // Runs velmora-update on `destination` with no terminal; returns its exit status.
  int update(const std::string& destination, const std::string& options, std::string* output) {
    return run("cd " + shell_quoted(root_) + " && env HOME=" + shell_quoted(home()) + " " + build_dir() +
                   "/velmora-update -path " + shell_quoted(destination) + " " + proxy_options() + " " +
                   options + " </dev/null",
               output);
  }

  std::string access_log() const { return read_file(nginx_->access_log()); }

 private:
  std::string root_;
  std::unique_ptr<test_support::Nginx> nginx_;
};

}  // namespace e2e
