// The install phases: the frame's fetch steps and their failures, the actions of the screen's
// controls, and the status and message lines chosen from the state.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/files.h"
#include "../support/test_http_server.h"
#include "app/alert.h"
#include "app/clock.h"
#include "app/shell.h"
#include "installer/frontend.h"
#include "installer/manifest.h"
#include "installer/phases.h"
#include "installer/session.h"
#include "net/http.h"

namespace {

class RecordingAlerts final : public AlertDialog {
 public:
  void run(const AlertRequest& request, const std::string&) override { seen.push_back(request); }
  std::vector<AlertRequest> seen;
};

class ScriptedFrontend final : public Frontend {
 public:
  void progress_panel(float, float, float, int, const std::string&, const std::string&) override {}
  int ask_modified(const std::string&, bool) override { return 3; }
  bool show_terms() override {
    ++terms_shown;
    return accept;
  }
  bool choose_folder(std::string&) override { return false; }
  void open_web_page(const std::string&) override {}
  bool accept = false;
  int terms_shown = 0;
};

std::string reply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class PhasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    folder_ = temp_.path();
    session() = InstallerSession{};
    session().temp_dir = folder_;
    session().dest_dir_path = folder_ + "dest/";
    shell().quit_requested = 0;
    manifest().groups.clear();
    set_graphics_ready(true);
    set_alert_dialog(&alerts_);
    set_frontend(&front_);
  }
  void TearDown() override {
    set_frontend(nullptr);
    set_alert_dialog(nullptr);
    set_graphics_ready(false);
    session() = InstallerSession{};
    shell().quit_requested = 0;
  }

  // Runs the fetch steps until `done` holds or five seconds pass.
  template <typename Done>
  void frames_until(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
      clock_tick();
      frame_fetch_steps();
      http_wait(1);
    }
  }

  test_support::TempDir temp_{"velmora-phases"};
  std::string folder_;
  RecordingAlerts alerts_;
  ScriptedFrontend front_;
};

TEST_F(PhasesTest, ListWithoutServersFetchesNoManifest) {
  test_http::TestHttpServer server({{test_http::Send(reply("I\n820 version\nSERVERS\nBETA R\n"))}});
  session().proxy_host = "127.0.0.1";
  session().proxy_port_int = server.port();
  EXPECT_EQ(status_line().text, "Looking for servers... you need internet for this...");
  frames_until([] { return session().server_count != -1; });
  ASSERT_EQ(session().server_count, 0);
  frame_fetch_steps();
  EXPECT_EQ(http_slot_request(http_slot_manifest), nullptr);
  EXPECT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(status_line().text, "I could not find any servers to get Velmora from!");
  EXPECT_EQ(status_line().colour, 1);
}

TEST_F(PhasesTest, ManifestThatCannotBeExpandedIsReportedDeletedAndFetchedAgain) {
  test_http::TestHttpServer server({{test_http::Send(reply("not a zip archive"))}});
  session().proxy_host = "127.0.0.1";
  session().proxy_port_int = server.port();
  session().server_count = 1;
  session().server_hosts[0] = "dl1.velmora.example";
  session().server_paths[0] = "/updates/R/";

  frames_until([&] { return alerts_.seen.size() >= 2; });
  ASSERT_GE(alerts_.seen.size(), 2u);
  const AlertRequest& alert = alerts_.seen[0];
  EXPECT_EQ(alert.line1, "DIR-scan: The installer cannot extract a file.");
  EXPECT_EQ(alert.line2.rfind("Error: ", 0), 0u);
  EXPECT_EQ(alert.line3, "Compressed File/" + folder_ + "directory.txt.zip");
  EXPECT_EQ(alert.line4, "Destination Path/" + folder_);
  EXPECT_EQ(alert.severity, t_alert);
  EXPECT_EQ(std::string(alert.source), "main");
  EXPECT_EQ(alert.line, 210);
  EXPECT_EQ(session().phase, phase_fetching);
  EXPECT_GE(server.requests().size(), 2u);
  // Between attempts the archive is gone.
  if (!http_slot_request(http_slot_manifest)) {
    EXPECT_FALSE(test_support::file_exists(folder_ + "directory.txt.zip"));
  }
}

TEST_F(PhasesTest, CheckingTextFollowsTheManifestDownload) {
  const std::string start = "I am checking the net for the latest version of Velmora right now, ";
  struct Case {
    const char* label;
    test_http::Script script;
    const char* rest;
  } cases[] = {
      {"no answer yet", {test_http::Hold()}, "and I am connecting to the server..."},
      {"40 of 100 bytes",
       {test_http::Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" +
                        std::string(40, 'z')),
        test_http::Hold()},
       "and I am 40% done checking."},
  };
  session().server_count = 1;
  session().server_hosts[0] = "dl1.velmora.example";
  session().server_paths[0] = "/updates/R/";
  EXPECT_EQ(status_line().text, start + "and I am 0% done checking.");  // the slot is empty
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test_http::TestHttpServer server({c.script});
    session().proxy_host = "127.0.0.1";
    session().proxy_port_int = server.port();
    const bool wants_body = std::string(c.rest).find('%') != std::string::npos;
    frames_until([&] {
      const http_request* request = http_slot_request(http_slot_manifest);
      return request && !server.requests().empty() && (!wants_body || request->received == 40);
    });
    EXPECT_EQ(status_line().text, start + c.rest);
    EXPECT_EQ(status_line().colour, 46);
    http_discard(http_slot_manifest);
  }
}

