// The thread layer: recursive mutex, message queue with timed take, threads, and the worker
// pool. Workers take only jobs that touch no session data and write no log lines.
#pragma once
#include <functional>
#include <future>
#include <string>

// Initialises the thread system: notes the main thread, creates the report queues, the pool's
// lock and its job queue. Start-up step 9.
void init_thread_system();
bool thread_system_ready();
bool on_main_thread();

// Counts the processors, logs "CPU count", and starts one worker per processor. Returns only
// after every worker has started.
void start_workers();
// The same, counting the processors in another file (tests use fixtures).
void start_workers(const std::string& cpuinfo_path);
// Stops the workers with the stop marker and logs "Clean exit from threads.". Also releases the
// thread system (report queues included); init_thread_system may be called again afterwards.
void stop_workers();
int worker_count();

// The number of "model name" lines in `cpuinfo_path`, or 1 (with messages on standard error and
// in the log) when the file cannot be read or lists none.
int count_processors(const std::string& cpuinfo_path = "/proc/cpuinfo");

// Runs `job` on a worker; the future gives its end. Without workers the job runs at once on the
// calling thread, where an escaping exception raises the same fatal alert a worker would report.
// A job that throws, or raises a severity-2 alert, ends its worker with a fatal report; its
// future then holds a broken promise instead of a value.
std::future<void> submit_job(std::function<void()> job);
// Main thread: waits for a submitted job. Returns true when it finished; when its worker ended
// instead, shows the queued fatal report, which ends the program.
bool wait_job(std::future<void>& job);
