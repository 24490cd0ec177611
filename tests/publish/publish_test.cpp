// velmora-publish, run as a program, and its output read back with the installer's own readers:
// the manifest, the payload archives, the signatures, the history of changed and removed files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "files/sevenzip.h"
#include "files/signature.h"
#include "files/zip.h"
#include "installer/manifest.h"

namespace {

std::string publisher() { return std::string(VELMORA_BUILD_DIR) + "/velmora-publish"; }

std::string shell_quote(const std::string& s) { return "'" + s + "'"; }

int run(const std::string& command) {
  int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

long long file_size(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

class PublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-publish-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::string(pattern) + "/";
    source_ = root_ + "Velmora 9";
  }
  void TearDown() override { run("rm -rf " + shell_quote(root_)); }

  int publish(const std::string& out, const std::string& extra = "") {
    return run(publisher() + " release --source=" + shell_quote(source_) + " --out=" + shell_quote(out) +
               " --platform=Velmora-linux=3 --platform=Velmora.exe=2 " +
               "'--platform=Velmora.app/*=1' " + extra);
  }

  // Path of each group's current entry -> every signature of the group, oldest first.
  std::map<std::string, std::vector<std::string>> history(const std::string& manifest_path) {
    std::map<std::string, std::vector<std::string>> result;
    EXPECT_TRUE(read_manifest(manifest_path, "test"));
    for (const PathGroup& group : manifest().groups)
      for (const ManifestEntry& entry : group.entries) result[entry.path].push_back(entry.sig_want);
    return result;
  }

  std::string root_, source_;
};

TEST_F(PublishTest, ReleaseReadsBackThroughTheInstallersReaders) {
  ASSERT_EQ(run(publisher() + " sample --out=" + shell_quote(source_) + " --files=40 --megabytes=2"), 0);
  std::string out = root_ + "release/";
  ASSERT_EQ(publish(out), 0);

  ASSERT_TRUE(read_manifest(out + "directory.txt", "test"));
  ASSERT_EQ(manifest().groups.size(), 40u);
  std::map<std::string, int> platforms;
  int scenery = 0;
  for (const PathGroup& group : manifest().groups) {
    ASSERT_EQ(group.entries.size(), 1u);
    const ManifestEntry& entry = group.current();
    SCOPED_TRACE(entry.path);
    ASSERT_EQ(entry.path.rfind("Velmora 9/", 0), 0u);
    std::string below = entry.path.substr(std::string("Velmora 9/").size());
    std::string original = source_ + "/" + below;
    std::string signature = "NONE";
    ASSERT_EQ(file_signature(original, signature), 0);
    EXPECT_EQ(entry.sig_want, signature);
    EXPECT_EQ(entry.install_kb, static_cast<float>((file_size(original) + 999) / 1000));
    platforms[below] = entry.platform;

    bool is_7z = entry.path.find("Global Scenery") != std::string::npos;
    scenery += is_7z;
    std::string payload = out + entry.path + (is_7z ? ".7z" : ".zip");
    ASSERT_GT(file_size(payload), 0);
    EXPECT_EQ(entry.download_kb, static_cast<float>((file_size(payload) + 999) / 1000));

    std::string unpacked = root_ + "unpacked/";
    run("rm -rf " + shell_quote(unpacked) + " && mkdir -p " + shell_quote(unpacked));
    int result = is_7z ? sevenzip_to_folder(payload, unpacked) : zip_to_file(payload, unpacked);
    ASSERT_EQ(result, 0);
    std::string name = entry.path.substr(entry.path.rfind('/') + 1);
    EXPECT_EQ(read_all(unpacked + name), read_all(original));
  }
  EXPECT_GT(scenery, 0);
  EXPECT_EQ(platforms["Velmora-linux"], 3);
  EXPECT_EQ(platforms["Velmora.exe"], 2);
  EXPECT_EQ(platforms["Velmora.app/Contents/MacOS/Velmora"], 1);
  EXPECT_EQ(platforms["Airfoils/NACA 000.afl"], 0);

  std::string unpacked = root_ + "manifest/";
  run("mkdir -p " + shell_quote(unpacked));
  ASSERT_EQ(zip_to_file(out + "directory.txt.zip", unpacked), 0);
  EXPECT_EQ(read_all(unpacked + "directory.txt"), read_all(out + "directory.txt"));
  EXPECT_EQ(read_all(out + "directory.txt").substr(0, 28), "I\n900 version\nINSTALLER\nDIR ");
}

TEST_F(PublishTest, ChangedFilesKeepOlderSignaturesAndRemovedOnesGoGone) {
  ASSERT_EQ(run(publisher() + " sample --out=" + shell_quote(source_) + " --files=12 --megabytes=1"), 0);
  ASSERT_EQ(publish(root_ + "r1/"), 0);
  auto first = history(root_ + "r1/directory.txt");

  const std::string changed = "Velmora 9/Airfoils/NACA 000.afl";
  const std::string removed = "Velmora 9/Instructions/manual part 000.txt";
  const std::string added = "Velmora 9/Instructions/What is new.txt";
  std::ofstream(root_ + changed, std::ios::app) << "one more line\n";
  ASSERT_EQ(std::remove((root_ + removed).c_str()), 0);
  std::ofstream(root_ + added) << "new in this release\n";
  ASSERT_EQ(publish(root_ + "r2/", "--previous=" + shell_quote(root_ + "r1/directory.txt")), 0);
  auto second = history(root_ + "r2/directory.txt");

  ASSERT_EQ(second[changed].size(), 2u);
  EXPECT_EQ(second[changed][0], first[changed][0]);
  EXPECT_NE(second[changed][1], first[changed][0]);
  EXPECT_EQ(second[removed], (std::vector<std::string>{first[removed][0], "GONE"}));
  EXPECT_EQ(second[added].size(), 1u);
  EXPECT_EQ(second["Velmora 9/Velmora-linux"], first["Velmora 9/Velmora-linux"]);
  EXPECT_EQ(file_size(root_ + "r2/" + removed + ".zip"), -1);

  // A third release without changes keeps the whole history, and the removal stays recorded.
  ASSERT_EQ(publish(root_ + "r3/", "--previous=" + shell_quote(root_ + "r2/directory.txt")), 0);
  auto third = history(root_ + "r3/directory.txt");
  EXPECT_EQ(third[changed], second[changed]);
  EXPECT_EQ(third[removed], second[removed]);
}

TEST_F(PublishTest, RefusesWhatTheInstallerCouldNotReadBack) {
  struct Case {
    const char* label;
    std::string command;
    int status;
  };
  run("mkdir -p " + shell_quote(source_ + "/Aircraft"));
  std::ofstream(source_ + "/Aircraft/a:b.acf") << "x";
  const Case cases[] = {
      {"colon in a file name", publisher() + " release --source=" + shell_quote(source_) +
                                   " --out=" + shell_quote(root_ + "bad/"), 1},
      {"no command", publisher(), 2},
      {"release without output", publisher() + " release --source=" + shell_quote(source_), 2},
      {"server folder without slash", publisher() + " serverlist --out=" +
           shell_quote(root_ + "s.txt") + " --release=V9 '--server=h.example|updates|Main'", 1},
      {"release name with a slash", publisher() + " serverlist --out=" +
           shell_quote(root_ + "s.txt") + " --release=a/b '--server=h.example|/u/|Main'", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.command), c.status) << c.label;
}

TEST_F(PublishTest, ServerListLayout) {
  std::string path = root_ + "serverlist9.txt";
  ASSERT_EQ(run(publisher() + " serverlist --out=" + shell_quote(path) +
                " '--release=Velmora 9.00 Beta-25' '--server=one.example|/updates/|First Mirror'" +
                " '--server=two.example|/mirror/v9/|Second'"), 0);
  EXPECT_EQ(read_all(path),
            "I\n820 version\nSERVERS\n\nBETA Velmora 9.00 Beta-25\n\n"
            "SERVER one.example\n/updates/\nFirst Mirror\n\n"
            "SERVER two.example\n/mirror/v9/\nSecond\n\nENDOFLIST\n");
}

}  // namespace
