// Non-blocking IPv4 TCP client connections and host name lookup.
#include "net/tcp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>

namespace {

std::atomic<NameLookup> name_lookup_override{nullptr};

uint32_t system_lookup(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return 0;
  uint32_t address = 0;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr) {
      address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  freeaddrinfo(found);
  return address;
}

// A dotted quad converts without any lookup; returns false for anything else.
bool dotted_quad(const std::string& name, uint32_t& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, name.c_str(), &parsed) != 1) return false;
  address = parsed.s_addr;
  return true;
}

uint32_t lookup_name(const std::string& name) {
  if (NameLookup lookup = name_lookup_override.load()) return lookup(name);
  return system_lookup(name);
}

// The network failures that end a connection in the ordinary way.
bool known_network_error(int error) {
  switch (error) {
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case EHOSTUNREACH:
      return true;
    default:
      return false;
  }
}

}  // namespace

int net_startup() { return 1; }

uint32_t resolve_host(const std::string& name) {
  uint32_t address = 0;
  if (dotted_quad(name, address)) return address;
  return lookup_name(name);
}

void set_name_lookup(NameLookup lookup) { name_lookup_override.store(lookup); }

// ---- background lookup ---------------------------------------------------------------------------

struct host_lookup::Result {
  std::atomic<bool> done{false};
  std::atomic<uint32_t> address{0};
};

host_lookup::host_lookup(const std::string& name) : result_(std::make_shared<Result>()) {
  uint32_t address = 0;
  if (dotted_quad(name, address)) {
    result_->address = address;
    result_->done = true;
    return;
  }
  try {
    std::thread([result = result_, name] {
      result->address = lookup_name(name);
      result->done = true;
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: look the name up here, as a blocking lookup would.
    result_->address = lookup_name(name);
    result_->done = true;
  }
}

bool host_lookup::done() const { return result_->done.load(); }
uint32_t host_lookup::address() const { return result_->address.load(); }

// ---- tcp_connection ------------------------------------------------------------------------------

tcp_connection::tcp_connection(uint16_t port) {
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    os_error = errno;  // before the message, whose output may change errno
    std::fputs("LINUX: NET: I could not even create the socket! Uh-oh!\n", stderr);
    state = tcp_failed;
    return;
  }
  int on = 1;
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
    std::printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    os_error = errno;
    std::fputs("LINUX: NET: I could not even bind the socket! Uh-oh!\n", stderr);
    state = tcp_failed;
    return;
  }
  int non_blocking = 1;
  ioctl(fd, FIONBIO, &non_blocking);
}

tcp_connection::~tcp_connection() {
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }
}

void tcp_connection::connect(uint32_t address, uint16_t port) {
  // A socket that could not be prepared may still be blocking: never connect it.
  if (state != tcp_created) return;
  state = tcp_connecting;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = address;
  peer.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
    state = tcp_connected;
    return;
  }
  const int error = errno;
  // EINTR: the connect goes on in the background, exactly as one in progress.
  if (error == EINPROGRESS || error == EAGAIN || error == EALREADY || error == EINTR) return;
  std::fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", error);
  state = tcp_failed;
  os_error = error;
}

int tcp_connection::status() {
  if (state != tcp_connecting) return state;
  // poll rather than select: the descriptor may be above select's fixed limit.
  pollfd query{fd, POLLOUT | POLLPRI, 0};
  const int answer = poll(&query, 1, 0);
  if (answer < 0) {
    const int error = errno;
    if (error == EINTR) return state;
    std::fprintf(stderr,
                 "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
                 answer, error, fd);
    state = tcp_failed;
    os_error = error;
    return state;
  }
  if (answer == 0 || query.revents == 0) return state;
  const bool exceptional = (query.revents & (POLLERR | POLLHUP | POLLPRI | POLLNVAL)) != 0;
  state = (query.revents & POLLOUT) && !exceptional ? tcp_connected : tcp_closed;
  return state;
}

int tcp_connection::transfer_failed(int error, const char* message) {
  // EINTR: nothing was transferred; the next call simply tries again.
  if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return 0;
  if (known_network_error(error)) {
    state = tcp_closed;
    return -1;
  }
  std::fprintf(stderr, message, error);
  state = tcp_failed;
  os_error = error;
  return -1;
}

// A connection that has ended stays as it ended: a later call on its socket (which may then
// report EPIPE or ENOTCONN) must not turn `closed` into `failed`.
bool tcp_connection::ended() const {
  return fd < 0 || state == tcp_closed || state == tcp_failed;
}

int tcp_connection::send(const char* data, int length) {
  if (ended()) return -1;
  if (length <= 0) return 0;
  // MSG_NOSIGNAL: a peer that has gone away gives an error here, never a SIGPIPE.
  const ssize_t sent = ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<int>(sent);
  return transfer_failed(errno, "LINUX: NET: Some sort of error while sending! %d\n");
}

int tcp_connection::receive(char* buffer, int size) {
  if (ended()) return -1;
  if (size <= 0) return 0;
  const ssize_t got = ::recv(fd, buffer, static_cast<size_t>(size), 0);
  if (got > 0) return static_cast<int>(got);
  if (got == 0) {
    peer_closed = 1;
    return 0;
  }
  return transfer_failed(errno, "LINUX: NET: Some sort of error while recving! %d\n");
}

void tcp_connection::close_both() {
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
  state = tcp_closed;
}
