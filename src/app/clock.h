// Time keeping from one place: the microsecond clock, the program clock (seconds since the first
// frame) and a test override so tests can move time without sleeping.
#pragma once
#include <cstdint>

uint64_t microsecond_clock();  // microseconds since the clock's first use
float program_clock();         // seconds since the first frame, as of the latest clock_tick
void clock_tick();             // advances the program clock to now; called once per frame

// Tests: when set, microsecond_clock returns this value instead of the time of day.
void clock_set_override(bool enabled, uint64_t microseconds = 0);

// Tests: forgets the first use, the first frame, the frame steps and the ticks, so the next
// calls start the clocks afresh.
void clock_reset();

// The time of day as seconds x 1000000 + microseconds, not made relative to anything.
uint64_t time_of_day_microseconds();

// One frame's time keeping for the screen `top_window`: advances the program clock, updates the
// smoothed frame step and the 0.2 s and 0.1 s ticks. The main screen (0) and the other screens
// keep separate frame-step estimates; dialogs 995 to 999 leave the frame step as it was.
void clock_frame(int top_window);
float frame_step();  // smoothed duration of a frame in seconds; 0.02 at start
bool tick_200ms();   // the program clock moved on by more than 0.2 s since this was last set
bool tick_100ms();   // the same for 0.1 s
