// The polled HTTP/1.1 client: the six download slots, the request itself (request text,
// response headers, body into the local file) and the error report in the log.
//
// [SECTION] client state   [SECTION] request text   [SECTION] http_request
// [SECTION] receiving      [SECTION] http_step      [SECTION] waiting on the sockets
#include "net/http.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/alert.h"
#include "app/clock.h"
#include "app/log.h"
#include "app/version.h"
#include "files/errors.h"
#include "installer/session.h"

// [SECTION] client state --------------------------------------------------------------------------
namespace {

struct HttpClient {
  bool started = false;  // net_startup has run
  std::unique_ptr<http_request> slots[http_slot_count];
  float stall_limit = 30;
};

HttpClient& http_client() {
  static HttpClient client;
  return client;
}

// The receive area every request's step receives into.
char receive_area[http_receive_area_size];

}  // namespace

float http_stall_limit() { return http_client().stall_limit; }
void http_set_stall_limit(float seconds) { http_client().stall_limit = seconds; }

// [SECTION] request text --------------------------------------------------------------------------

std::string installer_user_agent() {
  std::string agent = "Installer-LIN/";
  const std::string version = program_version_string;
  if (version.size() >= 4) agent += version.substr(version.size() - 4);
  return agent;
}

HttpHeaders installer_request_headers(const std::string& server) {
  return {{"Connection", "close"}, {"Host", server}, {"User-agent", installer_user_agent()}};
}

std::string http_request_text(bool post, bool via_proxy, const std::string& path,
                              const HttpHeaders& headers, size_t body_length) {
  std::string text = post ? "POST " : "GET ";
  if (via_proxy) {
    text += "http://";
    if (auto host = headers.find("Host"); host != headers.end()) text += host->second;
  }
  for (char c : path) {
    if (c == ' ') {
      text += "%20";
    } else {
      text += c;
    }
  }
  text += " HTTP/1.1\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  if (post) text += "Content-Length: " + std::to_string(body_length) + "\r\n";
  text += "\r\n";
  return text;
}

// [SECTION] http_request --------------------------------------------------------------------------

http_request::http_request(const std::string& server, uint16_t port, const std::string& path,
                           bool post, const HttpHeaders& request_headers, const char* body,
                           size_t body_length, const std::string& local_file)
    : local_path(local_file), server_(server), path_(path), port_(port) {
  last_activity = program_clock();
  const InstallerSession& settings = session();
  const bool via_proxy = settings.proxy_port_int != 0 && !settings.proxy_host.empty();
  connect_port_ = static_cast<uint16_t>(via_proxy ? settings.proxy_port_int : port);
  // A request that carries a body is a POST, whatever the flag says, so the body is never
  // dropped from the request.
  const bool with_body = post || body != nullptr;
  send_buffer = http_request_text(with_body, via_proxy, path, request_headers, body_length);
  if (body) send_buffer.append(body, body_length);
  lookup_ = std::make_unique<host_lookup>(via_proxy ? settings.proxy_host : server);
  if (lookup_->done()) {
    const uint32_t address = lookup_->address();
    lookup_.reset();
    start_connection(address);
  }
}

std::unique_ptr<http_request> http_request::for_parsing(const std::string& local_file) {
  std::unique_ptr<http_request> request(new http_request());
  request->local_path = local_file;
  request->status_code = -1;
  request->last_activity = program_clock();
  return request;
}

http_request::~http_request() { close_out_file(); }

void http_request::start_connection(uint32_t address) {
  if (address == 0) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address);
    app_log() << "Translated server " << server_ << " to IP addy: " << int(bytes[0]) << "."
              << int(bytes[1]) << "." << int(bytes[2]) << "." << int(bytes[3])
              << " and port = " << port_ << "\n";
    error = err_net_no_host;
    return;
  }
  status_code = -1;
  connection = std::make_unique<tcp_connection>(0);
  connection->connect(address, connect_port_);
}

void http_request::abandon_lookup() {
  if (!lookup_) return;
  lookup_.reset();
  start_connection(0);
}

void http_request::close_out_file() {
  if (out_fd >= 0) {
    ::close(out_fd);
    out_fd = -1;
  }
}

bool http_request::IsDone() const { return connection && connection->state == tcp_closed; }
bool http_request::IsComplete() const { return content_length == received; }
bool http_request::IsErr() const {
  return error != 0 || !connection || connection->state == tcp_failed;
}

int http_request::GetStat() const {
  if (!connection) return 0;
  switch (connection->state) {
    case tcp_connecting: return 1;
    case tcp_failed: return 2;
    case tcp_closed: return 3;
    default: break;
  }
  if (!send_buffer.empty()) return 4;
  return headers_done ? 5 : 6;
}

int http_request::GetOSErr() const {
  if (error != 0) return error;
  if (connection) return connection->get_os_error();
  return err_net_alloc;
}