TEST_F(PhasesTest, InstallNeedsAPlanTheTermsAndTheDecisions) {
  InstallerSession& s = session();
  EXPECT_FALSE(install_enabled());
  s.phase = phase_planned;
  EXPECT_FALSE(install_enabled());  // nothing to install
  s.install_kb_total = 10;
  EXPECT_TRUE(install_enabled());

  // Declined terms: the run does not start, and the terms are asked again next time.
  start_install();
  EXPECT_EQ(s.run_state, run_idle);
  EXPECT_TRUE(std::filesystem::is_directory(s.dest_dir_path));
  front_.accept = true;
  start_install();
  EXPECT_EQ(s.run_state, run_installing);
  EXPECT_EQ(front_.terms_shown, 2);
  EXPECT_FALSE(destination_changeable());
  EXPECT_FALSE(install_enabled());

  // Once accepted, the terms are not shown again in this run of the program.
  s.run_state = run_idle;
  start_install();
  EXPECT_EQ(front_.terms_shown, 2);

  // Cancelling the modified-file question after the terms were accepted: the run does not start
  // and nothing is marked for download.
  s.run_state = run_idle;
  ManifestEntry changed;
  changed.path = "Velmora 9/Aircraft/x.acf";
  changed.sig_want = std::string(32, 'a');
  changed.sig_have = std::string(32, 'b');
  manifest().groups.push_back(PathGroup{{changed}});
  start_install();
  EXPECT_EQ(s.run_state, run_idle);
  EXPECT_FALSE(manifest().groups[0].current().fetch);
  manifest().groups.clear();

  // Quit during a run resets the streams and ends the program after the frame.
  s.run_state = run_installing;
  s.stream_state.slot_active[3] = 1;
  s.stream_state.cursor = 5;
  quit_installer();
  EXPECT_EQ(s.run_state, run_ended);
  EXPECT_EQ(shell().quit_requested, 1);
  EXPECT_EQ(s.stream_state.slot_active[3], 0);
  EXPECT_EQ(s.stream_state.cursor, 0);
}

TEST_F(PhasesTest, TimeSliceEndsAnEmptyRunAsComplete) {
  InstallerSession& s = session();
  s.phase = phase_planned;
  s.run_state = run_installing;
  s.stream_state = StreamState{};
  frame_time_slice();
  EXPECT_EQ(s.run_state, run_ended);
  EXPECT_EQ(s.stream_state.install_complete, 1);
  EXPECT_EQ(status_line().text, "Installation Complete!");
  EXPECT_EQ(status_line().colour, 13);
}

TEST_F(PhasesTest, MessageLinesFollowTheState) {
  InstallerSession& s = session();
  struct Case {
    const char* label;
    int phase, run_state, install_error, server_trouble;
    float install_kb;
    const char* line1;
    int colour;
  } cases[] = {
      {"fetching", phase_fetching, run_idle, 0, 0, 0,
       "I am figuring out what the latest version of Velmora is right now...", 46},
      {"current", phase_planned, run_idle, 0, 0, 0,
       "Your copy of Velmora is already the latest version.  Click the destination button to "
       "pick a different installation of Velmora to update.",
       46},
      {"planned", phase_planned, run_idle, 0, 0, 1500000,
       "You are about to install 1.5 Gig of files to get Velmora 9.00 Beta-25.", 46},
      {"failed", phase_planned, run_ended, 1, 0, 10,
       "The installation was not completed because an error occurred.", 69},
      {"complete", phase_planned, run_ended, 0, 0, 10, "Installation Complete!", 46},
      {"trouble", phase_planned, run_installing, 0, 1, 10,
       "I can NOT download the file '/updates/x.zip'!", 69},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    s.phase = c.phase;
    s.run_state = c.run_state;
    s.install_error = c.install_error;
    s.server_trouble = c.server_trouble;
    s.install_kb_total = c.install_kb;
    s.release_name = "Velmora 9.00 Beta-25";
    s.failed_file = "/updates/x.zip";
    frame_screen_values();
    ScreenLine lines[3];
    message_lines(lines);
    EXPECT_EQ(lines[0].text, c.line1);
    EXPECT_EQ(lines[0].colour, c.colour);
  }
}

}  // namespace
