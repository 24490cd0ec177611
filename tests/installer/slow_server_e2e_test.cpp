// The update driven in this process through the terminal front end, so the HTTP stall limit can
// be shortened and the random choice of server fixed: with a download server that stalls or
// refuses listed first, and picked first, the update still completes from the other one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../support/test_http_server.h"
#include "app/options.h"
#include "app/shell.h"
#include "installer/entry.h"
#include "installer/frontend.h"
#include "installer/session.h"
#include "installer/terminal_frontend.h"
#include "net/http.h"
#include "update_e2e_support.h"

namespace {

constexpr const char* release = "Velmora 9.00 Beta-7";

// A seed whose first rand() makes pick_server choose the first of two servers.
unsigned seed_picking_first_of_two() {
  for (unsigned seed = 1;; ++seed) {
    std::srand(seed);
    if (std::rand() * (1.0 / 2147483648.0) < 0.5) return seed;
  }
}

class SlowServerTest : public ::testing::Test {
 protected:
  void SetUp() override { http_set_stall_limit(1.0f); }
  void TearDown() override { http_set_stall_limit(30.0f); }

  // Publishes a small release listed on `first_host` and then on a working server, runs the
  // update into an empty folder and returns its exit status.
  int update_with(e2e::Workspace& work, const std::string& first_host, std::string& installed,
                  std::string& source) {
    source = work.make_sample("src", 12, 1, 3);
    if (work.publish(source, release) != 0) return -1;
    if (work.write_server_list(release, {first_host, "dl1.velmora.example"}) != 0) return -1;

    setenv("HOME", work.home().c_str(), 1);
    const std::string dest = work.root() + "dest/";
    const std::string port = "--pref:_proxy_port_int=" + std::to_string(work.nginx().port());
    std::vector<std::string> arguments = {"velmora-update", "-path", dest,
                                          "--pref:_proxy_host=127.0.0.1", port};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    clear_options();
    parse_options(static_cast<int>(argv.size()), argv.data());

    session() = InstallerSession{};
    shell().quit_requested = 0;
    installer_startup(static_cast<int>(argv.size()), argv.data());
    const std::string temp_dir = session().temp_dir;

    TerminalOptions options;
    options.accept_terms = true;
    options.timeout_seconds = 60;
    FILE* out = tmpfile();
    TerminalFrontend front(options, stdin, out, false, false);
    set_frontend(&front);
    std::srand(seed_picking_first_of_two());
    const int status = run_terminal_update(front);
    set_frontend(nullptr);
    fclose(out);
    e2e::fs::remove_all(temp_dir);
    clear_options();

    installed = session().dest_dir_path;
    return status;
  }
};

TEST_F(SlowServerTest, StallingServerIsGivenUpOnAndTheOtherOneUsed) {
  test_http::TestHttpServer stalling({{test_http::Hold()}});
  e2e::Workspace work("  server { listen 127.0.0.1:@PORT@; server_name stall.velmora.example;\n"
                      "    location / { proxy_pass http://127.0.0.1:" +
                      std::to_string(stalling.port()) + "; proxy_read_timeout 120s; } }\n");
  ASSERT_TRUE(work.nginx().running());
  std::string installed, source;
  ASSERT_EQ(update_with(work, "stall.velmora.example", installed, source), exit_complete);
  EXPECT_EQ(installed, work.root() + release + "/");
  EXPECT_EQ(e2e::tree_files(installed), e2e::linux_files(source));
  EXPECT_FALSE(stalling.requests().empty());
}

TEST_F(SlowServerTest, RefusingServerIsPassedOver) {
  e2e::Workspace work("  server { listen 127.0.0.1:@PORT@; server_name refuse.velmora.example;\n"
                      "    location / { proxy_pass http://127.0.0.1:" +
                      std::to_string(test_support::free_loopback_port()) + "; } }\n");
  ASSERT_TRUE(work.nginx().running());
  std::string installed, source;
  ASSERT_EQ(update_with(work, "refuse.velmora.example", installed, source), exit_complete);
  EXPECT_EQ(e2e::tree_files(installed), e2e::linux_files(source));
  EXPECT_NE(work.access_log().find("refuse.velmora.example"), std::string::npos);
}

}  // namespace
