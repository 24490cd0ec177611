// The decision pass over the install plan and the modified-file answers: which entries are
// fetched, deleted or left alone, when the user is asked and in which form, how folder-wide
// answers carry within one pass, and what a cancel leaves behind.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/log.h"
#include "installer/decisions.h"
#include "installer/frontend.h"
#include "installer/manifest.h"
#include "installer/scan.h"
#include "installer/session.h"
#include "support/files.h"

namespace {

const std::string want = "0123456789abcdef0123456789abcdef";
const std::string older = "11111111111111111111111111111111";
const std::string edited = "99999999999999999999999999999999";

// Answers the question from a script and records every question asked.
class ScriptedFrontend final : public Frontend {
 public:
  std::deque<int> answers;
  std::vector<std::pair<std::string, bool>> asked;  // local path, delete form

  void progress_panel(float, float, float, int, const std::string&, const std::string&) override {}
  int ask_modified(const std::string& local_path, bool delete_form) override {
    asked.emplace_back(local_path, delete_form);
    if (answers.empty()) return answer_cancel;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool show_terms() override { return true; }
  bool choose_folder(std::string&) override { return false; }
  void open_web_page(const std::string&) override {}
};

// One path group: older signatures first, then the current entry as the scan left it.
void add_group(const std::string& path, int platform, const std::string& sig_want,
               const std::string& sig_have, std::vector<std::string> older_sigs = {}) {
  PathGroup group;
  for (const std::string& sig : older_sigs) {
    ManifestEntry version;
    version.path = path;
    version.sig_want = sig;
    group.entries.push_back(version);
  }
  ManifestEntry current;
  current.path = path;
  current.platform = platform;
  current.sig_want = sig_want;
  current.sig_have = sig_have;
  current.same = sig_want == sig_have;
  group.entries.push_back(current);
  manifest().groups.push_back(group);
}

class DecisionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manifest().groups.clear();
    session().dest_dir_path = "/home/u/V9/";
    session().platform_code = 3;
    set_frontend(&front);
    ASSERT_TRUE(scratch.ok());
    log_path = scratch / "log.txt";
    ASSERT_TRUE(log_open(log_path));
  }
  void TearDown() override {
    set_frontend(nullptr);
    log_close();
    manifest().groups.clear();
  }
  std::string log_text() {
    log_flush();
    return test_support::read_file(log_path);
  }
  const ManifestEntry& current(size_t group) { return manifest().groups[group].current(); }

  ScriptedFrontend front;
  test_support::TempDir scratch{"velmora-decisions"};
  std::string log_path;
};

