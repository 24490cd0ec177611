// The server list: its header and records, the favouring draw of pick_server, and the two
// fetches as they go out through the HTTP client.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/files.h"
#include "../support/test_http_server.h"
#include "app/clock.h"
#include "app/shell.h"
#include "installer/server_list.h"
#include "installer/session.h"
#include "net/http.h"

namespace {

// Reads `bytes` as a downloaded list into a fresh session.
bool read_list(const std::string& bytes) {
  session() = InstallerSession{};
  test_support::TempDir folder("velmora-serverlist");
  EXPECT_TRUE(folder.ok());
  const std::string path = folder / "serverlist9.txt";
  test_support::write_file(path, bytes);
  return read_server_list(path);
}

const std::string header = "I\n820 version\nSERVERS\n";

TEST(ServerListTest, HeaderMustBeVersion820OfKindServers) {
  struct Case {
    const char* label;
    std::string bytes;
    bool accepted;
  } cases[] = {
      {"version 820", header + "ENDOFLIST\n", true},
      {"byte order A", "A\n820 version\nSERVERS\n", true},
      {"version 821", "I\n821 version\nSERVERS\n", false},
      {"version 900", "I\n900 version\nSERVERS\n", false},
      {"keyword SERVERSX", "I\n820 version\nSERVERSX\n", false},
      {"another kind", "I\n820 version\nINSTALLER\n", false},
      {"empty file", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(read_list(c.bytes), c.accepted);
    if (!c.accepted) {
      EXPECT_EQ(session().server_count, -1);
    }
  }
  session() = InstallerSession{};
  EXPECT_FALSE(read_server_list("/nonexistent/serverlist9.txt"));
}

TEST(ServerListTest, RecordsFillTheServers) {
  ASSERT_TRUE(read_list(header +
                        "FINAL Velmora 9.00r1\n"
                        "BETAX Velmora\n"
                        "BETA Velmora 9.00 Beta-25\n"
                        "\n"
                        "SERVER dl1.velmora.example  \n"
                        "/updates/\n"
                        "\n"
                        "First mirror\n"
                        "UNKNOWN record\n"
                        "SERVER dl2.velmora.example\n/files/\nSecond mirror\n"
                        "ENDOFLIST\n"
                        "SERVER after.the.end\n/x/\nIgnored\n"));
  const InstallerSession& s = session();
  EXPECT_EQ(s.release_name, "Velmora 9.00 Beta-25");
  ASSERT_EQ(s.server_count, 2);
  EXPECT_EQ(s.server_hosts[0], "dl1.velmora.example  ");  // trailing blanks are kept
  EXPECT_EQ(s.server_paths[0], "/updates/Velmora 9.00 Beta-25/");
  EXPECT_EQ(s.server_names[0], "First mirror");
  EXPECT_EQ(s.server_hosts[1], "dl2.velmora.example");
  EXPECT_EQ(s.server_paths[1], "/files/Velmora 9.00 Beta-25/");
  EXPECT_EQ(s.server_names[1], "Second mirror");
}

TEST(ServerListTest, EdgesOfTheRecords) {
  // CR LF line ends read as LF ones do, and the end of the file ends the list.
  ASSERT_TRUE(read_list("I\r\n820 version\r\nSERVERS\r\nBETA Rel 2\r\nSERVER h\r\n/u/\r\nName"));
  EXPECT_EQ(session().release_name, "Rel 2");
  ASSERT_EQ(session().server_count, 1);
  EXPECT_EQ(session().server_hosts[0], "h");
  EXPECT_EQ(session().server_paths[0], "/u/Rel 2/");
  EXPECT_EQ(session().server_names[0], "Name");

  // A server listed before any BETA record carries the sentinel; a later BETA wins.
  ASSERT_TRUE(read_list(header + "SERVER h\n/u/\nN\nBETA One\nBETA Two\n"));
  EXPECT_EQ(session().server_paths[0], "/u/Not Yet Scanned/");
  EXPECT_EQ(session().release_name, "Two");

  // No servers at all.
  ASSERT_TRUE(read_list(header + "BETA R\nENDOFLIST\n"));
  EXPECT_EQ(session().server_count, 0);

  // Twelve servers: the first ten are kept, in file order.
  std::string twelve = header + "BETA R\n";
  for (int i = 0; i < 12; ++i)
    twelve += "SERVER host" + std::to_string(i) + "\n/p/\nname" + std::to_string(i) + "\n";
  ASSERT_TRUE(read_list(twelve));
  ASSERT_EQ(session().server_count, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(session().server_hosts[i], "host" + std::to_string(i));
}

TEST(ServerListTest, DrawFavoursTheFirstServers) {
  for (double r : {0.0, 0.5, 0.999999}) EXPECT_EQ(server_for_draw(r, 1), 0);
  EXPECT_EQ(server_for_draw(0.5, 4), 1);  // 0.5^1.5 * 4 = 1.41
  EXPECT_EQ(server_for_draw(0.999999, 4), 3);

  // Over evenly spread draws the four servers get about 0.40, 0.23, 0.20 and 0.17.
  int hits[4] = {};
  const int draws = 100000;
  for (int i = 0; i < draws; ++i) ++hits[server_for_draw((i + 0.5) / draws, 4)];
  const double expected[4] = {0.397, 0.233, 0.196, 0.175};  // (k / 4)^(2/3) steps
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(hits[k] / double(draws), expected[k], 0.002) << k;

  session() = InstallerSession{};
  session().server_count = 3;
  for (int i = 0; i < 200; ++i) {
    pick_server();
    EXPECT_GE(session().server_index, 0);
    EXPECT_LT(session().server_index, 3);
  }
}

// The fetches through the HTTP client, with a server of our own as the proxy.
class ServerListFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    session() = InstallerSession{};
    session().temp_dir = temp_.path();
    shell().quit_requested = 0;
  }
  void TearDown() override {
    session() = InstallerSession{};
    shell().quit_requested = 0;
  }

  void use_proxy(int port) {
    session().proxy_host = "127.0.0.1";
    session().proxy_port_int = port;
  }

  // Steps `step` until it stops running (or five seconds pass); returns its last result.
  template <typename Step>
  int step_until_done(Step step) {
    for (int i = 0; i < 5000; ++i) {
      clock_tick();
      const int result = step();
      if (result != http_running) return result;
      http_wait(1);
    }
    return http_running;
  }

  test_support::TempDir temp_{"velmora-fetch"};
};

std::string reply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(ServerListFetchTest, ListIsReadAndTheManifestAskedForWithEscapedBlanks) {
  const std::string list = header + "BETA Velmora 9.00 Beta-25\nSERVER dl1.velmora.example\n/updates/\nOne\n";
  test_http::TestHttpServer server({{test_http::Send(reply(list))}, {test_http::Send(reply("zip"))}});
  use_proxy(server.port());

  step_until_done([] {
    fetch_server_list();
    return session().server_count == -1 ? http_running : http_done;
  });
  ASSERT_EQ(session().server_count, 1);
  EXPECT_EQ(session().server_index, 0);
  EXPECT_EQ(step_until_done(fetch_manifest), http_done);

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET http://update.velmora.example/serverlist9.txt HTTP/1.1");
  EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")),
            "GET http://dl1.velmora.example/updates/Velmora%209.00%20Beta-25/directory.txt.zip "
            "HTTP/1.1");
  EXPECT_EQ(test_support::read_file(session().temp_dir + "directory.txt.zip"), "zip");
}

TEST_F(ServerListFetchTest, ListInANewerFormatEndsTheRun) {
  test_http::TestHttpServer server({{test_http::Send(reply("I\n821 version\nSERVERS\n"))}});
  use_proxy(server.port());
  step_until_done([] {
    fetch_server_list();
    return shell().quit_requested ? http_done : http_running;
  });
  EXPECT_EQ(shell().quit_requested, 1);
  EXPECT_EQ(session().run_state, run_ended);
  EXPECT_EQ(session().server_count, -1);
}

}  // namespace
