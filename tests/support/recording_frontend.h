// A front end for tests of the installer core: it records every progress panel and web page it
// is asked for, and refuses the question, the terms and the chooser like the quiet default.
#pragma once
#include <string>
#include <tuple>
#include <vector>

#include "installer/frontend.h"

namespace test_support {

struct PanelCall {
  float start, position, end;
  int state;
  std::string line1, line3;
  bool operator==(const PanelCall& other) const {
    return std::tie(start, position, end, state, line1, line3) ==
           std::tie(other.start, other.position, other.end, other.state, other.line1,
                    other.line3);
  }
};

class RecordingFrontend final : public Frontend {
 public:
  void progress_panel(float start, float position, float end, int state, const std::string& line1,
                      const std::string& line3) override {
    panels.push_back({start, position, end, state, line1, line3});
  }
  int ask_modified(const std::string&, bool) override { return 3; }
  bool show_terms() override { return false; }
  bool choose_folder(std::string&) override { return false; }
  void open_web_page(const std::string& address) override { pages.push_back(address); }

  std::vector<PanelCall> panels;
  std::vector<std::string> pages;
};

}  // namespace test_support
