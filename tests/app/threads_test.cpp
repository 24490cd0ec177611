// The thread layer: recursive mutex, message queue with timed takes, the error alerts of the
// primitives, the processor count, the worker pool with its jobs, and reports from workers.
#include "app/threads.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <thread>

#include "app/alert.h"
#include "app/log.h"
#include "app/reports.h"
#include "app/thread_queue.h"
#include "support/files.h"

namespace {

using test_support::read_file;
using test_support::write_file;

std::string cpuinfo_with(int processors) {
  std::string text;
  for (int i = 0; i < processors; ++i)
    text += "processor\t: " + std::to_string(i) + "\nmodel name\t: Test CPU\ncpu MHz\t\t: 1000\n\n";
  return text;
}

// A fresh folder as the current folder (fatal alerts leave files there) with the log on Log.txt.
class ThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
  }
  void TearDown() override {
    stop_workers();
    log_close();
    ASSERT_EQ(chdir(old_cwd_), 0);
  }
  std::string log_text() {
    log_flush();
    return read_file(folder_ + "/Log.txt");
  }
  std::string fixture(const std::string& name, const std::string& text) {
    write_file(folder_ + "/" + name, text);
    return folder_ + "/" + name;
  }

  test_support::TempDir dir_{"velmora_threads_test"};
  const std::string folder_ = dir_.path().substr(0, dir_.path().size() - 1);  // no final "/"
  char old_cwd_[4096];
};

// ---- primitives ----------------------------------------------------------------------------------

TEST(MessageQueue, TakesInOrderAndHonoursTimeouts) {
  message_queue* queue = queue_create();
  int a = 1, b = 2;
  EXPECT_EQ(queue_take(queue, 0), nullptr);

  queue_put(queue, &a);
  queue_put(queue, &b);
  EXPECT_EQ(queue_take(queue, 0), &a);
  EXPECT_EQ(queue_take(queue, -1), &b);

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(queue_take(queue, 250), nullptr);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(245));

  // A value put by another thread wakes a waiting taker.
  std::thread putter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    queue_put(queue, &a);
  });
  EXPECT_EQ(queue_take(queue, 10000), &a);
  putter.join();
  queue_destroy(queue);
}

TEST(MessageQueue, ManyProducersLoseNothing) {
  message_queue* queue = queue_create();
  constexpr int per_thread = 2000;
  std::vector<int> values(4 * per_thread);
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t)
    producers.emplace_back([&, t] {
      for (int i = 0; i < per_thread; ++i) queue_put(queue, &values[t * per_thread + i]);
    });
  std::set<void*> seen;
  for (size_t i = 0; i < values.size(); ++i) seen.insert(queue_take(queue, -1));
  for (auto& producer : producers) producer.join();
  EXPECT_EQ(seen.size(), values.size());
  EXPECT_EQ(queue_take(queue, 0), nullptr);
  queue_destroy(queue);
}

TEST(RecursiveMutex, OwnerMayRelockAndOthersWaitForTheLastUnlock) {
  pthread_mutex_t mutex;
  mutex_init(mutex);
  mutex_lock(mutex);
  mutex_lock(mutex);
  auto other_can_lock = [&] {
    int result = -1;
    std::thread other([&] {
      result = pthread_mutex_trylock(&mutex);
      if (result == 0) pthread_mutex_unlock(&mutex);
    });
    other.join();
    return result == 0;
  };
  mutex_unlock(mutex);
  EXPECT_FALSE(other_can_lock());
  mutex_unlock(mutex);
  EXPECT_TRUE(other_can_lock());
  mutex_destroy(mutex);
}

