// The main thread's event loop and its queue of wire handlers.
#pragma once

#include <functional>

// Installs the main-thread queue (g_main_queue). Call once before the reader thread starts.
void kelo_main_queue_install();
// Runs the event loop until kelo_main_loop_quit.
void kelo_main_loop_run();
void kelo_main_loop_quit();
// Runs fn on the main thread once the event loop has stopped, before the process ends: the
// last moment to answer requests that are still in flight.
void kelo_at_loop_end(std::function<void()> fn);

// Runs fn once on the main loop after ms milliseconds.
void kelo_run_after(unsigned ms, std::function<void()> fn);
