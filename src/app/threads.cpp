// The thread layer: POSIX mutex, message queue and thread primitives with their error alerts;
// the thread system with its report queues; the worker pool with its start handshake, stop
// marker and job interface; the wrapper that turns an escaped exception into a fatal report.
//
// [SECTION] primitives   [SECTION] thread system and reports   [SECTION] worker pool
#include "app/threads.h"

#include <sys/time.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "app/alert.h"
#include "app/log.h"
#include "app/reports.h"
#include "app/shell.h"
#include "app/thread_queue.h"

// [SECTION] primitives ----------------------------------------------------------------------------
namespace {

void os_error(const char* headline, int error, int line) {
  char text[64];
  std::snprintf(text, sizeof text, "err=%f", double(error));
  show_alert(0, headline, text, "", "", t_exit, "UTL_thread", line);
}

}  // namespace

struct message_queue {
  pthread_mutex_t lock;
  pthread_cond_t signal;
  std::deque<void*> items;
  int waiters = 0;  // takers inside queue_take that may wait
};

void mutex_init(pthread_mutex_t& mutex) {
  pthread_mutexattr_t attributes;
  if (int e = pthread_mutexattr_init(&attributes))
    os_error("\"::pthread_mutexattr_init\" OS error", e, 179);
  if (int e = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE))
    os_error("\"::pthread_mutexattr_settype\" OS error", e, 181);
  if (int e = pthread_mutex_init(&mutex, &attributes))
    os_error("\"::pthread_mutex_init\" OS error", e, 183);
  if (int e = pthread_mutexattr_destroy(&attributes))
    os_error("\"::pthread_mutexattr_destroy\" OS error", e, 185);
}

void mutex_destroy(pthread_mutex_t& mutex) {
  if (int e = pthread_mutex_destroy(&mutex)) os_error("\"::pthread_mutex_destroy\" OS error", e, 198);
}

void mutex_lock(pthread_mutex_t& mutex) {
  if (int e = pthread_mutex_lock(&mutex)) os_error("\"pthread_mutex_lock\" OS error", e, 211);
}

void mutex_unlock(pthread_mutex_t& mutex) {
  if (int e = pthread_mutex_unlock(&mutex)) os_error("\"pthread_mutex_unlock\" OS error", e, 224);
}

message_queue* queue_create() {
  auto* queue = new message_queue;
  if (int e = pthread_mutex_init(&queue->lock, nullptr))
    os_error("\"::pthread_mutex_init\" OS error", e, 268);
  if (int e = pthread_cond_init(&queue->signal, nullptr))
    os_error("\"::pthread_cond_init\" OS error", e, 271);
  return queue;
}

void queue_destroy(message_queue* queue) {
  if (!queue) return;
  if (int e = pthread_mutex_destroy(&queue->lock))
    os_error("\"::pthread_mutex_destroy\" OS error", e, 287);
  if (int e = pthread_cond_destroy(&queue->signal))
    os_error("\"::pthread_cond_desroy\" OS error", e, 290);
  delete queue;
}

void queue_put(message_queue* queue, void* value) {
  if (int e = pthread_mutex_lock(&queue->lock)) os_error("\"pthread_mutex_lock\" OS error", e, 319);
  if (queue->waiters > 0) {
    if (int e = pthread_cond_signal(&queue->signal))
      os_error("\"pthread_cond_signal\" OS error", e, 324);
  }
  queue->items.push_back(value);
  if (int e = pthread_mutex_unlock(&queue->lock))
    os_error("\"pthread_mutex_unlock\" OS error", e, 330);
}

void* queue_take(message_queue* queue, int timeout_ms) {
  timespec deadline{};
  if (timeout_ms > 0) {
    timeval now;
    gettimeofday(&now, nullptr);
    deadline.tv_sec = now.tv_sec + timeout_ms / 1000;
    deadline.tv_nsec = long(now.tv_usec) * 1000 + long(timeout_ms % 1000) * 1000000;
    if (deadline.tv_nsec > 999999999) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000;
    }
  }
  auto unlock = [queue](int line) {
    if (int e = pthread_mutex_unlock(&queue->lock))
      os_error("\"pthread_mutex_unlock\" OS error", e, line);
  };

  if (int e = pthread_mutex_lock(&queue->lock)) os_error("\"pthread_mutex_lock\" OS error", e, 381);
  if (timeout_ms == 0 && queue->items.empty()) {
    unlock(386);
    return nullptr;
  }
  ++queue->waiters;
  for (;;) {
    if (!queue->items.empty()) {
      --queue->waiters;
      void* value = queue->items.front();
      queue->items.pop_front();
      unlock(412);
      return value;
    }
    int e = timeout_ms < 0 ? pthread_cond_wait(&queue->signal, &queue->lock)
                           : pthread_cond_timedwait(&queue->signal, &queue->lock, &deadline);
    if (e == ETIMEDOUT) {
      --queue->waiters;
      unlock(401);
      return nullptr;
    }
    if (e) os_error("\"pthread_cond_timedwait\" OS error", e, 404);
  }
}

