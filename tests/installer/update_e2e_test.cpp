// velmora-update run as a program against releases made by velmora-publish and served by a real
// nginx, reached through the proxy preferences: fresh installs, updates with changed, removed
// and locally modified files, the dry run, and servers that refuse connections.
#include <gtest/gtest.h>

#include "update_e2e_support.h"

namespace {

using e2e::linux_files;
using e2e::tree_files;

constexpr const char* release_a = "Velmora 9.00 Beta-1";
constexpr const char* release_b = "Velmora 9.00 Beta-2";

class UpdateE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(work_.nginx().running());
    source_a_ = work_.make_sample("a", 40, 2, 1);
    ASSERT_EQ(work_.publish(source_a_, release_a), 0);
  }

  // The refusing server: nginx passes its requests on to a port nobody listens on, so every
  // connection to it is refused and nginx answers 502.
  e2e::Workspace work_{"  server { listen 127.0.0.1:@PORT@; server_name refuse.velmora.example;\n"
                       "    location / { proxy_pass http://127.0.0.1:" +
                       std::to_string(test_support::free_loopback_port()) + "; } }\n"};
  std::string source_a_;
};

TEST_F(UpdateE2ETest, FreshInstallMatchesTheSourceAndTakesTheReleaseName) {
  ASSERT_EQ(work_.write_server_list(release_a, {"dl1.velmora.example"}), 0);
  const std::string dest = work_.root() + "dest/empty/";
  e2e::fs::create_directories(dest);

  std::string output;
  ASSERT_EQ(work_.update(dest, "--accept-terms --timeout=20", &output), 0) << output;
  EXPECT_NE(output.find("Installation Complete!"), std::string::npos) << output;

  const std::string installed = work_.root() + "dest/" + release_a;
  EXPECT_FALSE(e2e::fs::exists(dest));
  EXPECT_EQ(tree_files(installed), linux_files(source_a_));

  // Scenery travels as 7z; the other platforms' programs are never asked for.
  const std::string log = work_.access_log();
  EXPECT_NE(log.find("Global%20Scenery"), std::string::npos);
  EXPECT_NE(log.find(".dsf.7z"), std::string::npos);
  EXPECT_EQ(log.find("Velmora.exe"), std::string::npos);
  EXPECT_EQ(log.find("Velmora.app"), std::string::npos);

  // A second run finds the installation current and changes nothing.
  ASSERT_EQ(work_.update(installed + "/", "--timeout=20", &output), 0) << output;
  EXPECT_NE(output.find("Your copy of Velmora is already the latest version."), std::string::npos)
      << output;
}

TEST_F(UpdateE2ETest, ServerThatRefusesConnectionsIsPassedOver) {
  ASSERT_EQ(work_.write_server_list(release_a, {"refuse.velmora.example", "dl1.velmora.example"}),
            0);
  const std::string dest = work_.root() + "dest/" + release_a + "/";
  std::string output;
  ASSERT_EQ(work_.update(dest, "--accept-terms --timeout=60", &output), 0) << output;
  EXPECT_EQ(tree_files(dest), linux_files(source_a_));
}

TEST_F(UpdateE2ETest, UsageTermsTimeoutAndTooNewExitStatuses) {
  ASSERT_EQ(work_.write_server_list(release_a, {"dl1.velmora.example"}), 0);
  const std::string dest = work_.root() + "dest/" + release_a + "/";
  std::string output;

  EXPECT_EQ(work_.update(dest, "--modified=sometimes", &output), 2) << output;
  EXPECT_EQ(work_.update(dest, "--timeout=soon", &output), 2) << output;
  EXPECT_EQ(work_.update(dest, "stray", &output), 2) << output;
  EXPECT_EQ(work_.update(dest, "--accept-terms --dryrun", &output), 2) << output;
  EXPECT_FALSE(e2e::fs::exists(dest));

  // Without a terminal the terms cannot be asked: nothing is written.
  EXPECT_EQ(work_.update(dest, "--timeout=20", &output), 3) << output;
  EXPECT_FALSE(e2e::fs::exists(dest));

  // An update host that refuses every connection: no server list arrives.
  EXPECT_EQ(work_.update(dest, "--accept-terms --timeout=1 --update_host=refuse.velmora.example",
                         &output),
            5)
      << output;

  e2e::write_file(work_.www() + "serverlist9.txt", "I\n821 version\nSERVERS\nENDOFLIST\n");
  EXPECT_EQ(work_.update(dest, "--accept-terms --timeout=20", &output), 4) << output;
  EXPECT_FALSE(e2e::fs::exists(dest));
}

