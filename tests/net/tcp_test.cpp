// TCP connections and host name lookup, against loopback sockets only.
#include "net/tcp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/test_http_server.h"

using namespace test_http;

namespace {

std::atomic<int> lookups_asked{0};

uint32_t staged_lookup(const std::string& name) {
  ++lookups_asked;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return name == "staged.velmora.example" ? htonl(0x7f000002) : 0;
}

struct LookupHook {
  explicit LookupHook(NameLookup lookup) { set_name_lookup(lookup); }
  ~LookupHook() { set_name_lookup(nullptr); }
};

TEST(ResolveHost, Addresses) {
  LookupHook hook(staged_lookup);
  struct Case {
    const char* label;
    const char* name;
    uint32_t host_order;
    int lookups;
  };
  const Case cases[] = {
      {"dotted quad, converted without a lookup", "127.0.0.1", 0x7f000001, 0},
      {"any dotted quad converts", "10.1.2.3", 0x0a010203, 0},
      {"a name goes to the resolver", "staged.velmora.example", 0x7f000002, 1},
      {"a name that does not resolve", "nowhere.velmora.example", 0, 1},
  };
  for (const Case& c : cases) {
    lookups_asked = 0;
    EXPECT_EQ(resolve_host(c.name), htonl(c.host_order)) << c.label;
    EXPECT_EQ(lookups_asked, c.lookups) << c.label;
  }
}

TEST(ResolveHost, SystemResolverReadsTheHostsFile) {
  EXPECT_EQ(resolve_host("localhost"), htonl(0x7f000001));
}

TEST(HostLookup, DottedQuadIsReadyAtOnceANameIsLookedUpInTheBackground) {
  LookupHook hook(staged_lookup);
  host_lookup quad("127.0.0.1");
  EXPECT_TRUE(quad.done());
  EXPECT_EQ(quad.address(), htonl(0x7f000001));

  host_lookup name("staged.velmora.example");
  EXPECT_FALSE(name.done());
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!name.done() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(name.done());
  EXPECT_EQ(name.address(), htonl(0x7f000002));
}

// Polls `connection` until it leaves `connecting`.
int settle(tcp_connection& connection) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (connection.status() == tcp_connecting && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return connection.state;
}

// Receives until something arrives or the connection ends; returns the last result.
int receive_some(tcp_connection& connection, std::string& into) {
  char buffer[256];
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int got = 0;
  while (std::chrono::steady_clock::now() < give_up) {
    got = connection.receive(buffer, sizeof buffer);
    if (got > 0) into.append(buffer, static_cast<size_t>(got));
    if (got != 0 || connection.peer_closed) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return got;
}

TEST(TcpConnection, ConnectSendReceiveAndPeerClose) {
  TestHttpServer server({{Send("reply"), Close()}});
  tcp_connection connection(0);
  EXPECT_EQ(connection.state, tcp_created);
  connection.connect(htonl(INADDR_LOOPBACK), server.port());
  ASSERT_EQ(settle(connection), tcp_connected);
  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  EXPECT_EQ(connection.send(request.data(), int(request.size())), int(request.size()));
  std::string got;
  while (got.size() < 5 && receive_some(connection, got) > 0) {
  }
  EXPECT_EQ(got, "reply");
  // After the peer's end of data every receive gives 0; the connection stays connected.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(receive_some(connection, got), 0);
    EXPECT_EQ(connection.peer_closed, 1);
    EXPECT_EQ(connection.status(), tcp_connected);
  }
  connection.close_both();
  EXPECT_EQ(connection.status(), tcp_closed);
  EXPECT_EQ(connection.get_os_error(), 0);
}

TEST(TcpConnection, ResetByPeerEndsAsClosed) {
  TestHttpServer server({{Pause(50), Reset()}});
  tcp_connection connection(0);
  connection.connect(htonl(INADDR_LOOPBACK), server.port());
  ASSERT_EQ(settle(connection), tcp_connected);
  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  connection.send(request.data(), int(request.size()));
  std::string got;
  EXPECT_EQ(receive_some(connection, got), -1);
  EXPECT_EQ(connection.state, tcp_closed);
  EXPECT_EQ(connection.get_os_error(), 0);
}

TEST(TcpConnection, ClosedPortOnThisMachine) {
  uint16_t port;
  {
    TestHttpServer gone({});
    port = gone.port();
  }
  tcp_connection connection(0);
  connection.connect(htonl(INADDR_LOOPBACK), port);
  const int state = settle(connection);
  if (state == tcp_failed) {
    // The system refused at once, inside connect.
    EXPECT_EQ(connection.get_os_error(), ECONNREFUSED);
    return;
  }
  EXPECT_TRUE(state == tcp_connected || state == tcp_closed) << state;
  char byte = 'x';
  EXPECT_EQ(connection.send(&byte, 1), -1);
  EXPECT_EQ(connection.state, tcp_closed);
  // closed is final: later calls on the dead socket neither succeed nor turn it into failed.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(connection.send(&byte, 1), -1);
    EXPECT_EQ(connection.receive(&byte, 1), -1);
    EXPECT_EQ(connection.status(), tcp_closed);
    EXPECT_EQ(connection.get_os_error(), 0);
  }
}

}  // namespace
