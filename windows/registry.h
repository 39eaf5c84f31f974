// The window registry: secondary windows by id, and the lookups every window feature uses.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/gobj.h"
#include "windows/winopen.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitWebView WebKitWebView;

struct KeloWindow {
  GRef<GtkWindow> window;
  GRef<WebKitWebView> web_view;
  std::string pending_parent;   // parent named at WINOPEN for a window opened hidden
  std::string detached_parent;  // parent while this child is minimised or being dragged
  std::string parent;           // the window this one is attached to and moves with
};

// Secondary windows by id, in byte order of the id. The main window is never an entry.
extern std::map<std::string, KeloWindow> g_windows;
// The main window hides instead of closing (WINOP hideonclose).
extern bool g_hide_on_close;

GtkWindow* window_for_id(webview_t w, const std::string& id);
WebKitWebView* webview_for_id(webview_t w, const std::string& id);
// "main" for the main window (tested first), else the registry id, else "".
std::string winid_for_window(GtkWindow* window);
// The same, searching the registry before testing the main window.
std::string winid_for_gtk_window(GtkWindow* window);
// The registry id of a web view; "main" for every other web view.
std::string kelo_winid_for_webview(WebKitWebView* view);

// The id of the window that has the keyboard focus; "main" when no window of the app has it.
std::string key_window_id();

bool is_panel(GtkWindow* window);
void panel_front(GtkWindow* window);
// Marks a window as a panel: a utility window that does not take focus when it is shown.
void make_panel(GtkWindow* window);

// Attaches a window opened hidden to the parent it named, at its first show.
void attach_pending_parent(webview_t w, const std::string& id);

// Hide-on-close and the children of the main window; called once the main window exists.
void install_main_window_hooks(webview_t w);

// Registers a secondary window around a new web view: the web view gets the launcher's
// settings, hooks and page bridge, the window its title (the id when empty), content size and
// close and state handling. The window is neither placed nor shown.
GtkWindow* add_secondary_window(const std::string& id, WebKitWebView* view,
                                const std::string& title, int width, int height, bool panel);

void do_winopen(webview_t w, std::unique_ptr<WinOpenReq> req);
void do_winclose(webview_t w, std::unique_ptr<std::string> id);
