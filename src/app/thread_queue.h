// Threading primitives over POSIX threads: a recursive mutex, a message queue of pointer-sized
// values with timed takes, and thread create/join/exit. Every failing POSIX call raises a
// severity-2 alert (source "UTL_thread") naming the call, with "err=<number as %f>" as its second
// line; the operation then goes on as far as it can.
#pragma once
#include <pthread.h>

// A recursive mutex embedded in its owner: the owning thread may lock it again; each lock needs
// an unlock.
void mutex_init(pthread_mutex_t& mutex);
void mutex_destroy(pthread_mutex_t& mutex);
void mutex_lock(pthread_mutex_t& mutex);
void mutex_unlock(pthread_mutex_t& mutex);

// Holds a mutex_lock for one scope.
class mutex_guard {
 public:
  explicit mutex_guard(pthread_mutex_t& mutex) : mutex_(mutex) { mutex_lock(mutex_); }
  ~mutex_guard() { mutex_unlock(mutex_); }
  mutex_guard(const mutex_guard&) = delete;
  mutex_guard& operator=(const mutex_guard&) = delete;

 private:
  pthread_mutex_t& mutex_;
};

// First-in first-out queue of opaque pointers, safe between threads. It neither owns nor frees
// what the values point to. A null value reads as "nothing" to a taker, so do not put null on a
// queue that is read with time-outs.
struct message_queue;
message_queue* queue_create();
void queue_destroy(message_queue* queue);
void queue_put(message_queue* queue, void* value);
// timeout_ms: -1 (or any negative) waits without limit, 0 does not wait, otherwise milliseconds.
// Returns the first value, or null when none arrived in time.
void* queue_take(message_queue* queue, int timeout_ms);

using thread_function = void* (*)(void*);
pthread_t thread_create(thread_function function, void* argument);
// Returns the thread's exit value; a failed join writes a warning line to the log instead of an
// alert and returns null. Main thread only (it writes to the log).
void* thread_join(pthread_t thread);
[[noreturn]] void thread_exit();
pthread_t thread_self();
