// Thread reports: an alert raised on a worker thread is copied into an exce_class and queued for
// the main thread, which shows it from its frame loop. Severity-2 reports go on the fatal queue.
#pragma once
#include <string>

class exce_class {
 public:
  exce_class() = default;
  exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* src,
             int ln, int sev)
      : line1(std::move(l1)),
        line2(std::move(l2)),
        line3(std::move(l3)),
        line4(std::move(l4)),
        source(src),
        line(ln),
        severity(sev) {}
  virtual ~exce_class() = default;

  std::string line1, line2, line3, line4;
  const char* source = "";
  int line = 0;
  int severity = 0;
};

// Queues a heap-allocated report (the queue then owns it): severity 2 on the fatal queue,
// severity 1 on the report queue; any other severity is dropped. Needs the thread system.
void post_report(exce_class* report);

// Main thread, while the main window is on top: shows every queued fatal report (which ends the
// program) and, when asked, every queued severity-1 report, deleting each after it is handled.
void drain_reports(bool include_severity1);
