// The refusal of a server list or manifest written in a format newer than this installer reads:
// tell the user to get a new installer, point them at the download page, and end the run.
#include "app/alert.h"
#include "app/shell.h"
#include "installer/frontend.h"
#include "installer/server_list.h"
#include "installer/session.h"

namespace {

constexpr const char* download_page = "http://www.corvane.example/download/";

}  // namespace

void report_newer_format(const std::string& path) {
  show_alert(0,
             "OK I am checking the Corvane servers and I am finding file formats that are newer "
             "than I can understand!",
             "In other words, you need to get a new installer!",
             std::string("Please download the newest installer from the download section of ") +
                 download_page,
             path, t_alert, "utils", 141);
  frontend().open_web_page(download_page);
  session().run_state = run_ended;
  shell().quit_requested = 1;
}
