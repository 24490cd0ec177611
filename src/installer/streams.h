// The download streams: up to four slots that each work on one item of the install plan at a
// time, fetching its payload over their own HTTP slot while the others do the same; the number
// of streams follows the measured rate (or the _stream_count preference). Also the kilobyte
// counters of a run and the progress values and texts shown while it goes on.
#pragma once
#include <string>

// Prepares stream_state for a new run: two streams, nothing handed out, counters at zero.
// Transfers still held by the stream slots are discarded, so a later run never takes an old
// transfer's result for another file. install_complete is left as it is.
void reset_streams();

// One turn of every active stream. Returns 0 while the run goes on, non-zero when it is over
// (the plan is done, or an item could not be carried out and install_error is set).
int executor_step();

// Whether the latest executor_step finished an item (so the next one has work ready without
// waiting for the network).
bool executor_step_finished_item();

// The number of streams wanted at `rate` kilobytes per second with the preference
// `stream_count` (0: automatic). May exceed the four slots.
int target_stream_count(float rate, int stream_count);

// Number of stream slots taking part in the run.
int active_stream_count();

// Kilobytes as a screen text: "512.3 Meg", "1.5 Gig" (1 Meg = 1000 kilobytes).
std::string size_text(float kilobytes);

// The progress values of a frame while installing: the smoothed fraction shown, with `dt` the
// frame step in seconds.
void update_shown_fraction(float dt);

// The three progress lines of a run.
std::string progress_file_line();
std::string progress_overall_line();
std::string progress_time_line();