// [SECTION] receiving -----------------------------------------------------------------------------
namespace {

// "Content-Length" as decimal digits, blanks around them allowed. Anything else leaves the
// length unknown, so that a damaged header can never pass for a complete body.
int64_t parse_content_length(const std::string& value) {
  size_t at = 0;
  while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
  const size_t digits_start = at;
  int64_t length = 0;
  while (at < value.size() && value[at] >= '0' && value[at] <= '9') {
    if (length > (INT64_MAX - 9) / 10) return -1;
    length = length * 10 + (value[at] - '0');
    ++at;
  }
  if (at == digits_start) return -1;
  while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
  return at == value.size() ? length : -1;
}

}  // namespace

// Takes complete lines from the front of receive_buffer until the headers end, the data runs
// out, or an empty line was met (after an informational response the next status line is only
// read when more data arrives).
void http_request::take_header_lines() {
  size_t taken = 0;
  while (!headers_done) {
    const size_t line_end = receive_buffer.find("\r\n", taken);
    if (line_end == std::string::npos) break;
    const std::string_view line(receive_buffer.data() + taken, line_end - taken);
    header_bytes += line.size() + 2;
    taken = line_end + 2;
    if (line.empty()) {
      if (status_code > 199) end_of_headers();
      break;
    }
    if (line.size() > 13 && line.substr(0, 5) == "HTTP/") {
      status_code = std::atoi(std::string(line.substr(9, 3)).c_str());
      reason = std::string(line.substr(13));
    } else if (const size_t colon = line.find(": "); colon != std::string_view::npos) {
      response_headers.emplace(std::string(line.substr(0, colon)),
                               std::string(line.substr(colon + 2)));
    }
  }
  receive_buffer.erase(0, taken);
}

void http_request::end_of_headers() {
  headers_done = true;
  if (!local_path.empty()) {
    out_fd = ::open(local_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out_fd < 0) error = errno;
  }
  if (auto length = response_headers.find("Content-Length"); length != response_headers.end()) {
    content_length = parse_content_length(length->second);
  }
}

