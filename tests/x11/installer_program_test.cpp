// velmora-installer run as a program under Xvfb: the whole start-up (log header, GL report,
// installer entry) completes, the program says that its main screen is not in this build, and
// ends with status 1 after a normal shutdown.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/xvfb.h"

namespace {

TEST(InstallerProgram, StartsUpThenSaysTheMainScreenIsMissing) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running());
  test_support::TempDir home("velmora-installer-home");
  ASSERT_TRUE(home.ok());

  // A copy of the program in a folder of its own, so Log.txt lands beside it.
  const std::string program = home / "velmora-installer";
  std::filesystem::copy_file(std::string(VELMORA_BUILD_DIR) + "/velmora-installer", program);
  const std::string command = "cd '" + home.path() + "' && HOME='" + home.path() + "' '" +
                              program + "' >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);

  const std::string log = test_support::read_file(home / "Log.txt");
  EXPECT_EQ(log.rfind("log.txt for Velmora 9.00 Beta-25 Installer 90025 compiled on ", 0), 0u)
      << log.substr(0, 200);
  EXPECT_NE(log.find("os_dir_this_app\t\t=" + home.path() + "\n"), std::string::npos);
  EXPECT_NE(log.find("dest_dir_path=/Velmora 9/\n"), std::string::npos);
  EXPECT_NE(log.find("Clean exit from threads.\n"), std::string::npos);
  EXPECT_NE(test_support::read_file(home / "err.txt").find("main screen is not available"),
            std::string::npos);
  // The preferences were saved by the normal quit.
  EXPECT_TRUE(test_support::file_exists(home / ".velmora/Velmora Installer.prf"));
}

}  // namespace