namespace {

bool create_thread(pthread_t& thread, thread_function function, void* argument) {
  if (int e = pthread_create(&thread, nullptr, function, argument)) {
    os_error("\"pthread_create\" OS error", e, 112);
    return false;
  }
  return true;
}

}  // namespace

pthread_t thread_create(thread_function function, void* argument) {
  pthread_t thread{};
  create_thread(thread, function, argument);
  return thread;
}

void* thread_join(pthread_t thread) {
  void* result = nullptr;
  if (int e = pthread_join(thread, &result)) {
    app_log() << "Warning: wait on thread cleanup failed with error " << e << "\n";
    return nullptr;
  }
  return result;
}

void thread_exit() { pthread_exit(nullptr); }

pthread_t thread_self() { return pthread_self(); }

// [SECTION] thread system and reports -------------------------------------------------------------
namespace {

// Written only by the main thread, before workers start and after they are joined.
struct ThreadSystem {
  std::atomic<bool> initialised{false};
  pthread_t main_thread{};
  message_queue* reports = nullptr;        // severity-1 reports
  message_queue* fatal_reports = nullptr;  // severity-2 reports
  message_queue* jobs = nullptr;           // read by the workers
  pthread_mutex_t pool_lock;               // guards `workers`
  std::vector<pthread_t> workers;          // in start order
};

ThreadSystem& thread_system() {
  static ThreadSystem system;
  return system;
}

// Ends a worker's loop. Never a valid job address.
void* stop_marker() { return reinterpret_cast<void*>(~uintptr_t(0)); }

struct pool_job {
  std::function<void()> work;
  std::promise<void> done;
};

void delete_queued_reports(message_queue* queue) {
  while (void* item = queue_take(queue, 0)) delete static_cast<exce_class*>(item);
}

void drain_queue(message_queue* queue) {
  while (void* item = queue_take(queue, 0)) {
    std::unique_ptr<exce_class> report(static_cast<exce_class*>(item));
    show_alert(0, report->line1, report->line2, report->line3, report->line4,
               unsigned(report->severity), report->source, report->line);
  }
}

}  // namespace

void init_thread_system() {
  ThreadSystem& system = thread_system();
  if (system.initialised) return;
  system.main_thread = pthread_self();
  system.reports = queue_create();
  system.fatal_reports = queue_create();
  mutex_init(system.pool_lock);
  system.jobs = queue_create();
  system.initialised = true;
}

bool thread_system_ready() { return thread_system().initialised; }

bool on_main_thread() {
  ThreadSystem& system = thread_system();
  return !system.initialised || pthread_equal(pthread_self(), system.main_thread);
}

void post_report(exce_class* report) {
  ThreadSystem& system = thread_system();
  if (!system.initialised) {
    delete report;
    return;
  }
  if (report->severity == t_exit)
    queue_put(system.fatal_reports, report);
  else if (report->severity == t_alert)
    queue_put(system.reports, report);
  else
    delete report;
}

void drain_reports(bool include_severity1) {
  ThreadSystem& system = thread_system();
  if (!system.initialised) return;
  drain_queue(system.fatal_reports);
  if (include_severity1) drain_queue(system.reports);
}

// [SECTION] worker pool ---------------------------------------------------------------------------
namespace {

// What a starter hands to a new thread. It lives on the starter's stack, so the starter waits on
// `start_queue` until the new thread has copied what it needs.
struct start_record {
  thread_function function;
  void* argument;
  message_queue* start_queue;
};

// Inside catch (...): true when the "exception" is the stack unwinding of thread_exit, which must
// be let through. It is not a C++ exception, so the C++ runtime hands out no pointer to it (and
// catching it by its type would bind a reference to no object).
bool thread_exit_in_flight() { return !std::current_exception(); }

// Called inside a catch handler: the exception in flight as a fatal report.
exce_class* escaped_exception_report() {
  try {
    throw;
  } catch (const exce_class& escaped) {
    auto* report = new exce_class(escaped);
    report->severity = t_exit;
    return report;
  } catch (const std::exception& escaped) {
    return new exce_class("Caught an unhandled C++ exception", escaped.what(), "", "",
                          "ck_thread", 366, t_exit);
  } catch (...) {
    return new exce_class("Caught an unhandled unknown exception", "", "", "", "ck_thread", 368,
                          t_exit);
  }
}

void post_escaped_exception() { post_report(escaped_exception_report()); }

void* thread_wrapper(void* raw_record) {
  auto* record = static_cast<start_record*>(raw_record);
  thread_function function = record->function;
  void* argument = record->argument;
  queue_put(record->start_queue, nullptr);  // the acknowledgement; `record` is gone after this
  try {
    return function(argument);
  } catch (...) {
    if (thread_exit_in_flight()) throw;
    post_escaped_exception();
    return nullptr;
  }
}

void* worker_loop(void*) {
  ThreadSystem& system = thread_system();
  for (;;) {
    void* item = queue_take(system.jobs, -1);
    if (item == stop_marker()) return nullptr;
    if (!item) continue;
    std::unique_ptr<pool_job> job(static_cast<pool_job*>(item));
    // The report is posted before the job (and its promise) is destroyed, so a waiter that sees
    // the broken promise finds the report already queued.
    try {
      job->work();
    } catch (...) {
      if (thread_exit_in_flight()) throw;  // a fatal alert in the job ends this worker
      post_escaped_exception();
      return nullptr;
    }
    job->done.set_value();
  }
}

}  // namespace

