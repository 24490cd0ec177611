// Alerts: the one way to tell the user about a problem. Four lines, a severity and the source
// place. Console form before graphics are ready (and for nested alerts), the --fps_test form,
// and a dialog form that the window registers through AlertDialog.
//
// On a worker thread an alert is not shown: it is queued as a report (app/reports.h) and shown
// by the main thread; a severity-2 alert there ends the worker at once.
//
// A severity-2 alert on the main thread, or an alert raised while another is being handled,
// ends the process: the log lines are written, stack_crawl.txt is created, the reduced shutdown
// runs (preferences are not saved, workers are not stopped), the log is flushed and closed and
// the process exits with status 1.
#pragma once
#include <cstdio>
#include <string>

enum : unsigned {
  t_alert = 1,  // the program goes on after the user confirms
  t_exit = 2,   // the program ends after the user confirms
};

struct AlertRequest {
  int return_window = 0;
  std::string line1, line2, line3, line4;
  unsigned severity = t_alert;
  const char* source = "";
  int line = 0;
};

// Raises an alert. Returns only for severity 1 (or after queueing on a worker thread).
void show_alert(int return_window, const std::string& line1, const std::string& line2,
                const std::string& line3, const std::string& line4, unsigned severity,
                const char* source, int line);

// "(" + source + " line " + line + ")"
std::string alert_location(const char* source, int line);

// The dialog form, implemented by the window. `run` shows the request modally until confirmed
// (OK, Enter, or the top window being switched away); for severity 1 it then returns to
// request.return_window. It is used only on the main thread, once graphics are ready, for an
// alert that is not nested and has at least one non-empty line.
class AlertDialog {
 public:
  virtual ~AlertDialog() = default;
  virtual void run(const AlertRequest& request, const std::string& location) = 0;
};
void set_alert_dialog(AlertDialog* dialog);  // nullptr: console form only
void set_graphics_ready(bool ready);
bool graphics_ready();

// Writes "OK check MemoryLog.txt! ..." to the log and creates MemoryLog.txt (truncated on the
// first call of the run, opened for appending later); the program keeps no memory statistics,
// so the file stays empty.
void dump_mem_stats(const std::string& message);

// One record of the frame chain: the caller's record and the return address into the caller.
struct StackFrameRecord {
  const StackFrameRecord* caller;
  const void* return_address;
};
// Writes one line " % 2d) 0x%08x (???)" per entry: `pc` first when given, then the return
// addresses along the chain from `frame`, while each next record lies above the current one and
// for at most 100 entries. With neither, writes nothing (as the alert does).
void write_stack_crawl(FILE* file, const StackFrameRecord* frame, const void* pc);