TEST_F(ThreadsTest, FailingCallsRaiseAFatalAlertNamingTheCall) {
  struct Case {
    const char* label;
    void (*provoke)();
    const char* want_log;
  } cases[] = {
      {"unlock a mutex this thread does not hold",
       [] {
         pthread_mutex_t mutex;
         mutex_init(mutex);
         mutex_unlock(mutex);
       },
       "\n\"pthread_mutex_unlock\" OS error\nerr=1.000000\n\n\n(UTL_thread line 224)\n"},
      {"destroy a locked mutex",
       [] {
         pthread_mutex_t mutex;
         mutex_init(mutex);
         mutex_lock(mutex);
         mutex_destroy(mutex);
       },
       "\n\"::pthread_mutex_destroy\" OS error\nerr=16.000000\n\n\n(UTL_thread line 198)\n"},
  };
  for (const Case& c : cases) {
    log_close();
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
    EXPECT_EXIT(c.provoke(), testing::ExitedWithCode(1), "") << c.label;
    const std::string text = log_text();
    ASSERT_GE(text.size(), strlen(c.want_log)) << c.label;
    EXPECT_EQ(text.substr(text.size() - strlen(c.want_log)), c.want_log) << c.label;
  }
}

TEST_F(ThreadsTest, FailedJoinOnlyWritesAWarning) {
  EXPECT_EQ(thread_join(thread_self()), nullptr);  // joining oneself: EDEADLK
  EXPECT_EQ(log_text(), "Warning: wait on thread cleanup failed with error 35\n");

  pthread_t thread = thread_create([](void* value) -> void* { return value; }, &thread);
  EXPECT_EQ(thread_join(thread), &thread);
}

// ---- processor count and pool --------------------------------------------------------------------

TEST_F(ThreadsTest, ProcessorCountFallsBackToOne) {
  struct Case {
    const char* label;
    std::string path;
    int want;
    const char* want_log;
  } cases[] = {
      {"four model names", fixture("four", cpuinfo_with(4)), 4, ""},
      {"none listed", fixture("none", "processor\t: 0\nflags\t\t: fpu\n"), 1,
       "Linux CPU detect failed -- no processors in /proc/cpuinfo\n"},
      {"unreadable", folder_ + "/missing", 1,
       "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n"},
  };
  for (const Case& c : cases) {
    log_close();
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(count_processors(c.path), c.want) << c.label;
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log_text(), c.want_log) << c.label;
    EXPECT_EQ(errors.empty(), c.want == 4) << c.label;
  }
  testing::internal::CaptureStderr();
  count_processors(folder_ + "/missing");
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"),
            std::string::npos);
}

TEST_F(ThreadsTest, PoolStartsOneWorkerPerProcessorRunsJobsAndStopsCleanly) {
  init_thread_system();
  start_workers(fixture("cpuinfo", cpuinfo_with(4)));
  EXPECT_EQ(worker_count(), 4);
  EXPECT_EQ(log_text(), "CPU count        : 4\n");

  std::atomic<int> sum{0};
  std::atomic<int> on_main{0};
  std::vector<std::future<void>> jobs;
  for (int i = 1; i <= 200; ++i)
    jobs.push_back(submit_job([&, i] {
      if (on_main_thread()) ++on_main;
      sum += i;
    }));
  for (auto& job : jobs) EXPECT_TRUE(wait_job(job));
  EXPECT_EQ(sum, 200 * 201 / 2);
  EXPECT_EQ(on_main, 0);

  stop_workers();
  EXPECT_EQ(worker_count(), 0);
  EXPECT_FALSE(thread_system_ready());
  EXPECT_EQ(log_text(), "CPU count        : 4\nClean exit from threads.\n");
}

TEST_F(ThreadsTest, UnreadableCpuinfoGivesOneWorker) {
  init_thread_system();
  testing::internal::CaptureStderr();
  start_workers(folder_ + "/missing");
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(worker_count(), 1);
  EXPECT_EQ(log_text(),
            "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\nCPU count        : 1\n");
}

