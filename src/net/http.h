// The polled HTTP/1.1 client: a fixed table of six download slots, each empty or holding one
// request. A caller names a slot and takes one step on it per pass of its loop; the first step
// starts a request, later ones move bytes between the connection and a local file, and the step
// that ends the request reports done or failed and empties the slot. Nothing blocks: the host
// name lookup runs in the background while the steps keep returning http_running.
//
// Using a slot:
//   - Slots: 0 the server list, 1 the manifest archive, 2 to 5 the four download streams.
//   - http_step(slot, server, path, local_file) returns http_running, http_done or http_failed.
//     While the slot is busy its arguments are ignored (the running request goes on); after
//     done or failed the slot is empty and the next call starts a new request. Server names
//     carry no "/" at the end, paths begin with "/"; breaking either ends the program.
//   - local_file is where the body goes: created (or truncated) when the response headers end.
//   - Done means a 2xx status and exactly "Content-Length" body bytes written to local_file.
//     On failure the local file is left as it is (it exists once the headers arrived, and holds
//     the body of, say, a 404); the caller deletes it if it wants to.
//   - Failures write an error report to the log, except a request that saw no data for
//     http_stall_limit() seconds with its body incomplete, which fails silently.
//   - Progress: http_slot_request(slot) gives the running request (nullptr when the slot is
//     empty); its content_length (-1 while unknown) and received may be read at any time.
//   - http_discard(slot) drops a running request without a report (its socket and file close).
//   - A front end that has nothing to do between steps can sleep on the slots' sockets with
//     http_wait, or put them in its own poll set with http_poll_fds.
// Requests go through the HTTP proxy of the installer session when proxy_port_int is non-zero
// and proxy_host is not empty. Main thread only.
#pragma once
#include <poll.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "net/tcp.h"

enum HttpResult : int {
  http_running = 0,  // the request goes on; step again later
  http_done = 1,     // the body is complete in the local file; the slot is empty
  http_failed = 2,   // the request ended without the file; the slot is empty
};

constexpr int http_slot_count = 6;
constexpr int http_slot_server_list = 0;
constexpr int http_slot_manifest = 1;
constexpr int http_slot_first_stream = 2;  // stream s uses slot s + 2

// Each step receives at most this much per request; the area is shared by all requests.
constexpr int http_receive_area_size = 65536;
// The response headers (all status lines and header lines of one request, informational
// responses included) may take this much; more without the empty line fails the request.
constexpr size_t http_header_limit = 65536;
// A request with no local file keeps its body in memory, up to this much.
constexpr size_t http_memory_body_limit = 16u << 20;

using HttpHeaders = std::map<std::string, std::string>;  // ordered by name, bytewise

class http_request {
 public:
  // Creates a request and starts it: looks up the proxy (when used) or the server and connects
  // to it, with the request text ready to send. `local_file` empty keeps the body in memory.
  http_request(const std::string& server, uint16_t port, const std::string& path, bool post,
               const HttpHeaders& request_headers, const char* body, size_t body_length,
               const std::string& local_file);
  // A request with no connection that only reads response bytes handed to http_take_bytes
  // (parser tests and the fuzz entry point). Its status_code is -1, as once connected.
  static std::unique_ptr<http_request> for_parsing(const std::string& local_file);
  ~http_request();
  http_request(const http_request&) = delete;
  http_request& operator=(const http_request&) = delete;

  // The error report's queries.
  bool IsDone() const;      // the connection is closed
  bool IsComplete() const;  // content_length equals received
  bool IsErr() const;       // an error, no connection, or a failed connection
  int GetStat() const;      // 0 no connection, 1 connecting, 2 failed, 3 closed, then 4 sending,
                            // 5 headers done, 6 waiting for the headers
  int GetOSErr() const;     // error, else the connection's os_error, else 20009

  bool lookup_pending() const { return lookup_ != nullptr; }
  // Gives up on a name lookup still running: the request then fails as for an unknown host.
  void abandon_lookup();
  const std::string& server() const { return server_; }
  const std::string& path() const { return path_; }

  std::unique_ptr<tcp_connection> connection;  // absent when the host could not be resolved
  std::string send_buffer;                     // what is left to send of the request
  std::string receive_buffer;                  // received and not yet consumed
  bool headers_done = false;    // a status above 199 was followed by the empty line
  int status_code = 0;          // 0 at creation, -1 once connecting, then the status line's code
  std::string reason;           // the status line after the code
  HttpHeaders response_headers;  // the first line with a given name wins
  int out_fd = -1;              // the local file, open once the headers are done
  std::string local_path;       // where the body goes; empty keeps it in receive_buffer
  int error = 0;                // 0, a system error number, or a program code (20010, 20011)
  int64_t content_length = -1;  // from "Content-Length"; -1 while unknown
  int64_t received = 0;         // body bytes written to the local file
  float last_activity = 0;      // program clock at creation and whenever body data arrived
  size_t header_bytes = 0;      // header bytes consumed so far (bounded by http_header_limit)

 private:
  friend void http_pump(http_request& request);
  friend void http_take_bytes(http_request& request, const char* data, size_t length);
  http_request() = default;
  // Connects once the address is known; 0 means the host was not found.
  void start_connection(uint32_t address);
  void take_header_lines();
  void end_of_headers();
  void write_body();
  void close_out_file();

  std::string server_;
  std::string path_;
  uint16_t port_ = 0;
  uint16_t connect_port_ = 0;
  std::unique_ptr<host_lookup> lookup_;  // present while the name lookup runs
};

// One step on a slot (see the top of this file). A slot outside 0 to 5, a server ending in "/"
// or a path not beginning with "/" raise a fatal alert.
int http_step(int slot, const std::string& server, const std::string& path,
              const std::string& local_file);
// Moves data for one request once: at most one send and one receive.
void http_pump(http_request& request);
// Consumes bytes that arrived for `request`: response headers first, then the body into the
// local file. http_pump calls it with what it received.
void http_take_bytes(http_request& request, const char* data, size_t length);

// The running request of a slot, or nullptr when the slot is empty (or out of range).
const http_request* http_slot_request(int slot);
// Ends a slot's request, if any, without a report.
void http_discard(int slot);

// The request text: request line, headers in name order, Content-Length for a post, the empty
// line. `via_proxy` puts "http://" and the Host header's value before the path.
std::string http_request_text(bool post, bool via_proxy, const std::string& path,
                              const HttpHeaders& headers, size_t body_length);
// The three headers of every installer request: Connection, Host and User-agent.
HttpHeaders installer_request_headers(const std::string& server);
// "Installer-LIN/" and the last four characters of the program's version string.
std::string installer_user_agent();

// Seconds without data after which an incomplete request fails. 30 in the program; tests may
// set a shorter limit.
float http_stall_limit();
void http_set_stall_limit(float seconds);

// Fills up to `capacity` entries with the sockets the busy slots wait on and the events that
// would let their next step make progress; returns the number filled.
int http_poll_fds(pollfd* fds, int capacity);
// Sleeps until one of those sockets is ready or `timeout_ms` has passed (at most a few
// milliseconds while a name lookup runs, which has no socket to wait on; 0 when a slot's next
// step needs no network). `timeout_ms` is at least 0: wake at least every second or so, so that
// stalled requests are noticed. Returns poll's result.
int http_wait(int timeout_ms);