TEST_F(DecisionsTest, DecisionTable) {
  struct Case {
    const char* label;
    int platform;
    std::string sig_want, sig_have;
    std::vector<std::string> older;
    int answer;  // 0: no question expected
    bool delete_form;
    bool fetch, remove;
  };
  const Case cases[] = {
      {"missing and wanted is fetched", 0, want, "NONE", {}, 0, false, true, false},
      {"missing and gone is left", 0, "GONE", "NONE", {}, 0, false, false, false},
      {"already right is left", 3, want, want, {}, 0, false, false, false},
      {"older release replaced without asking", 0, want, older, {older}, 0, false, true, false},
      {"older release of a gone file deleted", 0, "GONE", older, {older}, 0, false, false, true},
      {"other platform left although modified", 2, want, edited, {}, 0, false, false, false},
      {"other platform left although missing", 1, want, "NONE", {}, 0, false, false, false},
      {"platform 6 applies here", 6, want, "NONE", {}, 0, false, true, false},
      {"modified, overwrite", 0, want, edited, {older}, answer_replace, false, true, false},
      {"modified, keep", 0, want, edited, {}, answer_keep, false, false, false},
      {"modified and gone, delete", 0, "GONE", edited, {older}, answer_replace, true, false, true},
      {"modified and gone, keep", 0, "GONE", edited, {}, answer_keep, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    manifest().groups.clear();
    front.asked.clear();
    front.answers.clear();
    if (c.answer) front.answers.push_back(c.answer);
    add_group("Velmora 9/Aircraft/x.acf", c.platform, c.sig_want, c.sig_have, c.older);

    EXPECT_TRUE(decide_modified_files());
    EXPECT_EQ(current(0).fetch, c.fetch);
    EXPECT_EQ(current(0).remove, c.remove);
    if (c.answer) {
      ASSERT_EQ(front.asked.size(), 1u);
      EXPECT_EQ(front.asked[0].first, "/home/u/V9/Aircraft/x.acf");
      EXPECT_EQ(front.asked[0].second, c.delete_form);
    } else {
      EXPECT_TRUE(front.asked.empty());
    }
  }
}

TEST_F(DecisionsTest, ModifiedFileIsLoggedWhateverTheLoggingSetting) {
  session().log_actions = 0;
  add_group("Velmora 9/Resources/a.txt", 0, want, edited);
  add_group("Velmora 9/Resources/b.txt", 0, want, "NONE");
  front.answers = {answer_keep};
  EXPECT_TRUE(decide_modified_files());
  EXPECT_EQ(log_text(), "File: /home/u/V9/Resources/a.txt  sig_want=" + want +
                            "  sig_have=" + edited + "\n");
}

TEST_F(DecisionsTest, OlderVersionsOfTheGroupOnlyStandForTheirOwnPath) {
  // The second group's older signature is not known to the first group.
  add_group("Velmora 9/a.txt", 0, want, older);
  add_group("Velmora 9/b.txt", 0, want, want, {older});
  front.answers = {answer_keep};
  EXPECT_TRUE(decide_modified_files());
  ASSERT_EQ(front.asked.size(), 1u);
  EXPECT_EQ(front.asked[0].first, "/home/u/V9/a.txt");
}

TEST_F(DecisionsTest, FolderWideAnswers) {
  struct Case {
    const char* label;
    std::deque<int> answers;
    size_t questions;
    bool second_fetch;
  };
  // Two modified files in one folder: an answer for every file of the folder settles the
  // second without a question; a single-file answer does not.
  const Case cases[] = {
      {"keep every", {answer_keep_every}, 1, false},
      {"overwrite every", {answer_replace_every}, 1, true},
      {"keep one, then overwrite", {answer_keep, answer_replace}, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    manifest().groups.clear();
    front.asked.clear();
    front.answers = c.answers;
    add_group("Velmora 9/Aircraft/A/one.acf", 0, want, edited);
    add_group("Velmora 9/Aircraft/A/two.acf", 0, want, edited);
    EXPECT_TRUE(decide_modified_files());
    EXPECT_EQ(front.asked.size(), c.questions);
    EXPECT_EQ(current(1).fetch, c.second_fetch);
  }
}

TEST_F(DecisionsTest, FolderAnswerCoversExactlyItsFolderInBothForms) {
  add_group("Velmora 9/Aircraft/A/one.acf", 0, want, edited);
  add_group("Velmora 9/Aircraft/A/old.acf", 0, "GONE", edited);  // same folder, delete form
  add_group("Velmora 9/Aircraft/A/sub/three.acf", 0, want, edited);
  add_group("Velmora 9/Aircraft/four.acf", 0, want, edited);
  front.answers = {answer_replace_every, answer_keep, answer_keep};
  EXPECT_TRUE(decide_modified_files());

  ASSERT_EQ(front.asked.size(), 3u);
  EXPECT_EQ(front.asked[1].first, "/home/u/V9/Aircraft/A/sub/three.acf");
  EXPECT_EQ(front.asked[2].first, "/home/u/V9/Aircraft/four.acf");
  EXPECT_TRUE(current(0).fetch);
  EXPECT_TRUE(current(1).remove);  // deleted without a question
  EXPECT_FALSE(current(2).fetch);
  EXPECT_FALSE(current(3).fetch);
}

TEST_F(DecisionsTest, AnswersDoNotCarryOverToTheNextPass) {
  add_group("Velmora 9/A/one.acf", 0, want, edited);
  front.answers = {answer_keep_every, answer_replace};
  EXPECT_TRUE(decide_modified_files());
  EXPECT_FALSE(current(0).fetch);
  EXPECT_TRUE(decide_modified_files());
  EXPECT_EQ(front.asked.size(), 2u);
  EXPECT_TRUE(current(0).fetch);
}

TEST_F(DecisionsTest, CancelStopsThePassAndKeepsEarlierDecisions) {
  add_group("Velmora 9/a.txt", 0, want, edited);
  add_group("Velmora 9/b.txt", 0, "GONE", edited);
  add_group("Velmora 9/c.txt", 0, want, edited);
  add_group("Velmora 9/d.txt", 0, want, "NONE");
  front.answers = {answer_replace, answer_replace, answer_cancel};
  EXPECT_FALSE(decide_modified_files());
  EXPECT_EQ(front.asked.size(), 3u);
  EXPECT_TRUE(current(0).fetch);
  EXPECT_TRUE(current(1).remove);
  EXPECT_FALSE(current(2).fetch);
  EXPECT_FALSE(current(3).fetch);  // never reached
}

TEST_F(DecisionsTest, AnswersOutsideTheQuestionCountAsCancel) {
  for (int answer : {0, 6, -1}) {
    SCOPED_TRACE(answer);
    manifest().groups.clear();
    add_group("Velmora 9/a.txt", 0, want, edited);
    front.answers = {answer};
    EXPECT_FALSE(decide_modified_files());
  }
}

TEST_F(DecisionsTest, WithoutAFrontEndNothingModifiedIsTouched) {
  set_frontend(nullptr);  // the quiet default refuses
  add_group("Velmora 9/a.txt", 0, want, edited);
  EXPECT_FALSE(decide_modified_files());
  EXPECT_FALSE(current(0).fetch);
}

}  // namespace
