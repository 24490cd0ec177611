// The HTTP client against a scripted loopback server: request bytes, response parsing, the
// stall rule, failures and their report in the log, the slot rules and the socket wait.
#include "net/http.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/clock.h"
#include "app/log.h"
#include "installer/session.h"
#include "support/files.h"
#include "support/test_http_server.h"

using namespace test_http;
using test_support::file_exists;
using test_support::read_file;

namespace {

constexpr const char* host = "files.velmora.example";

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<test_support::TempDir>("velmora-http");
    ASSERT_TRUE(temp_->ok());
    dir_ = temp_->path();
    dir_.pop_back();  // the cases append "/name"
    log_path_ = dir_ + "/Log.txt";
    log_open(log_path_);
    http_set_stall_limit(0.3f);
    session().proxy_host.clear();
    session().proxy_port_int = 0;
    clock_tick();
  }

  void TearDown() override {
    for (int slot = 0; slot < http_slot_count; ++slot) http_discard(slot);
    http_set_stall_limit(30);
    set_name_lookup(nullptr);
    clock_set_override(false);
    clock_tick();
    log_close();
    session().proxy_host.clear();
    session().proxy_port_int = 0;
    temp_.reset();
  }

  // The client can only reach the loopback server's port through the proxy setting.
  void use_proxy(const TestHttpServer& server) {
    session().proxy_host = "127.0.0.1";
    session().proxy_port_int = server.port();
  }

  std::string log_text() {
    log_flush();
    return read_file(log_path_);
  }

  // Steps a slot the way a front end does, sleeping on the sockets between steps, until the
  // request ends; -1 if it has not ended after ten seconds.
  int run(int slot, const std::string& path, const std::string& file,
          const std::string& server = host) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
      clock_tick();
      const int result = http_step(slot, server, path, file);
      if (result != http_running) return result;
      http_wait(20);
    }
    return -1;
  }

  std::unique_ptr<test_support::TempDir> temp_;
  std::string dir_;
  std::string log_path_;
};

// ---- request text ----------------------------------------------------------------------------

TEST(HttpRequestText, BytesOnTheWire) {
  struct Case {
    const char* label;
    bool post;
    bool via_proxy;
    const char* path;
    HttpHeaders headers;
    size_t body_length;
    const char* expected;
  };
  const Case cases[] = {
      {"direct installer request, blanks as %20", false, false, "/Velmora 9/Aircraft/a b.zip",
       installer_request_headers(host), 0,
       "GET /Velmora%209/Aircraft/a%20b.zip HTTP/1.1\r\n"
       "Connection: close\r\n"
       "Host: files.velmora.example\r\n"
       "User-agent: Installer-LIN/a-25\r\n"
       "\r\n"},
      {"proxy: absolute form from the Host header", false, true, "/serverlist9.txt",
       installer_request_headers(host), 0,
       "GET http://files.velmora.example/serverlist9.txt HTTP/1.1\r\n"
       "Connection: close\r\n"
       "Host: files.velmora.example\r\n"
       "User-agent: Installer-LIN/a-25\r\n"
       "\r\n"},
      {"other characters travel as they are", false, false, "/a+b%c&d?e=f", {}, 0,
       "GET /a+b%c&d?e=f HTTP/1.1\r\n\r\n"},
      {"headers in byte order of their names, post length last", true, false, "/form",
       {{"X-b", "2"}, {"Accept", "*/*"}, {"Host", "h"}, {"X-B", "1"}}, 11,
       "POST /form HTTP/1.1\r\n"
       "Accept: */*\r\n"
       "Host: h\r\n"
       "X-B: 1\r\n"
       "X-b: 2\r\n"
       "Content-Length: 11\r\n"
       "\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(http_request_text(c.post, c.via_proxy, c.path, c.headers, c.body_length),
              c.expected)
        << c.label;
  }
  EXPECT_EQ(installer_user_agent(), "Installer-LIN/a-25");
}

TEST_F(HttpTest, ProxyRequestBytesAndDirectRequestBytes) {
  const Script ok = {Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Hold()};
  {
    TestHttpServer server({ok});
    use_proxy(server);
    ASSERT_EQ(run(2, "/Velmora 9.00 Beta-25/directory.txt.zip", dir_ + "/d.zip"), http_done);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET http://files.velmora.example/Velmora%209.00%20Beta-25/directory.txt.zip "
              "HTTP/1.1\r\n"
              "Connection: close\r\n"
              "Host: files.velmora.example\r\n"
              "User-agent: Installer-LIN/a-25\r\n"
              "\r\n");
  }
  {
    // Without a proxy the request goes to the server itself, in origin form.
    session().proxy_host.clear();
    session().proxy_port_int = 0;
    TestHttpServer server({ok});
    http_request request("127.0.0.1", server.port(), "/x y", false,
                         installer_request_headers("127.0.0.1"), nullptr, 0, dir_ + "/x");
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!request.IsDone() && std::chrono::steady_clock::now() < give_up) {
      http_pump(request);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(request.status_code, 200);
    EXPECT_EQ(read_file(dir_ + "/x"), "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /x%20y HTTP/1.1\r\n"
              "Connection: close\r\n"
              "Host: 127.0.0.1\r\n"
              "User-agent: Installer-LIN/a-25\r\n"
              "\r\n");
  }
}

