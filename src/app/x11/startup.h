// The whole shell start-up of the window program: the display-free steps of the core, then the
// window, the GL capabilities, the worker threads, the built-in images and the interface
// colours. Shutdown is app_shutdown_core (app/shell.h), which also takes the window down.
#pragma once

void app_startup(int argc, char** argv);
