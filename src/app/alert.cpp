// Alerts: the console form, the --fps_test form and the hand-over to the window's dialog; the
// log lines every alert leaves, stack_crawl.txt and MemoryLog.txt, and the end of the process
// after a fatal or nested alert. Alerts raised on worker threads are queued as reports instead.
//
// [SECTION] state   [SECTION] show_alert   [SECTION] ending   [SECTION] memory log, stack crawl
#include "app/alert.h"

#include <cinttypes>
#include <cstdint>
#include <cstdlib>

#include "app/log.h"
#include "app/options.h"
#include "app/reports.h"
#include "app/shell.h"
#include "app/thread_queue.h"
#include "app/threads.h"
#include "files/paths.h"

// [SECTION] state ---------------------------------------------------------------------------------
namespace {

// Everything the alert keeps between calls. Main thread only.
struct AlertContext {
  bool graphics_ready = false;
  bool recursive_error = false;  // an alert is being handled; another one now ends the program
  bool ending = false;           // the process is on its way out; no second shutdown
  bool memory_log_started = false;
  AlertDialog* dialog = nullptr;
};

AlertContext& alert_context() {
  static AlertContext context;
  return context;
}

constexpr const char* mem_stats_message =
    "This is the dump_mem_stats call from the following code: "
    "if(type==t_exit || type == t_alert || recursive_error)";

void log_alert_lines(const std::string& line1, const std::string& line2, const std::string& line3,
                     const std::string& line4, const std::string& location) {
  app_log() << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n" << location << "\n";
  log_flush();
}

// Created (or appended to) for every fatal alert; the crawl itself has no frame to start from,
// so the file only comes into being when it is missing.
void touch_stack_crawl() {
  if (FILE* file = std::fopen("stack_crawl.txt", "a")) {
    write_stack_crawl(file, nullptr, nullptr);
    std::fclose(file);
  }
}

// [SECTION] ending --------------------------------------------------------------------------------

// Runs the reduced shutdown (no preferences saved, workers left running), then exits with
// status 1. Static destructors are skipped on purpose: workers may still be running.
[[noreturn]] void end_after_fatal_alert() {
  AlertContext& context = alert_context();
  if (!context.ending) {
    context.ending = true;
    app_shutdown_core(0);
    shell().quit_requested = 1;
  }
  log_flush();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

void set_alert_dialog(AlertDialog* dialog) { alert_context().dialog = dialog; }
void set_graphics_ready(bool ready) { alert_context().graphics_ready = ready; }
bool graphics_ready() { return alert_context().graphics_ready; }

std::string alert_location(const char* source, int line) {
  return std::string("(") + (source ? source : "") + " line " + std::to_string(line) + ")";
}

// [SECTION] show_alert ----------------------------------------------------------------------------
void show_alert(int return_window, const std::string& line1, const std::string& line2,
                const std::string& line3, const std::string& line4, unsigned severity,
                const char* source, int line) {
  if (!source) source = "";

  // A worker never shows anything: its alert goes to the main thread as a report.
  if (thread_system_ready() && !on_main_thread()) {
    if (severity != t_alert && severity != t_exit) return;
    post_report(new exce_class(line1, line2, line3, line4, source, line, int(severity)));
    if (severity == t_exit) thread_exit();
    return;
  }

  const std::string location = alert_location(source, line);
  if (severity == t_exit) touch_stack_crawl();

  if (has_option("--fps_test")) {
    log_alert_lines(line1, line2, line3, line4, location);
    if (severity == t_exit) end_after_fatal_alert();
    return;
  }

  AlertContext& context = alert_context();
  const bool nested = context.recursive_error;
  context.recursive_error = true;

  if (!context.graphics_ready || nested || !context.dialog) {
    std::printf("Skybase Error:\n");
    std::printf("%s\n\n%s\n\n%s\n\n%s\n\n", line1.c_str(), line2.c_str(), line3.c_str(),
                line4.c_str());
    std::printf("Sorry.\n");
  } else if (!line1.empty() || !line2.empty() || !line3.empty() || !line4.empty()) {
    AlertRequest request;
    request.return_window = return_window;
    request.line1 = line1;
    request.line2 = line2;
    request.line3 = line3;
    request.line4 = line4;
    request.severity = severity;
    request.source = source;
    request.line = line;
    context.dialog->run(request, location);
  }

  if (severity == t_alert || severity == t_exit || nested) {
    dump_mem_stats(mem_stats_message);
    app_log() << "\n";
    log_alert_lines(line1, line2, line3, line4, location);
  }

  if (nested || severity == t_exit) end_after_fatal_alert();
  context.recursive_error = false;
}

// [SECTION] memory log, stack crawl ---------------------------------------------------------------
void dump_mem_stats(const std::string& message) {
  app_log() << "OK check MemoryLog.txt! I just sent him a dump from " << message << "\n";
  AlertContext& context = alert_context();
  const std::string path = base_folder_prefix() + "MemoryLog.txt";
  FILE* file = std::fopen(path.c_str(), context.memory_log_started ? "a" : "w");
  context.memory_log_started = true;
  if (file) std::fclose(file);
}

void write_stack_crawl(FILE* file, const StackFrameRecord* frame, const void* pc) {
  constexpr int max_entries = 100;
  int entry = 0;
  auto write_entry = [&](const void* address) {
    std::fprintf(file, " % 2d) 0x%08" PRIxPTR " (\?\?\?)\n", entry++,
                 reinterpret_cast<uintptr_t>(address));
  };
  if (pc) write_entry(pc);
  while (frame && entry < max_entries) {
    write_entry(frame->return_address);
    // The stack grows down: a caller's record lies above its callee's. Anything else ends the
    // chain rather than being followed into unrelated memory.
    const StackFrameRecord* next = frame->caller;
    if (reinterpret_cast<uintptr_t>(next) <= reinterpret_cast<uintptr_t>(frame)) break;
    frame = next;
  }
}
