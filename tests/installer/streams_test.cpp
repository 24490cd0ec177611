// The download streams: how many run, what a failure does, what reset_streams leaves behind,
// and the progress texts of a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/files.h"
#include "../support/test_http_server.h"
#include "app/clock.h"
#include "installer/executor.h"
#include "installer/manifest.h"
#include "installer/session.h"
#include "installer/streams.h"
#include "net/http.h"

namespace {

TEST(StreamsTest, SizeText) {
  struct Case {
    float kilobytes;
    const char* text;
  } cases[] = {
      {0, "0.0 Meg"},       {512340, "512.3 Meg"}, {9960, "10.0 Meg"},
      {1500000, "1.5 Gig"}, {999940, "999.9 Meg"}, {12345678, "12.3 Gig"},
  };
  for (const Case& c : cases) EXPECT_EQ(size_text(c.kilobytes), c.text) << c.kilobytes;
}

TEST(StreamsTest, TargetCountFollowsTheRateUnlessFixed) {
  struct Case {
    float rate;
    int preference;
    int target;
  } cases[] = {
      {0, 0, 2},   {50, 0, 2},  {50.5f, 0, 4}, {100, 0, 4},  {150, 0, 6},
      {200, 0, 8}, {201, 0, 9}, {5000, 1, 1},  {0, 3, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(target_stream_count(c.rate, c.preference), c.target) << c.rate << " " << c.preference;
}

// A plan of `items` entries that need nothing, so every turn finishes the items it holds.
class StreamRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clock_reset();
    clock_set_override(true, 0);
    clock_tick();
    session() = InstallerSession{};
    session().dest_dir_path = "/tmp/velmora-streams-nowhere/";
    session().server_count = 1;
    session().server_hosts[0] = "dl1.velmora.example";
    session().server_paths[0] = "/updates/R/";
  }
  void TearDown() override {
    clock_set_override(false);
    manifest().groups.clear();
    session() = InstallerSession{};
  }

  void plan(int items, bool fetch) {
    manifest().groups.clear();
    for (int i = 0; i < items; ++i) {
      PathGroup group;
      ManifestEntry entry;
      entry.path = "Velmora 9/file" + std::to_string(i) + ".txt";
      entry.sig_want = entry.sig_have = "0123456789abcdef0123456789abcdef";
      entry.fetch = fetch;
      entry.same = !fetch;
      entry.download_kb = 10;
      group.entries.push_back(entry);
      manifest().groups.push_back(group);
    }
  }

  // Runs executor_step until the run is over; returns the number of active streams after
  // each turn.
  std::vector<int> run_to_end() {
    std::vector<int> counts;
    for (int turn = 0; turn < 100; ++turn) {
      const int over = executor_step();
      counts.push_back(active_stream_count());
      if (over) break;
    }
    return counts;
  }
};

TEST_F(StreamRunTest, FixedAndAutomaticStreamCounts) {
  struct Case {
    const char* label;
    int preference;
    float downloaded_kb;  // a measured rate over the first second
    std::vector<int> counts;
  } cases[] = {
      // One of the two starting streams retires after the first finished item.
      {"one stream", 1, 0, {1, 1, 1, 1, 1, 1, 1, 1}},
      {"three streams", 3, 0, {3, 3, 3, 3}},
      {"slow automatic", 0, 0, {2, 2, 2, 2, 2}},
      // Above 200 kilobytes per second every finished item adds a stream, up to the four.
      {"fast automatic", 0, 1000, {4, 4, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    plan(8, false);
    session().stream_count = c.preference;
    reset_streams();
    session().stream_state.kb_downloaded = c.downloaded_kb;
    EXPECT_EQ(active_stream_count(), 2);
    EXPECT_EQ(run_to_end(), c.counts);
    EXPECT_EQ(session().stream_state.install_complete, 1);
    EXPECT_EQ(session().activity, activity_already_have);
  }
}

TEST_F(StreamRunTest, EndOfTheRun) {
  // Nothing to do: complete at once.
  plan(0, false);
  reset_streams();
  EXPECT_EQ(executor_step(), 1);
  EXPECT_EQ(session().stream_state.install_complete, 1);

  // An item that could not be carried out ends the run as failed, even on its last turn: the
  // run is not complete.
  session().stream_state.install_complete = 0;
  plan(2, false);
  reset_streams();
  session().install_error = 1;
  EXPECT_EQ(executor_step(), 1);
  EXPECT_EQ(session().stream_state.install_complete, 0);
}

TEST_F(StreamRunTest, ResetPreparesANewRun) {
  test_support::TempDir dest;
  ASSERT_TRUE(dest.ok());
  session().dest_dir_path = dest.path();
  plan(3, true);
  StreamState& st = session().stream_state;
  st = StreamState{};
  st.install_complete = 1;
  st.cursor = 3;
  st.slot_active[0] = st.slot_active[3] = 1;
  st.slot_wants_item[3] = 1;
  st.slot_item[0] = 1;  // active and holding an item: its leftover archive goes
  st.slot_item[1] = 2;  // inactive: its leftover stays
  st.slot_item[3] = 3;  // beyond the plan
  st.kb_in_flight = st.kb_downloaded = st.kb_installed = 7;
  const std::string held = item_names(manifest().groups[1].current(), 0).local_path + ".zip";
  const std::string idle = item_names(manifest().groups[2].current(), 1).local_path + ".zip";
  test_support::write_file(held, "partial");
  test_support::write_file(idle, "partial");
  clock_set_override(true, 5000000);
  clock_tick();

  reset_streams();
  EXPECT_FALSE(test_support::file_exists(held));
  EXPECT_TRUE(test_support::file_exists(idle));
  EXPECT_EQ(st.cursor, 0);
  EXPECT_EQ(st.install_complete, 1);
  for (int slot = 0; slot < stream_slots; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(st.slot_active[slot], slot < 2 ? 1 : 0);
    EXPECT_EQ(st.slot_wants_item[slot], slot < 2 ? 1 : 0);
    EXPECT_EQ(st.slot_item[slot], 0);
  }
  EXPECT_EQ(st.start_time, program_clock());
  EXPECT_EQ(st.kb_in_flight, 0);
  EXPECT_EQ(st.kb_downloaded, 0);
  EXPECT_EQ(st.kb_installed, 0);
}

TEST_F(StreamRunTest, DownloadInProgressCountsItsShareInFlight) {
  struct Case {
    const char* label;
    std::string reply;  // what has arrived so far; the server then stays silent
    float fraction;
    const char* percent;
  } cases[] = {
      {"known length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(25, 'x'),
       0.25f, "25%"},
      {"unknown length", "HTTP/1.1 200 OK\r\n\r\n" + std::string(25, 'x'), -0.01f, "0%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test_support::TempDir temp;
    ASSERT_TRUE(temp.ok());
    test_http::TestHttpServer server({{test_http::Send(c.reply), test_http::Hold()}});
    session().proxy_host = "127.0.0.1";
    session().proxy_port_int = server.port();
    session().temp_dir = temp.path();
    plan(1, true);
    reset_streams();
    for (int turn = 0; turn < 5000; ++turn) {
      ASSERT_EQ(executor_step(), 0);
      const http_request* request = http_slot_request(http_slot_first_stream);
      if (request && request->received == 25) break;
      http_wait(1);
    }
    ASSERT_EQ(executor_step(), 0);
    EXPECT_EQ(session().activity, activity_downloading);
    EXPECT_FLOAT_EQ(session().file_fraction, c.fraction);
    EXPECT_FLOAT_EQ(session().stream_state.kb_in_flight, c.fraction * 10);
    EXPECT_NE(progress_file_line().find(std::string("currently ") + c.percent + " done"),
              std::string::npos)
        << progress_file_line();
    reset_streams();
  }
}

TEST_F(StreamRunTest, FailedDownloadKeepsTheItemAndMovesTheCursorBack) {
  const std::string not_found = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
  test_http::TestHttpServer server({{test_http::Send(not_found)}});
  session().proxy_host = "127.0.0.1";
  session().proxy_port_int = server.port();
  test_support::TempDir temp;
  ASSERT_TRUE(temp.ok());
  session().temp_dir = temp.path();
  plan(3, true);
  reset_streams();

  for (int turn = 0; turn < 5000 && !session().server_trouble; ++turn) {
    ASSERT_EQ(executor_step(), 0);
    http_wait(1);
  }
  const StreamState& st = session().stream_state;
  ASSERT_EQ(session().server_trouble, 1);
  EXPECT_EQ(session().failed_file.rfind("/updates/R/Velmora 9/file", 0), 0u);
  EXPECT_LE(st.cursor, std::min(st.slot_item[0], st.slot_item[1]));
  EXPECT_EQ(st.kb_downloaded, 0);
  EXPECT_FALSE(server.requests().empty());

  // The next turns ask again for the same item.
  const size_t asked = server.requests().size();
  for (int turn = 0; turn < 5000 && server.requests().size() == asked; ++turn) {
    executor_step();
    http_wait(1);
  }
  EXPECT_GT(server.requests().size(), asked);
  reset_streams();
}

TEST_F(StreamRunTest, ResetDiscardsTransfersStillRunning) {
  test_http::TestHttpServer server({{test_http::Hold()}});
  session().proxy_host = "127.0.0.1";
  session().proxy_port_int = server.port();
  session().temp_dir = "/tmp/velmora-streams-nowhere/";
  plan(1, true);
  reset_streams();
  EXPECT_EQ(executor_step(), 0);
  ASSERT_NE(http_slot_request(http_slot_first_stream), nullptr);
  reset_streams();
  EXPECT_EQ(http_slot_request(http_slot_first_stream), nullptr);
  EXPECT_EQ(http_slot_request(http_slot_first_stream + 1), nullptr);
}

TEST_F(StreamRunTest, ProgressTexts) {
  InstallerSession& s = session();
  s.current_file = "engine_1.wav";
  struct FileCase {
    int activity;
    float fraction;
    const char* text;
  } file_cases[] = {
      {activity_deleting, 0, "Deleting engine_1.wav because that file is no longer needed!"},
      {activity_downloading, 0.379f,
       "Downloading and installing engine_1.wav, currently 37% done with that file."},
      {activity_downloading, -0.01f,
       "Downloading and installing engine_1.wav, currently 0% done with that file."},
      {activity_already_have, 0,
       "duplicate filename through file engine_1.wav, but not installing it because you already "
       "have this file."},
      {activity_not_needed, 0,
       "Browsing through file engine_1.wav, but not installing it because you don't need this "
       "file."},
  };
  for (const FileCase& c : file_cases) {
    s.activity = c.activity;
    s.file_fraction = c.fraction;
    EXPECT_EQ(progress_file_line(), c.text);
  }

  plan(1, false);
  reset_streams();
  s.install_size_text = "2.0 Meg";
  s.stream_state.kb_installed = 100;
  s.shown_fraction = 0.05f;
  EXPECT_EQ(progress_overall_line(),
            " 5.0% done with the internet install, having installed 0.1 Meg of 2.0 Meg for the "
            "internet install.");
  s.shown_fraction = 0.01f;
  EXPECT_EQ(progress_time_line(), "");

  // 10 seconds in, 1000 kilobytes done: 100 kilobytes/second.
  s.shown_fraction = 0.5f;
  s.stream_state.kb_downloaded = 1000;
  clock_set_override(true, 10000000);
  clock_tick();
  struct TimeCase {
    float download_kb;
    const char* left;
  } time_cases[] = {
      {12000, "110 seconds"}, {13000, "2 minutes"}, {400000, "66 minutes"},
      {1000000, "2 hours"},   {500, "0 seconds"}};
  for (const TimeCase& c : time_cases) {
    s.shown_download_kb = c.download_kb;
    EXPECT_EQ(progress_time_line(),
              std::string("About ") + c.left +
                  " left in the install, downloading at 100 kilobytes/second with 2 "
                  "simultaneous download streams.");
  }

  // The shown fraction moves toward the installed fraction and stays within 0 to 1.
  s.shown_fraction = 0;
  s.shown_install_kb = 200;
  update_shown_fraction(0.02f);
  EXPECT_NEAR(s.shown_fraction, 0.05f, 1e-6);
  update_shown_fraction(1.0f);
  EXPECT_EQ(s.shown_fraction, 1);  // (1 - 5) * 0.05 + 5 * 0.5 = 2.3, clamped
}

}  // namespace
