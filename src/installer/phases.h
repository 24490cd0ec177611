// The install phases: the installer's per-frame logic (server list, manifest, scan, the
// executor's time slice and the screen values), the actions behind the screen's controls
// (choose destination, install, quit, pick a server) and the texts of the status line and the
// message lines. Nothing here draws: the window's frame calls these steps between its drawing,
// and a front end without a screen calls installer_logic_frame and the actions directly.
//
// The phases and run states are the enums of installer/session.h; every change of `phase` and
// `run_state` happens in this file:
//   phase:     fetching -> manifest_ready    the manifest archive was fetched and expanded
//              manifest_ready -> no_release | planned    result of the scan
//              planned -> manifest_ready     a new destination was chosen (scanned at once)
//   run_state: idle -> installing            Install: terms accepted, decisions not cancelled
//              installing -> ended           the executor reports the run over (done or failed)
//              idle | ended -> idle          a new destination was chosen
//              any -> ended                  Quit (and a refusal of a too-new format)
#pragma once
#include <string>

// The frame's logic steps, in the order a frame takes them.
void frame_fetch_steps();    // one step of the server list, then of the manifest archive
void frame_scan_step();      // the scan, when the manifest is ready (runs to its end)
void frame_time_slice();     // the executor's 10 ms slice while installing
void frame_screen_values();  // the idle snapshot, or the progress values while installing

// All logic steps of one frame, for front ends that draw nothing between them.
void installer_logic_frame();

// The actions of the screen's controls.
bool destination_changeable();   // the destination button is shown and the field takes clicks
bool choose_new_destination();   // opens the chooser; true when a new destination was set
bool install_enabled();          // the Install button is shown and takes clicks
void start_install();            // the Install button
void quit_installer();           // the Quit button
void select_server(int index);   // the server choice

// The terms window, shown before a run until accepted once in this run of the program.
bool show_terms();
bool terms_were_accepted();
void accept_terms_for_run();  // the terms were accepted elsewhere (a front end's own option)

// A line of the screen with its colour number.
struct ScreenLine {
  std::string text;
  int colour = 46;
};
ScreenLine status_line();
// The three message lines under the screen's buttons.
void message_lines(ScreenLine lines[3]);