// ---- response parsing without a socket ------------------------------------------------------

TEST(HttpParsing, HeaderLines) {
  auto request = http_request::for_parsing("/dev/null");
  const std::string head =
      "HTTP/1.0 203 Non-Authoritative Information\r\n"
      "Content-Length: 4\r\n"
      "Content-Length: 99\r\n"
      "X-Colon:without blank\r\n"
      "a line of its own\r\n"
      "X-Empty: \r\n"
      "\r\n";
  for (char c : head + "body") http_take_bytes(*request, &c, 1);  // one byte at a time
  EXPECT_TRUE(request->headers_done);
  EXPECT_EQ(request->status_code, 203);
  EXPECT_EQ(request->reason, "Non-Authoritative Information");
  const HttpHeaders expected = {{"Content-Length", "4"}, {"X-Empty", ""}};
  EXPECT_EQ(request->response_headers, expected);
  EXPECT_EQ(request->content_length, 4);
  EXPECT_EQ(request->received, 4);
}

TEST(HttpParsing, BodyKeptInMemoryIsBounded) {
  auto request = http_request::for_parsing("");
  const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
  http_take_bytes(*request, head.data(), head.size());
  const std::string megabyte(1 << 20, 'x');
  for (int i = 0; i < 20; ++i) http_take_bytes(*request, megabyte.data(), megabyte.size());
  EXPECT_EQ(request->error, EMSGSIZE);
  EXPECT_LE(request->receive_buffer.size(), http_memory_body_limit + megabyte.size());
}

// ---- responses -------------------------------------------------------------------------------

std::string header_lines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "X-Pad-" + std::to_string(i) + ": padding padding\r\n";
  return lines;
}

TEST_F(HttpTest, Responses) {
  struct Case {
    const char* label;
    Script script;
    int result;
    const char* file;    // expected content of the local file; nullptr: not checked
    const char* report;  // a line the error report must hold; nullptr: no report at all
  };
  const std::string ok_head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  const Case cases[] = {
      {"200 with its body", {Send(ok_head + "hello"), Hold()}, http_done, "hello", nullptr},
      {"body in pieces", {Send(ok_head + "he"), Pause(50), Send("llo"), Hold()}, http_done,
       "hello", nullptr},
      {"Content-Length 0 and no body: done at the end of the headers",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), Hold()}, http_done, "", nullptr},
      {"404 with a body: written, then failed",
       {Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!"), Hold()},
       http_failed, "not here!", "   response   =Not Found (#404)\n\n"},
      {"body longer than its Content-Length",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nhello"), Hold()}, http_failed, "hello",
       "   IsComplete =0\n"},
      {"body shorter than its Content-Length, then the end of the data: stalls",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), Close()}, http_failed,
       "hello", nullptr},
      {"reset in the middle of a body",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), Pause(100), Reset()},
       http_failed, nullptr, "   GetStat    =3\n"},
      {"server silent in the middle of a body: stalls",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), Hold()}, http_failed,
       "hello", nullptr},
      {"no Content-Length, body ended by closing: stalls",
       {Send("HTTP/1.1 200 OK\r\n\r\nhello"), Close()}, http_failed, "hello", nullptr},
      {"chunked encoding: stalls",
       {Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
        Hold()},
       http_failed, nullptr, nullptr},
      {"content-length in lower case is not the length: stalls",
       {Send("HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello"), Hold()}, http_failed, nullptr,
       nullptr},
      {"damaged Content-Length is not taken for 0",
       {Send("HTTP/1.1 200 OK\r\nContent-Length: x5\r\n\r\nhello"), Hold()}, http_failed,
       nullptr, nullptr},
      {"100 Continue, then the real answer",
       {Send("HTTP/1.1 100 Continue\r\n\r\n"), Pause(100), Send(ok_head + "hello"), Hold()},
       http_done, "hello", nullptr},
      {"100 Continue and the answer in one piece: read only when more data comes",
       {Send("HTTP/1.1 100 Continue\r\n\r\n" + ok_head + "hello"), Hold()}, http_failed, nullptr,
       nullptr},
      {"status line of exactly 13 bytes is not a status line",
       {Send("HTTP/1.1 200 \r\nContent-Length: 5\r\n\r\nhello"), Hold()}, http_failed, nullptr,
       nullptr},
      {"status line of 14 bytes is one",
       {Send("HTTP/1.1 200 X\r\nContent-Length: 5\r\n\r\nhello"), Hold()}, http_done, "hello",
       nullptr},
      {"endless header line", {Send("HTTP/1.1 200 OK\r\nX-Pad: " + std::string(70000, 'a')), Hold()},
       http_failed, nullptr, "   GetOSErr   =90\n"},
      {"endless header lines", {Send("HTTP/1.1 200 OK\r\n" + header_lines(4000)), Hold()},
       http_failed, nullptr, "   GetOSErr   =90\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    log_open(log_path_);
    const std::string file = dir_ + "/body";
    std::filesystem::remove(file);
    TestHttpServer server({c.script});
    use_proxy(server);
    EXPECT_EQ(run(2, "/file.zip", file), c.result);
    EXPECT_EQ(http_slot_request(2), nullptr);
    if (c.file) {
      EXPECT_TRUE(file_exists(file));
      EXPECT_EQ(read_file(file), c.file);
    }
    const std::string log = log_text();
    if (c.report) {
      EXPECT_NE(log.find("HTTP Error for " + file + "\n"), std::string::npos) << log;
      EXPECT_NE(log.find(c.report), std::string::npos) << log;
    } else {
      EXPECT_EQ(log.find("HTTP Error"), std::string::npos) << log;
    }
  }
}

