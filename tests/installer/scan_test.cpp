// The scan: signatures of the local files, the totals of what is needed, rename_needed, the
// progress panel calls, and the worker-pool pass giving exactly what the in-order pass gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/shell.h"
#include "app/threads.h"
#include "installer/executor.h"
#include "installer/frontend.h"
#include "installer/manifest.h"
#include "installer/scan.h"
#include "installer/session.h"
#include "support/files.h"
#include "support/recording_frontend.h"

namespace {

namespace fs = std::filesystem;

const std::string md5_hello = "5d41402abc4b2a76b9719d911017c592";  // "hello"
const std::string md5_empty = "d41d8cd98f00b204e9800998ecf8427e";
const std::string other_sig = "0123456789abcdef0123456789abcdef";

using test_support::PanelCall;
using test_support::RecordingFrontend;

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.ok());
    root = scratch.path();
    fs::create_directories(root / "dest");
    session().dest_dir_path = (root / "dest").string() + "/";
    session().platform_code = 3;
    session().rename_needed = 0;
    session().download_kb_total = 0;
    session().install_kb_total = 0;
    manifest().groups.clear();
    set_frontend(&front);
  }
  void TearDown() override {
    set_frontend(nullptr);
    manifest().groups.clear();
  }

  void write_local(const std::string& inside, const std::string& content) {
    test_support::write_file(session().dest_dir_path + inside, content);
  }
  void add_entry(const std::string& inside, int platform, const std::string& sig_want,
                 float download_kb = 1, float install_kb = 2) {
    ManifestEntry entry;
    entry.path = "Velmora 9/" + inside;
    entry.platform = platform;
    entry.sig_want = sig_want;
    entry.download_kb = download_kb;
    entry.install_kb = install_kb;
    manifest().groups.push_back(PathGroup{{entry}});
  }
  const ManifestEntry& current(size_t group) { return manifest().groups[group].current(); }

  test_support::TempDir scratch{"velmora-scan"};
  fs::path root;
  RecordingFrontend front;
};

TEST_F(ScanTest, SignaturesSameAndTotals) {
  struct Case {
    const char* label;
    const char* local;  // content, or null for no local file
    int platform;
    std::string sig_want;
    std::string sig_have;
    bool counted;
    bool folder_in_its_place = false;  // a folder where the file should be cannot be read
  };
  const Case cases[] = {
      {"missing and wanted", nullptr, 0, md5_hello, "NONE", true},
      {"already right", "hello", 3, md5_hello, md5_hello, false},
      {"different content", "hello", 0, other_sig, md5_hello, true},
      {"empty file is signed", "", 0, other_sig, md5_empty, true},
      {"windows file signed, never counted", "hello", 2, other_sig, md5_hello, false},
      {"gone and present", "hello", 0, "GONE", md5_hello, false},
      {"gone and missing", nullptr, 0, "GONE", "NONE", false},
      {"platform 6 counts here", nullptr, 6, md5_hello, "NONE", true},
      {"unreadable counts as missing", nullptr, 0, md5_hello, "NONE", true, true},
  };
  float download = 0, install = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string name = "f" + std::to_string(i);
    if (cases[i].local) write_local(name, cases[i].local);
    if (cases[i].folder_in_its_place) fs::create_directories(session().dest_dir_path + name);
    add_entry(name, cases[i].platform, cases[i].sig_want, 10.0f * (i + 1), 100.0f * (i + 1));
    if (cases[i].counted) download += 10.0f * (i + 1), install += 100.0f * (i + 1);
  }
  examine_destination("label", Signing::in_order);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].label);
    EXPECT_EQ(current(i).sig_have, cases[i].sig_have);
    EXPECT_EQ(current(i).same, cases[i].sig_want == cases[i].sig_have);
  }
  EXPECT_EQ(session().download_kb_total, download);
  EXPECT_EQ(session().install_kb_total, install);
  EXPECT_EQ(session().rename_needed, 0);  // the Windows file is never needed
}