// Release B: three files changed, two removed (one of them scenery), one added; the
// installation of A has one file changed by its user.
class UpdateOfAnInstallationTest : public UpdateE2ETest {
 protected:
  void SetUp() override {
    UpdateE2ETest::SetUp();
    ASSERT_EQ(work_.write_server_list(release_a, {"dl1.velmora.example"}), 0);
    base_ = work_.root() + "base/";
    std::string output;
    ASSERT_EQ(work_.update(base_, "--accept-terms --timeout=20 --pref:_rename_folder=0", &output),
              0)
        << output;

    source_b_ = work_.root() + "b/Velmora 9";
    e2e::fs::create_directories(work_.root() + "b");
    e2e::fs::copy(source_a_, source_b_, e2e::fs::copy_options::recursive);
    const auto files = tree_files(source_b_);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files)
      if (name != "Velmora-linux" && name.rfind("Velmora.", 0) != 0) names.push_back(name);
    ASSERT_GE(names.size(), 10u);
    for (int i : {1, 4, 7}) {
      changed_.push_back(names[i]);
      e2e::write_file(source_b_ + "/" + names[i], files.at(names[i]) + "changed in B\n");
    }
    for (const auto& [name, bytes] : files)
      if (name.find("Global Scenery") != std::string::npos) removed_.push_back(name);
    removed_.resize(1);
    removed_.push_back(names[2]);
    for (const std::string& name : removed_) e2e::fs::remove(source_b_ + "/" + name);
    e2e::write_file(source_b_ + "/Instructions/new in B.txt", "new in release B\n");
    modified_ = names[5];

    ASSERT_EQ(work_.publish(source_b_, release_b, release_a), 0);
    ASSERT_EQ(work_.write_server_list(release_b, {"dl1.velmora.example"}), 0);
    e2e::write_file(base_ + modified_, "changed by the user\n");
  }

  // A copy of the installation of A, to be updated.
  std::string copy_of_base(const std::string& name) {
    const std::string dest = work_.root() + name + "/";
    e2e::fs::copy(base_, dest, e2e::fs::copy_options::recursive);
    return dest;
  }

  std::string base_, source_b_, modified_;
  std::vector<std::string> changed_, removed_;
};

TEST_F(UpdateOfAnInstallationTest, KeepOverwriteAndCancelTheLocallyModifiedFile) {
  const auto wanted = linux_files(source_b_);
  struct Case {
    const char* label;
    const char* option;
    int status;
  } cases[] = {
      {"keep", "--modified=keep", 0},
      {"overwrite", "--modified=overwrite", 0},
      {"cancel", "--modified=cancel", 3},
      {"ask without a terminal", "--modified=ask", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string dest = copy_of_base(std::string("dest ") + c.label);
    const auto before = tree_files(dest);
    std::string output;
    ASSERT_EQ(work_.update(dest, std::string("--accept-terms --timeout=20 --pref:_rename_folder=0 ") +
                                     c.option,
                           &output),
              c.status)
        << output;
    const auto after = tree_files(dest);
    if (c.status != 0) {
      EXPECT_EQ(after, before);
      continue;
    }
    auto expected = wanted;
    if (std::string(c.option) == "--modified=keep") expected[modified_] = "changed by the user\n";
    EXPECT_EQ(after, expected);
    for (const std::string& name : removed_) EXPECT_EQ(after.count(name), 0u) << name;
    for (const std::string& name : changed_)
      EXPECT_NE(after.at(name).find("changed in B"), std::string::npos) << name;
  }
}

TEST_F(UpdateOfAnInstallationTest, DryRunPrintsThePlanAndChangesNothing) {
  const std::string dest = copy_of_base("dest dry");
  const auto before = tree_files(dest);
  std::string output;
  ASSERT_EQ(work_.update(dest, "--dry-run --timeout=20", &output), 0) << output;
  EXPECT_EQ(tree_files(dest), before);
  for (const std::string& name : changed_)
    EXPECT_NE(output.find("fetch               Velmora 9/" + name), std::string::npos) << output;
  EXPECT_NE(output.find("delete              Velmora 9/" + removed_[1]), std::string::npos)
      << output;
  EXPECT_NE(output.find("modified, replace?  Velmora 9/" + modified_), std::string::npos);
  EXPECT_NE(output.find("fetch               Velmora 9/Instructions/new in B.txt"),
            std::string::npos);
  EXPECT_NE(output.find("other platform      Velmora 9/Velmora.exe"), std::string::npos);
  EXPECT_NE(output.find("4 to fetch, 2 to delete, 1 changed locally"), std::string::npos)
      << output;
}

}  // namespace