TEST_F(HttpTest, ErrorReportLines) {
  TestHttpServer server({{Send("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno"), Hold()}});
  use_proxy(server);
  const std::string file = dir_ + "/4.zip";
  ASSERT_EQ(run(4, "/Velmora 9/missing.zip", file), http_failed);
  EXPECT_NE(log_text().find("HTTP Error for " + file + "\n"
                            "   server     =files.velmora.example\n"
                            "   file       =/Velmora 9/missing.zip\n"
                            "   IsDone     =1\n"
                            "   IsComplete =1\n"
                            "   IsErr      =0\n"
                            "   GetStat    =3\n"
                            "   GetOSErr   =0\n"
                            "   response   =Not Found (#404)\n"
                            "\n"),
            std::string::npos)
      << log_text();
}

TEST_F(HttpTest, LocalFileThatCannotBeCreated) {
  TestHttpServer server({{Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Hold()}});
  use_proxy(server);
  EXPECT_EQ(run(2, "/a.zip", dir_ + "/no/such/folder/a.zip"), http_failed);
  EXPECT_NE(log_text().find("   GetOSErr   =2\n"), std::string::npos);
}

TEST_F(HttpTest, ConnectionRefusedFailsWithReport) {
  uint16_t port;
  {
    TestHttpServer gone({});
    port = gone.port();
  }
  session().proxy_host = "127.0.0.1";
  session().proxy_port_int = port;
  EXPECT_EQ(run(2, "/a.zip", dir_ + "/a.zip"), http_failed);
  EXPECT_NE(log_text().find("HTTP Error for " + dir_ + "/a.zip\n"), std::string::npos);
}

// ---- the stall rule on the program clock -----------------------------------------------------

TEST_F(HttpTest, ThirtySecondsWithoutDataOnTheProgramClock) {
  http_set_stall_limit(30);
  constexpr uint64_t start = 5000ull * 1000000;
  clock_set_override(true, start);
  clock_tick();
  TestHttpServer server({{Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), Hold()}});
  use_proxy(server);
  const std::string file = dir_ + "/s.zip";
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < give_up) {
    ASSERT_EQ(http_step(2, host, "/s.zip", file), http_running);
    if (http_slot_request(2)->received == 5) break;
    http_wait(20);
  }
  ASSERT_EQ(http_slot_request(2)->received, 5);
  clock_set_override(true, start + 29'900'000);
  clock_tick();
  EXPECT_EQ(http_step(2, host, "/s.zip", file), http_running);
  clock_set_override(true, start + 30'100'000);
  clock_tick();
  EXPECT_EQ(http_step(2, host, "/s.zip", file), http_failed);
  EXPECT_EQ(log_text().find("HTTP Error"), std::string::npos);
}

// ---- host name lookup ------------------------------------------------------------------------

uint32_t slow_unknown_host(const std::string&) {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return 0;
}

uint32_t silent_resolver(const std::string&) {
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  return 0;
}

