// The front end in use, and the quiet default that stands in until one is set: it draws nothing
// and refuses everything, so nothing is changed without somebody having agreed to it.
#include "installer/frontend.h"

namespace {

class QuietFrontend final : public Frontend {
 public:
  void progress_panel(float, float, float, int, const std::string&, const std::string&) override {}
  int ask_modified(const std::string&, bool) override { return 3; }
  bool show_terms() override { return false; }
  bool choose_folder(std::string&) override { return false; }
  void open_web_page(const std::string&) override {}
};

QuietFrontend quiet_frontend;
Frontend* current_frontend = &quiet_frontend;

}  // namespace

Frontend& frontend() { return *current_frontend; }

void set_frontend(Frontend* front) { current_frontend = front ? front : &quiet_frontend; }
