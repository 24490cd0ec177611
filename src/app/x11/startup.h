// The whole shell start-up and shutdown of the window program: the display-free steps of the
// core, then the window, the GL capabilities, the worker threads, the built-in images and the
// interface colours.
#pragma once

void app_startup(int argc, char** argv);
// full = 1 for a normal quit (preferences saved unless --fps_test, workers stopped).
void app_shutdown(int full);