TEST_F(ThreadsTest, WithoutWorkersAJobRunsAtOnceOnTheCaller) {
  bool ran_here = false;
  std::future<void> job = submit_job([&] { ran_here = on_main_thread(); });
  EXPECT_EQ(job.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(wait_job(job));
  EXPECT_TRUE(ran_here);

  // An exception escaping it there ends the program as a worker's would.
  log_flush();
  EXPECT_EXIT(
      {
        submit_job([] { throw std::runtime_error("no space left"); });
        std::exit(3);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_NE(log_text().find("\nCaught an unhandled C++ exception\nno space left\n\n\n"
                            "(ck_thread line 366)\n"),
            std::string::npos);
}

// ---- reports from workers ------------------------------------------------------------------------

TEST_F(ThreadsTest, WorkerAlertOfSeverity1WaitsUntilReportsAreDrained) {
  init_thread_system();
  start_workers(fixture("cpuinfo", cpuinfo_with(1)));
  std::future<void> job = submit_job(
      [] { show_alert(0, "Slow disk", "from a worker", "", "", t_alert, "ck_thread", 10); });
  ASSERT_TRUE(wait_job(job));

  testing::internal::CaptureStdout();
  drain_reports(false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  testing::internal::CaptureStdout();
  drain_reports(true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Skybase Error:\nSlow disk\n\nfrom a worker\n\n\n\n\n\nSorry.\n");
  EXPECT_NE(log_text().find("\nSlow disk\nfrom a worker\n\n\n(ck_thread line 10)\n"),
            std::string::npos);
  testing::internal::CaptureStdout();
  drain_reports(true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// A worker that ends badly: its report is shown by the main thread, which then ends the program.
TEST_F(ThreadsTest, WorkerFailuresBecomeFatalReports) {
  struct Case {
    const char* label;
    std::function<void()> job;
    const char* want_log;
  } cases[] = {
      {"standard exception", [] { throw std::runtime_error("disk on fire"); },
       "\nCaught an unhandled C++ exception\ndisk on fire\n\n\n(ck_thread line 366)\n"},
      {"unknown exception", [] { throw 42; },
       "\nCaught an unhandled unknown exception\n\n\n\n(ck_thread line 368)\n"},
      {"thrown report", [] { throw exce_class("Bad record", "b", "c", "d", "xmap", 8, t_alert); },
       "\nBad record\nb\nc\nd\n(xmap line 8)\n"},
      {"fatal alert",
       [] {
         show_alert(0, "Worker fatal", "", "", "", t_exit, "tman", 21);
         std::abort();  // never reached: the alert ends the worker
       },
       "\nWorker fatal\n\n\n\n(tman line 21)\n"},
  };
  for (const Case& c : cases) {
    log_close();
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
    EXPECT_EXIT(
        {
          init_thread_system();
          start_workers(fixture("cpuinfo", cpuinfo_with(2)));
          std::future<void> job = submit_job(c.job);
          wait_job(job);
          std::exit(3);  // wait_job must not come back from a failed job
        },
        testing::ExitedWithCode(1), "")
        << c.label;
    const std::string text = log_text();
    ASSERT_GE(text.size(), strlen(c.want_log)) << c.label;
    EXPECT_EQ(text.substr(text.size() - strlen(c.want_log)), c.want_log) << c.label;
    EXPECT_TRUE(test_support::file_exists("stack_crawl.txt")) << c.label;
  }
}

TEST_F(ThreadsTest, AFatalAlertEndsOnlyTheWorkerUntilTheMainThreadShowsIt) {
  init_thread_system();
  start_workers(fixture("cpuinfo", cpuinfo_with(2)));
  std::atomic<bool> went_on{false};
  std::future<void> dead = submit_job([&] {
    show_alert(0, "Worker fatal", "", "", "", t_exit, "tman", 21);
    went_on = true;
  });
  EXPECT_THROW(dead.get(), std::future_error);
  EXPECT_FALSE(went_on);

  // The other worker still serves jobs, and shutdown still joins both.
  std::future<void> alive = submit_job([] {});
  EXPECT_TRUE(wait_job(alive));
  stop_workers();
  EXPECT_EQ(log_text(), "CPU count        : 2\nClean exit from threads.\n");
}

}  // namespace