int count_processors(const std::string& cpuinfo_path) {
  FILE* file = std::fopen(cpuinfo_path.c_str(), "r");
  if (!file) {
    std::fprintf(stderr,
                 "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"
                 "Please make sure that I have read access to that file if you want SMP\n"
                 "support. I'll assume for right now that you have one CPU. The error that\n"
                 "I got was:\n\t%s\n",
                 std::strerror(errno));
    app_log() << "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n";
    return 1;
  }
  int count = 0;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    if (std::strncmp(line, "model name", 10) == 0) ++count;
  }
  std::fclose(file);
  if (count == 0) {
    std::fprintf(stderr,
                 "LINUX: I found no processors listed in /proc/cpuinfo, so I'll assume for\n"
                 "right now that you have one CPU. Please report this to Corvane's Linux\n"
                 "support at %s, with a copy of your /proc/cpuinfo.\n",
                 maker_support_address);
    app_log() << "Linux CPU detect failed -- no processors in /proc/cpuinfo\n";
    return 1;
  }
  return count;
}

void start_workers() { start_workers("/proc/cpuinfo"); }

void start_workers(const std::string& cpuinfo_path) {
  ThreadSystem& system = thread_system();
  if (!system.initialised) init_thread_system();
  const int count = count_processors(cpuinfo_path);
  app_log() << "CPU count        : " << count << "\n";
  for (int i = 0; i < count; ++i) {
    start_record record{worker_loop, nullptr, queue_create()};
    pthread_t thread{};
    const bool started = create_thread(thread, thread_wrapper, &record);
    if (started) queue_take(record.start_queue, -1);
    queue_destroy(record.start_queue);
    if (!started) continue;
    mutex_guard guard(system.pool_lock);
    system.workers.push_back(thread);
  }
}

void stop_workers() {
  ThreadSystem& system = thread_system();
  if (!system.initialised) return;
  std::vector<pthread_t> workers;
  {
    mutex_guard guard(system.pool_lock);
    workers.swap(system.workers);
  }
  for (size_t i = 0; i < workers.size(); ++i) queue_put(system.jobs, stop_marker());
  for (pthread_t worker : workers) thread_join(worker);

  mutex_destroy(system.pool_lock);
  // Jobs nobody took: deleting them breaks their promises, so no waiter hangs.
  while (void* item = queue_take(system.jobs, 0)) {
    if (item != stop_marker()) delete static_cast<pool_job*>(item);
  }
  queue_destroy(system.jobs);
  delete_queued_reports(system.reports);
  delete_queued_reports(system.fatal_reports);
  queue_destroy(system.reports);
  queue_destroy(system.fatal_reports);
  system.jobs = system.reports = system.fatal_reports = nullptr;
  system.initialised = false;
  app_log() << "Clean exit from threads.\n";
}

int worker_count() {
  ThreadSystem& system = thread_system();
  if (!system.initialised) return 0;
  mutex_guard guard(system.pool_lock);
  return int(system.workers.size());
}

std::future<void> submit_job(std::function<void()> job) {
  auto item = std::make_unique<pool_job>();
  item->work = std::move(job);
  std::future<void> result = item->done.get_future();
  if (worker_count() == 0) {
    // Run here, but end the same way a worker would: an escaped exception is a fatal alert.
    try {
      item->work();
    } catch (...) {
      if (thread_exit_in_flight()) throw;  // a fatal alert ending a calling worker thread
      std::unique_ptr<exce_class> report(escaped_exception_report());
      show_alert(0, report->line1, report->line2, report->line3, report->line4, t_exit,
                 report->source, report->line);
    }
    item->done.set_value();
    return result;
  }
  queue_put(thread_system().jobs, item.release());
  return result;
}

bool wait_job(std::future<void>& job) {
  try {
    job.get();
    return true;
  } catch (const std::future_error&) {
    drain_reports(false);  // the worker's fatal report ends the program here
    return false;
  }
}
