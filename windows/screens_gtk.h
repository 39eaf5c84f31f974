// Screens, window state events and system events on GTK/X11.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows/screens.h"

typedef struct _GtkWindow GtkWindow;

extern bool g_geom_events;  // WINGEOM while on (WINOP geom 1)
extern bool g_rescue_on;    // move unreachable windows back after screen changes (WINOP rescue)

// The root position of the primary screen's top-left corner, where wire coordinates start.
void wire_origin(int& x, int& y);
// Moves the window's frame (north-west gravity) so its top-left corner is at this wire point.
void move_to_wire_point(GtkWindow* window, int x, int y);
// The screens, primary first, in wire coordinates.
std::vector<ScreenInfo> current_screens();
// The GDK monitor number of a display id, or -1.
int monitor_number(uint32_t display_id);
// The window's frame and content rectangle in wire coordinates.
Rect window_frame(GtkWindow* window);
Rect window_content(GtkWindow* window);
// Index into screens of the window's screen: the one it overlaps most, else the primary.
int screen_of_window(const std::vector<ScreenInfo>& screens, GtkWindow* window);
// Moves a window that cannot be reached on any screen onto the nearest one.
void rescue_offscreen(GtkWindow* window);

// State and geometry events of one window (the main window and every secondary window).
void install_winstate_observers(GtkWindow* window);
// Forgets the last state sent for a closed window.
void forget_winstate(const std::string& id);
// Screen changes: one "SYS screens" per burst, then the rescue pass.
void install_screen_observers();
// The desktop prefers dark colours.
bool theme_is_dark();
// The locale record's facts now; system_locale is localed's Locale property (null without it).
typedef struct _GVariant GVariant;
struct LocaleInfo;
LocaleInfo current_locale(GVariant* system_locale);
// Theme, locale, sleep and wake, and screen changes; sends the theme once at once.
void install_system_observers();
