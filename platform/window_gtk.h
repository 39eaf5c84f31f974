// Window placement helpers on GTK/X11.
#pragma once

typedef struct _GtkWindow GtkWindow;

// Centres the window's frame (decorations included) in the work area of its monitor. An
// unmapped window is placed near the centre now and centred exactly once it is mapped, when
// the window manager's frame is known.
void kelo_center_window(GtkWindow* window);
// Forgets a centring still waiting for the window's first show: an explicit placement wins.
void kelo_cancel_pending_center(GtkWindow* window);
// Where a centring still waiting for the window's first show puts a window of that size (the
// window manager's frame not counted); false when none is waiting.
bool kelo_pending_center_position(GtkWindow* window, int width, int height, int& x, int& y);

// Limits a content size to the work area of the window's monitor (the primary one before the
// window is shown): the display server cannot hold larger windows, and the engine stalls
// drawing pages of such a size.
void kelo_fit_to_workarea(GtkWindow* window, int& width, int& height);

// No taskbar or pager entry for the window.
void kelo_hide_from_taskbar(GtkWindow* window);

// The pointer's position in root coordinates; true while its left button is held.
bool kelo_pointer(double& x, double& y);

// Sets a window's title; bytes that are not UTF-8 become replacement characters.
void kelo_set_window_title(GtkWindow* window, const char* title);
