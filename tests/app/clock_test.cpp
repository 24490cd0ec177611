// The microsecond clock and the program clock, driven through the test override.
#include "app/clock.h"

#include <gtest/gtest.h>

namespace {

class ClockTest : public testing::Test {
 protected:
  void SetUp() override {
    clock_set_override(true, 0);
    clock_reset();
  }
  void TearDown() override {
    clock_set_override(false);
    clock_reset();
  }
};

TEST_F(ClockTest, ProgramClockCountsFromTheFirstFrameAndMovesOnlyOnTicks) {
  EXPECT_EQ(program_clock(), 0.0f) << "before the first frame";
  clock_set_override(true, 5'000'000);
  clock_tick();  // the first frame: its time is the zero point
  EXPECT_EQ(program_clock(), 0.0f);

  clock_set_override(true, 7'250'000);
  EXPECT_EQ(microsecond_clock(), 7'250'000u);
  EXPECT_EQ(program_clock(), 0.0f) << "within a frame the program clock stands still";
  clock_tick();
  EXPECT_FLOAT_EQ(program_clock(), 2.25f);

  clock_set_override(true, 5'000'000 + 3'600'000'000ull);
  clock_tick();
  EXPECT_FLOAT_EQ(program_clock(), 3600.0f);
}

TEST_F(ClockTest, RealClockStartsNearZeroAndNeverGoesBack) {
  clock_set_override(false);
  clock_reset();
  const uint64_t first = microsecond_clock();
  const uint64_t second = microsecond_clock();
  EXPECT_LT(first, 1'000'000u) << "counted from the first use";
  EXPECT_GE(second, first);
  const uint64_t day = time_of_day_microseconds();
  EXPECT_GT(day, 1'000'000'000'000'000ull) << "seconds x 1000000 since 1970";
}

// Runs `frames` frames of `seconds` each on `top_window`, from the current override time.
uint64_t run_frames(uint64_t now, int frames, double seconds, int top_window) {
  for (int i = 0; i < frames; ++i) {
    now += static_cast<uint64_t>(seconds * 1e6);
    clock_set_override(true, now);
    clock_frame(top_window);
  }
  return now;
}

TEST_F(ClockTest, FrameStepFollowsTheMeasuredFrameTimeWithinItsLimits) {
  struct Case {
    const char* label;
    double frame_seconds;
    float low, high;  // where the estimate must end up after many frames
  };
  const Case cases[] = {
      {"60 frames a second", 1.0 / 60, 0.0160f, 0.0173f},
      {"slow frames stop at about 1/19 s", 0.5, 0.05263f, 0.05264f},
      {"very fast frames stop at about 1 ms", 0.0001, 0.0010000f, 0.0010002f},
  };
  for (const Case& c : cases) {
    clock_set_override(true, 0);
    clock_reset();
    EXPECT_FLOAT_EQ(frame_step(), 0.02f) << c.label;
    run_frames(0, 3000, c.frame_seconds, 0);
    EXPECT_GE(frame_step(), c.low) << c.label;
    EXPECT_LE(frame_step(), c.high) << c.label;
  }
}

TEST_F(ClockTest, EachKindOfScreenKeepsItsOwnFrameStep) {
  // The main screen at 20 frames a second; 2005 frames, so its next frame makes no update.
  uint64_t now = run_frames(0, 2005, 0.05, 0);
  const float main_step = frame_step();
  EXPECT_GT(main_step, 0.045f);

  // An alert waiting for the user: slow frames, step unchanged.
  now = run_frames(now, 50, 0.16, 995);
  EXPECT_EQ(frame_step(), main_step);

  // The licence screen has an estimate of its own, starting from 0.02 (one update moves it by
  // at most a factor 0.5^0.25).
  now = run_frames(now, 1, 0.01, 1);
  EXPECT_GE(frame_step(), 0.0168f);
  EXPECT_LE(frame_step(), 0.02f);

  // Back on the main screen its own estimate is in force again.
  run_frames(now, 1, 0.05, 0);
  EXPECT_EQ(frame_step(), main_step);
}

TEST_F(ClockTest, TicksFireWhenTheirIntervalHasPassed) {
  struct Step {
    uint64_t at_microseconds;
    bool tick_200, tick_100;
  };
  const Step steps[] = {
      {0, false, false},          // first frame: the zero point
      {50'000, false, false},
      {100'000, false, false},    // exactly 0.1 s is not more than 0.1 s
      {150'000, false, true},
      {210'000, true, false},     // 0.06 s after the 0.1 s tick
      {260'000, false, true},
      {420'000, true, true},
      {411'000, false, false},    // the clock set back a little
  };
  for (const Step& step : steps) {
    clock_set_override(true, step.at_microseconds);
    clock_frame(0);
    EXPECT_EQ(tick_200ms(), step.tick_200) << step.at_microseconds;
    EXPECT_EQ(tick_100ms(), step.tick_100) << step.at_microseconds;
  }
}

}  // namespace