TEST_F(HttpTest, UnknownHostEndsWithTranslatedLineAnd20011) {
  const std::string expected =
      "Translated server nowhere.velmora.example to IP addy: 0.0.0.0 and port = 80\n"
      "HTTP Error for " + dir_ + "/l.txt\n"
      "   server     =nowhere.velmora.example\n"
      "   file       =/serverlist9.txt\n"
      "   IsDone     =0\n"
      "   IsComplete =0\n"
      "   IsErr      =1\n"
      "   GetStat    =0\n"
      "   GetOSErr   =20011\n"
      "   response   = (#0)\n\n";
  struct Case {
    const char* label;
    NameLookup lookup;
  };
  for (const Case& c : {Case{"lookup fails while the steps go on", slow_unknown_host},
                        Case{"lookup still silent at the stall limit", silent_resolver}}) {
    SCOPED_TRACE(c.label);
    log_open(log_path_);
    set_name_lookup(c.lookup);
    clock_tick();
    EXPECT_EQ(http_step(0, "nowhere.velmora.example", "/serverlist9.txt", dir_ + "/l.txt"),
              http_running);
    EXPECT_EQ(run(0, "/serverlist9.txt", dir_ + "/l.txt", "nowhere.velmora.example"),
              http_failed);
    EXPECT_EQ(log_text(), expected);
  }
}

// ---- slots -----------------------------------------------------------------------------------

TEST_F(HttpTest, BusySlotIgnoresNewArguments) {
  TestHttpServer server(
      {{Pause(100), Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Hold()}});
  use_proxy(server);
  EXPECT_EQ(http_step(5, host, "/first", dir_ + "/first"), http_running);
  EXPECT_EQ(run(5, "/second", dir_ + "/second"), http_done);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_NE(server.requests()[0].find("/first "), std::string::npos);
  EXPECT_EQ(read_file(dir_ + "/first"), "ok");
  EXPECT_FALSE(file_exists(dir_ + "/second"));
}

TEST_F(HttpTest, DiscardEmptiesTheSlotWithoutReport) {
  TestHttpServer server({{Hold()}, {Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), Hold()}});
  use_proxy(server);
  EXPECT_EQ(http_step(3, host, "/old", dir_ + "/3.zip"), http_running);
  ASSERT_NE(http_slot_request(3), nullptr);
  http_discard(3);
  EXPECT_EQ(http_slot_request(3), nullptr);
  EXPECT_EQ(run(3, "/new", dir_ + "/3.zip"), http_done);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_NE(server.requests()[1].find("/new "), std::string::npos);
  EXPECT_EQ(log_text().find("HTTP Error"), std::string::npos);
}

TEST_F(HttpTest, PollEntriesFollowWhatTheRequestWaitsFor) {
  TestHttpServer server({{Pause(200), Send("HTTP/1.1 200 OK\r\n\r\nno length"), Close()}});
  use_proxy(server);
  pollfd fds[http_slot_count];
  EXPECT_EQ(http_poll_fds(fds, http_slot_count), 0);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < give_up) {
    clock_tick();
    ASSERT_EQ(http_step(2, host, "/p", dir_ + "/p"), http_running);
    const http_request* request = http_slot_request(2);
    if (request->GetStat() == 6) break;  // request sent, waiting for the answer
    http_wait(20);
  }
  ASSERT_EQ(http_poll_fds(fds, http_slot_count), 1);
  EXPECT_EQ(fds[0].events, POLLIN);
  EXPECT_EQ(fds[0].fd, http_slot_request(2)->connection->fd);
  // Once the server has ended its data the socket would always be readable: it is left out,
  // so a front end sleeping on the sockets does not spin until the stall limit.
  while (!http_slot_request(2)->connection->peer_closed &&
         std::chrono::steady_clock::now() < give_up) {
    clock_tick();
    ASSERT_EQ(http_step(2, host, "/p", dir_ + "/p"), http_running);
    http_wait(20);
  }
  EXPECT_EQ(http_poll_fds(fds, http_slot_count), 0);
  EXPECT_EQ(run(2, "/p", dir_ + "/p"), http_failed);
}

// ---- argument checks end the program ---------------------------------------------------------

TEST_F(HttpTest, ArgumentChecksRaiseFatalAlerts) {
  struct Case {
    const char* label;
    int slot;
    const char* server;
    const char* path;
    const char* logged;
  };
  const Case cases[] = {
      {"slot above the table", 6, host, "/a", "Too many download objects requested!\n"},
      {"negative slot", -1, host, "/a", "Too many download objects requested!\n"},
      {"server with a slash at its end", 0, "files.velmora.example/", "/a",
       "net_check error! You have a dirchar at the end of the server name!\n"},
      {"path without a slash at its start", 0, host, "a",
       "net_check error! You do not have a dirchar at the beginning of the directory name!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    log_open(log_path_);
    EXPECT_EXIT(
        {
          // The fatal alert leaves its crash files in the current folder.
          if (chdir(dir_.c_str()) != 0) std::abort();
          log_open(log_path_);
          http_step(c.slot, c.server, c.path, dir_ + "/x");
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_NE(read_file(log_path_).find(c.logged), std::string::npos) << read_file(log_path_);
  }
}

}  // namespace
