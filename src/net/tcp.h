// Non-blocking IPv4 TCP client connections, polled from the frame loop, and the host name lookup
// that goes with them. Nothing here waits: every call returns at once with what it could do.
// Failures show in the connection's state and os_error; the few messages go to stdout/stderr,
// never to the program's log. Main thread only (the background lookup touches no shared data).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

// Prepares the network layer; nothing to do on this platform. Always returns 1.
int net_startup();

// The IPv4 address of `name` in network byte order, or 0 when it cannot be found. A dotted quad
// is converted directly; any other name goes to the system resolver (this blocks for as long as
// the resolver takes) and its first address is taken.
uint32_t resolve_host(const std::string& name);

// Tests: replaces the system resolver for names that are not dotted quads (nullptr restores it),
// so lookups that fail or take time can be staged without sending anything to a name server.
using NameLookup = uint32_t (*)(const std::string& name);
void set_name_lookup(NameLookup lookup);

// resolve_host without blocking the caller: a dotted quad is ready at once, any other name is
// looked up on a thread of its own. The lookup may outlive this object; its thread then finishes
// on its own and the result is dropped.
class host_lookup {
 public:
  explicit host_lookup(const std::string& name);
  bool done() const;         // the address is known (or known to be missing)
  uint32_t address() const;  // resolve_host's answer; valid once done()

 private:
  struct Result;
  std::shared_ptr<Result> result_;
};

enum TcpState : int {
  tcp_created = 1,     // the socket exists and is bound; no connection was asked for
  tcp_connecting = 2,  // a non-blocking connect is in progress
  tcp_connected = 3,   // data can be sent and received
  tcp_closed = 4,      // this side shut it down, the peer reset it, or a known network failure
  tcp_failed = 5,      // an unexpected error; os_error holds its number
};

class tcp_connection {
 public:
  // Creates the socket, turns on TCP_NODELAY, binds it to `port` on any local address and makes
  // it non-blocking. On failure the connection is `failed` and connect does nothing.
  explicit tcp_connection(uint16_t port);
  // Shuts the socket down in both directions and closes it.
  virtual ~tcp_connection();
  tcp_connection(const tcp_connection&) = delete;
  tcp_connection& operator=(const tcp_connection&) = delete;

  // Starts connecting to `address` (network byte order) on `port` (host order).
  void connect(uint32_t address, uint16_t port);
  // Polls a connect in progress (zero timeout); any other state is returned as it is.
  int status();
  // Bytes taken now; 0 when none could be taken now; -1 when the connection ended or failed.
  int send(const char* data, int length);
  // Bytes received, up to `size`; 0 when nothing is there now or the peer has ended its sending
  // (peer_closed is then set); -1 when the connection ended or failed.
  int receive(char* buffer, int size);
  // Shuts the socket down in both directions; the state becomes `closed`.
  void close_both();
  int get_os_error() const { return os_error; }

  int fd = -1;
  int state = tcp_created;
  int os_error = 0;
  uint8_t peer_closed = 0;

 private:
  // closed or failed (both final): send and receive give -1 and change nothing.
  bool ended() const;
  // The shared error rule of send and receive: returns the call's result.
  int transfer_failed(int error, const char* message);
};
