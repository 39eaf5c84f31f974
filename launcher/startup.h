// Start-up steps and application actions that talk to GTK.
#pragma once

#include <string>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;

// Initialises GTK on the X11 backend first; false when there is no display session. A
// non-empty program class (a package run's bundle id) names the app's windows (WM_CLASS), so
// taskbars group them under the app's desktop entry.
bool kelo_open_display(const std::string& program_class);

// Creates the main window (g_w) with its title and content size, centred; false on failure.
bool initialize_main_window(const std::string& title, int width, int height, bool package_run);
// Loads a local HTML file into the main window; false when it cannot be read.
bool load_html_file(const std::string& path);
void initialize_windowless_application();
// Loads the front end (a URL or a local file) into the main window, then settles start-up
// showing: a suppressed window stays hidden, a deferred show gets its fallback, developer mode
// may open the inspector. False when a local file cannot be read.
bool start_front_end(const std::string& url);
// Shows the main window after 3 s unless something showed it before.
void schedule_deferred_show();
// Clears a pending deferred show; the main window is being shown now.
void cancel_deferred_show();

// Reports files and URLs the desktop opened the app with (queued until the backend connects).
void send_open_urls(const std::vector<std::string>& args);

// Application actions, called by the menu bar.
void kelo_show_about();
void kelo_do_quit();
void kelo_show_dev_tools();
void kelo_open_inspector(WebKitWebView* view);

// The modal "cannot run on this processor" alert of a package run.
void show_arch_unsupported_alert();
