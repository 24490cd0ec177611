// The installer core's seam to whoever shows it: the window (widgets), the terminal front end
// (prompts and printed lines) or a test (scripted answers that record what was asked).
#pragma once
#include <string>

// What the destination chooser asks, and the label of its confirm button.
constexpr const char* choose_folder_prompt =
    "Pick a folder to install Velmora to! Be sure to pick your existing folder if you already "
    "have one!";
constexpr const char* choose_folder_confirm = "This is my Velmora destination";

class Frontend {
 public:
  virtual ~Frontend() = default;

  // One complete frame of the scan's progress panel. state 0: reading the manifest, 1: examining.
  virtual void progress_panel(float start, float position, float end, int state,
                              const std::string& line1, const std::string& line3) = 0;

  // The modified-file question for `local_path`; delete_form when the release dropped the file.
  // Returns the answer 1 to 5 (1 overwrite/delete, 2 keep, 3 cancel, 4 every in folder, 5 keep
  // every in folder).
  virtual int ask_modified(const std::string& local_path, bool delete_form) = 0;

  // The terms of use; true when accepted.
  virtual bool show_terms() = 0;

  // The folder chooser, starting at `folder`; on true `folder` holds the choice ending in "/".
  // A chooser that shows a prompt and a confirm label uses choose_folder_prompt and
  // choose_folder_confirm.
  virtual bool choose_folder(std::string& folder) = 0;

  // Opening a web page does nothing on this platform; front ends may log it.
  virtual void open_web_page(const std::string& address) = 0;
};

// The front end in use. Until one is set, a quiet default answers: panels are not drawn, the
// question is answered with cancel, the terms are declined and the chooser is cancelled.
Frontend& frontend();
void set_frontend(Frontend* front);