void http_request::write_body() {
  received += static_cast<int64_t>(receive_buffer.size());
  last_activity = program_clock();
  const char* data = receive_buffer.data();
  size_t left = receive_buffer.size();
  while (left > 0) {
    const ssize_t written = ::write(out_fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : err_net_write_file;
      break;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  receive_buffer.clear();
}

void http_take_bytes(http_request& request, const char* data, size_t length) {
  // A request with an error ends at its next step; it takes nothing more.
  if (request.error != 0) return;
  request.receive_buffer.append(data, length);
  if (!request.headers_done) {
    request.take_header_lines();
    if (!request.headers_done) {
      if (request.header_bytes + request.receive_buffer.size() > http_header_limit) {
        request.error = EMSGSIZE;
      }
      return;
    }
  }
  request.last_activity = program_clock();
  if (request.content_length != -1 && request.connection &&
      static_cast<int64_t>(request.receive_buffer.size()) + request.received >=
          request.content_length) {
    request.connection->close_both();
  }
  if (request.out_fd >= 0 && !request.receive_buffer.empty()) {
    request.write_body();
  } else if (request.local_path.empty() &&
             request.receive_buffer.size() > http_memory_body_limit) {
    request.error = EMSGSIZE;
  }
}

void http_pump(http_request& request) {
  if (request.lookup_) {
    if (!request.lookup_->done()) return;
    const uint32_t address = request.lookup_->address();
    request.lookup_.reset();
    request.start_connection(address);
  }
  if (!request.connection) return;
  tcp_connection& connection = *request.connection;
  if (connection.status() == tcp_connected) {
    if (!request.send_buffer.empty()) {
      const int sent = connection.send(request.send_buffer.data(),
                                       static_cast<int>(std::min<size_t>(
                                           request.send_buffer.size(), 1u << 30)));
      if (sent > 0) request.send_buffer.erase(0, static_cast<size_t>(sent));
    }
    if (connection.state == tcp_connected) {
      const int got = connection.receive(receive_area, http_receive_area_size);
      if (got > 0) http_take_bytes(request, receive_area, static_cast<size_t>(got));
    }
  }
  if (connection.state == tcp_closed || connection.state == tcp_failed) request.close_out_file();
}

// [SECTION] http_step -----------------------------------------------------------------------------
namespace {

// The argument conventions: a bare server name, a path that starts at the root.
void net_check(const std::string& server, const std::string& path) {
  if (!server.empty() && server.back() == '/') {
    show_alert(0, "net_check error! You have a dirchar at the end of the server name!",
               "You should not!",
               "Our convention is that a server name is simply a server name... with no slash!",
               server, t_exit, "http", 247);
  }
  if (path.empty() || path.front() != '/') {
    show_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
               "You should!",
               "Our convention is that a directory name does start with a slash because it must "
               "include the hard drive,which is a dir char on unix!",
               path, t_exit, "http", 248);
  }
}

void write_error_report(const http_request& request) {
  app_log() << "HTTP Error for " << request.local_path << "\n"
            << "   server     =" << request.server() << "\n"
            << "   file       =" << request.path() << "\n"
            << "   IsDone     =" << int(request.IsDone()) << "\n"
            << "   IsComplete =" << int(request.IsComplete()) << "\n"
            << "   IsErr      =" << int(request.IsErr()) << "\n"
            << "   GetStat    =" << request.GetStat() << "\n"
            << "   GetOSErr   =" << request.GetOSErr() << "\n"
            << "   response   =" << request.reason << " (#" << request.status_code << ")\n\n";
}

bool stalled(const http_request& request) {
  return request.last_activity + http_stall_limit() < program_clock();
}

}  // namespace

int http_step(int slot, const std::string& server, const std::string& path,
              const std::string& local_file) {
  if (slot < 0 || slot >= http_slot_count) {
    show_alert(0, "Too many download objects requested!", "", "", "", t_exit, "http", 232);
    return http_failed;
  }
  HttpClient& client = http_client();
  if (!client.started) {
    client.started = true;
    net_startup();
  }
  std::unique_ptr<http_request>& held = client.slots[slot];
  if (!held) {
    net_check(server, path);
    held = std::make_unique<http_request>(server, 80, path, false,
                                          installer_request_headers(server), nullptr, 0,
                                          local_file);
  }
  http_request& request = *held;
  http_pump(request);

  if (request.lookup_pending()) {
    // Nothing has come back from the resolver: it falls under the same limit as a silent
    // server, and then ends as an unknown host does.
    if (!stalled(request)) return http_running;
    request.abandon_lookup();
  } else if (request.connection && request.connection->state == tcp_closed) {
    // finished: judged below
  } else if (request.received != request.content_length && request.error == 0 &&
             request.connection) {
    if (request.connection->state != tcp_failed) {
      if (!stalled(request)) return http_running;
      held.reset();
      return http_failed;
    }
  }

  const bool success = request.status_code >= 200 && request.status_code <= 299 &&
                       request.IsComplete() && !request.IsErr();
  if (!success) write_error_report(request);
  held.reset();
  return success ? http_done : http_failed;
}

const http_request* http_slot_request(int slot) {
  if (slot < 0 || slot >= http_slot_count) return nullptr;
  return http_client().slots[slot].get();
}

void http_discard(int slot) {
  if (slot >= 0 && slot < http_slot_count) http_client().slots[slot].reset();
}

// [SECTION] waiting on the sockets ----------------------------------------------------------------
namespace {

// What a slot's request waits for: its socket events, or `now` when its next step needs no
// network (a lookup to collect soon, or an ending to report).
struct SlotWait {
  bool lookup = false;
  bool now = false;
  pollfd entry{-1, 0, 0};
};

SlotWait slot_wait(const http_request& request) {
  SlotWait wait;
  if (request.lookup_pending()) {
    wait.lookup = true;
    return wait;
  }
  if (!request.connection) {
    wait.now = true;
    return wait;
  }
  const tcp_connection& connection = *request.connection;
  wait.entry.fd = connection.fd;
  switch (connection.state) {
    case tcp_connecting:
      wait.entry.events = POLLOUT;
      break;
    case tcp_connected:
      if (!request.send_buffer.empty()) wait.entry.events |= POLLOUT;
      // After the peer's end of data the socket stays readable: waiting on it would not wait.
      if (!connection.peer_closed) wait.entry.events |= POLLIN;
      break;
    default:
      wait.now = true;
      break;
  }
  return wait;
}

}  // namespace

int http_poll_fds(pollfd* fds, int capacity) {
  int filled = 0;
  for (const auto& held : http_client().slots) {
    if (!held || filled >= capacity) continue;
    const SlotWait wait = slot_wait(*held);
    if (wait.entry.fd >= 0 && wait.entry.events != 0) fds[filled++] = wait.entry;
  }
  return filled;
}

int http_wait(int timeout_ms) {
  pollfd fds[http_slot_count];
  int count = 0;
  for (const auto& held : http_client().slots) {
    if (!held) continue;
    const SlotWait wait = slot_wait(*held);
    if (wait.now) timeout_ms = 0;
    if (wait.lookup) timeout_ms = std::min(timeout_ms, 5);
    if (wait.entry.fd >= 0 && wait.entry.events != 0) fds[count++] = wait.entry;
  }
  if (timeout_ms < 0) timeout_ms = 0;
  return poll(count > 0 ? fds : nullptr, static_cast<nfds_t>(count), timeout_ms);
}
