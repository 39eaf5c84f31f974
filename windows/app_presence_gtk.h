// The app as a whole: its taskbar presence, hiding and showing all of its windows.
#pragma once

typedef struct _GtkWindow GtkWindow;

// Set when the app's presence changed and the menu bar must be built again on next show.
extern bool g_menu_stale;

// Regular app: its windows are listed in the taskbar (panels and overlays excepted).
void become_regular();
// Accessory app: no taskbar or pager entry for any of its windows.
void become_accessory();
// Whether the window belongs in the taskbar, applied to its hints.
void update_taskbar_presence(GtkWindow* window);

// Hides every visible window of the app, remembering which ones were shown.
void hide_app();
// Between hide_app and unhide_app.
bool app_hidden();
// Shows again what hide_app hid; with activate, the frontmost of them takes the focus.
void unhide_app(bool activate);
// Brings the app forward: its main window, else the first visible window.
void activate_app();
