// velmora-installer: the window program. It starts the shell (log, options, threads, window, GL,
// built-in images) and the installer session. The main screen and its frame loop are not part of
// this build yet, so after start-up it says so and ends; velmora-update runs the same update in a
// terminal meanwhile.
#include <cstdio>

#include "app/shell.h"
#include "app/x11/startup.h"
#include "installer/entry.h"

int main(int argc, char** argv) {
  app_startup(argc, argv);
  installer_startup(argc, argv);
  std::fprintf(stderr,
               "velmora-installer: the installer's main screen is not available in this build; "
               "use velmora-update to install or update from a terminal.\n");
  app_shutdown_core(1);
  return 1;
}
