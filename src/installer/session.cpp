// The one installer session of the process.
#include "installer/session.h"

InstallerSession& session() {
  static InstallerSession the_session;
  return the_session;
}
