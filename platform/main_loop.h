// The main thread's event loop and its queue of wire handlers.
#pragma once

// Installs the main-thread queue (g_main_queue). Call once before the reader thread starts.
void kelo_main_queue_install();
// Runs the event loop until kelo_main_loop_quit.
void kelo_main_loop_run();
void kelo_main_loop_quit();