TEST_F(ScanTest, EverythingRightGivesZeroTotals) {
  write_local("a", "hello");
  add_entry("a", 0, md5_hello);
  add_entry("b", 0, "GONE");
  session().download_kb_total = 5;  // the scan starts the totals from nothing
  test_support::write_file(root / "directory.txt",
                           "I\n900 version\nINSTALLER\n\nDIR Velmora 9/\nFILE 0 0 0 1 2 " +
                               md5_hello + " a\nFILE 0 0 0 1 2 GONE b\n");
  deleted_folders().insert("/left/over/");
  EXPECT_EQ(scan_destination((root / "directory.txt").string(), scan_label), phase_planned);
  EXPECT_EQ(manifest().groups.size(), 2u);
  EXPECT_TRUE(current(0).same);
  EXPECT_EQ(session().download_kb_total, 0);
  EXPECT_EQ(session().install_kb_total, 0);
  EXPECT_TRUE(deleted_folders().empty());
}

TEST_F(ScanTest, RefusedManifestGivesNoRelease) {
  test_support::write_file(root / "directory.txt",
                           "I\n820 version\nINSTALLER\nFILE 0 0 0 1 2 GONE x\n");
  EXPECT_EQ(scan_destination((root / "directory.txt").string(), scan_label), phase_no_release);
  EXPECT_TRUE(front.panels.empty());  // nothing was examined
  session().run_state = run_idle;
  shell().quit_requested = 0;
}

TEST_F(ScanTest, RenameNeededSurvivesALaterScan) {
  add_entry("Velmora-x86_64", 3, md5_hello);  // missing Linux application: needed
  examine_destination("label", Signing::in_order);
  EXPECT_EQ(session().rename_needed, 1);

  manifest().groups.clear();
  write_local("Velmora-x86_64", "hello");
  add_entry("Velmora-x86_64", 3, md5_hello);
  examine_destination("label", Signing::in_order);
  EXPECT_TRUE(current(0).same);
  EXPECT_EQ(session().rename_needed, 1);
}

TEST_F(ScanTest, PanelIsDrawnAbout200TimesPerPass) {
  struct Case {
    size_t groups;
    size_t interval;
  };
  for (Case c : {Case{150, 1}, Case{1000, 5}, Case{1, 1}, Case{401, 2}}) {
    SCOPED_TRACE(c.groups);
    manifest().groups.clear();
    front.panels.clear();
    for (size_t i = 0; i < c.groups; ++i) add_entry("f" + std::to_string(i), 0, md5_hello);
    examine_destination("the label", Signing::in_order);

    ASSERT_EQ(front.panels.size(), (c.groups + c.interval - 1) / c.interval);
    for (size_t call = 0; call < front.panels.size(); ++call) {
      const size_t group = call * c.interval;
      const PanelCall expected{0, float(group), float(c.groups), 1, "the label",
                               session().dest_dir_path + "f" + std::to_string(group)};
      ASSERT_EQ(front.panels[call], expected) << "call " << call;
    }
  }
}

TEST_F(ScanTest, WorkerPassMatchesInOrderPass) {
  // A mix of sizes (empty, small, several megabytes), missing files, right and wrong files,
  // so results arrive out of order on the workers but must be taken in manifest order.
  for (int i = 0; i < 420; ++i) {
    const std::string name = "dir" + std::to_string(i % 7) + "/file" + std::to_string(i);
    if (i % 11 != 3) {
      std::string content(i % 50 == 0 ? (3 << 20) + i : (i * 977) % 20000, char('a' + i % 26));
      write_local(name, content);
    }
    add_entry(name, i % 5 == 4 ? 2 : i % 3, i % 13 == 0 ? md5_empty : other_sig, 0.1f * i,
              0.37f * i);
  }

  examine_destination("label", Signing::in_order);
  const std::vector<PanelCall> in_order_panels = front.panels;
  std::vector<std::string> in_order_sigs;
  for (const PathGroup& group : manifest().groups) in_order_sigs.push_back(group.current().sig_have);
  const float download = session().download_kb_total, install = session().install_kb_total;

  init_thread_system();
  start_workers();
  for (PathGroup& group : manifest().groups) group.current().sig_have.clear();
  front.panels.clear();
  session().download_kb_total = 0;
  session().install_kb_total = 0;
  examine_destination("label", Signing::on_workers);
  stop_workers();

  std::vector<std::string> worker_sigs;
  for (const PathGroup& group : manifest().groups) worker_sigs.push_back(group.current().sig_have);
  EXPECT_EQ(worker_sigs, in_order_sigs);
  EXPECT_EQ(front.panels, in_order_panels);
  EXPECT_EQ(session().download_kb_total, download);  // same sums in the same order
  EXPECT_EQ(session().install_kb_total, install);
  EXPECT_EQ(in_order_sigs[3], "NONE");
}

}  // namespace
