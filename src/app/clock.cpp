// The microsecond clock and the program clock. The microsecond clock counts from its first use;
// the program clock counts seconds from the first frame and moves only when a frame ticks it, so
// everything within one frame sees the same time.
#include "app/clock.h"

#include <sys/time.h>

#include <algorithm>
#include <cmath>

namespace {

struct ClockState {
  bool started = false;        // the microsecond clock has been used
  uint64_t start_of_day = 0;   // time of day at its first use
  bool override_on = false;
  uint64_t override_value = 0;
  bool first_frame_seen = false;
  double first_frame_seconds = 0;  // microsecond clock x 0.000001 at the first frame
  float now = 0;                   // program clock of the current frame
};

// One smoothed frame-duration estimate, updated every tenth frame from the time those ten took.
struct FrameStepEstimate {
  int frames = 0;
  float reference = 0;  // program clock at the last update
  float step = 0.02f;
};

// A one-frame flag set whenever the program clock has moved on by more than `interval`.
struct Tick {
  float interval;
  float reference = 0;
  bool set = false;
};

struct FrameTiming {
  FrameStepEstimate main_window;
  FrameStepEstimate other_windows;
  float step = 0.02f;  // the estimate of the screen shown
  Tick tick_200{0.2f};
  Tick tick_100{0.1f};
};

FrameTiming& frame_timing() {
  static FrameTiming timing;
  return timing;
}

float update_estimate(FrameStepEstimate& estimate, float t) {
  if (estimate.frames++ % 10 == 0) {
    const float ratio = std::clamp(0.1f * (t - estimate.reference) / estimate.step, 0.5f, 1.5f);
    estimate.step = std::clamp(estimate.step * std::pow(ratio, 0.25f), 0.0010001f, 0.05263158f);
    estimate.reference = t;
  }
  return estimate.step;
}

void update_tick(Tick& tick, float t) {
  tick.set = std::fabs(t - tick.reference) > tick.interval;
  if (tick.set) tick.reference = t;
}

ClockState& clock_state() {
  static ClockState state;
  return state;
}

}  // namespace

uint64_t time_of_day_microseconds() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_usec);
}

uint64_t microsecond_clock() {
  ClockState& state = clock_state();
  if (state.override_on) return state.override_value;
  const uint64_t now = time_of_day_microseconds();
  if (!state.started) {
    state.started = true;
    state.start_of_day = now;
  }
  // The time of day can be set back; never report a time before the first use.
  return now >= state.start_of_day ? now - state.start_of_day : 0;
}

float program_clock() { return clock_state().now; }

void clock_tick() {
  ClockState& state = clock_state();
  const double seconds = static_cast<double>(microsecond_clock()) * 0.000001;
  if (!state.first_frame_seen) {
    state.first_frame_seen = true;
    state.first_frame_seconds = seconds;
  }
  state.now = static_cast<float>(seconds - state.first_frame_seconds);
}

void clock_frame(int top_window) {
  clock_tick();
  FrameTiming& timing = frame_timing();
  const float t = program_clock();
  const bool alert_or_dialog = top_window >= 995 && top_window <= 999;
  if (top_window == 0) {
    timing.step = update_estimate(timing.main_window, t);
    timing.other_windows.reference = t;
  } else if (!alert_or_dialog) {
    timing.main_window.reference = t;
    timing.step = update_estimate(timing.other_windows, t);
  } else {
    // A modal dialog waits for the user; its slow frames must not count as the frame rate.
    timing.main_window.reference = t;
    timing.other_windows.reference = t;
  }
  update_tick(timing.tick_200, t);
  update_tick(timing.tick_100, t);
}

float frame_step() { return frame_timing().step; }
bool tick_200ms() { return frame_timing().tick_200.set; }
bool tick_100ms() { return frame_timing().tick_100.set; }

void clock_set_override(bool enabled, uint64_t microseconds) {
  ClockState& state = clock_state();
  state.override_on = enabled;
  state.override_value = microseconds;
}

void clock_reset() {
  ClockState& state = clock_state();
  const bool override_on = state.override_on;
  const uint64_t override_value = state.override_value;
  state = ClockState{};
  state.override_on = override_on;
  state.override_value = override_value;
  frame_timing() = FrameTiming{};
}
