// A hot key is a passive grab of its key on the root window, made once for each combination of
// the lock modifiers; its presses reach a GDK filter on the root window. Keystrokes are XTest
// key events, which go wherever the keyboard focus is.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <set>
#include <utility>
#include <vector>

#include "menus/hotkeys_x11.h"
#include "menus/keys.h"
#include "platform/x11_props.h"
#include "wire/link.h"

namespace {

// The modifier bit a key with this keysym sets on this keyboard; 0 when none does.
uint32_t modifier_of(Display* dpy, KeySym sym) {
  KeyCode code = XKeysymToKeycode(dpy, sym);
  XModifierKeymap* map = XGetModifierMapping(dpy);
  uint32_t mask = 0;
  for (int i = 0; code && i < 8 * map->max_keypermod; ++i) {
    if (map->modifiermap[i] == code) {
      mask = 1u << (i / map->max_keypermod);
      break;
    }
  }
  XFreeModifiermap(map);
  return mask;
}

const std::vector<uint32_t>& locks(Display* dpy) {
  static const std::vector<uint32_t> variants =
      lock_variants(modifier_of(dpy, XK_Num_Lock), modifier_of(dpy, XK_Scroll_Lock));
  return variants;
}

HotkeyTable& table() {
  static HotkeyTable t;
  return t;
}

// Keys of hot keys held down now: a held key's auto-repeat fires nothing.
std::set<unsigned> g_held;

GdkFilterReturn on_root_event(GdkXEvent* xevent, GdkEvent*, gpointer) {
  auto* ev = static_cast<XEvent*>(xevent);
  if (ev->type == KeyRelease && g_held.erase(ev->xkey.keycode)) return GDK_FILTER_REMOVE;
  if (ev->type != KeyPress) return GDK_FILTER_CONTINUE;
  const std::string* name = table().fired(static_cast<int>(ev->xkey.keycode), ev->xkey.state);
  if (!name) return GDK_FILTER_CONTINUE;
  if (g_held.insert(ev->xkey.keycode).second) sock_write_line("HOTKEY " + *name);
  return GDK_FILTER_REMOVE;
}

class XHotkeys final : public HotkeySystem {
 public:
  XHotkeys() : dpy_(kelo_x_display()) {}

  int keycode(uint32_t keysym) override { return dpy_ ? XKeysymToKeycode(dpy_, keysym) : 0; }

  bool grab(const KeyGrab& key) override {
    if (!dpy_) return false;
    static bool filtering = false;
    if (!std::exchange(filtering, true)) {
      gdk_window_add_filter(gdk_get_default_root_window(), on_root_event, nullptr);
    }
    XErrorTrap trap;
    for (uint32_t lock : locks(dpy_)) {
      XGrabKey(dpy_, key.keycode, key.mods | lock, DefaultRootWindow(dpy_), False, GrabModeAsync,
               GrabModeAsync);
    }
    if (!trap.failed()) return true;
    ungrab(key);  // the variants that were granted before the refusal
    return false;
  }

  void ungrab(const KeyGrab& key) override {
    if (!dpy_) return;
    XErrorTrap trap;
    for (uint32_t lock : locks(dpy_))
      XUngrabKey(dpy_, key.keycode, key.mods | lock, DefaultRootWindow(dpy_));
  }

 private:
  Display* dpy_;
};

}  // namespace

void do_hotkey(webview_t, std::unique_ptr<HotkeyReq> req) {
  XHotkeys system;
  if (auto answer = table().apply(*req, system)) send_reply(req->request_id, *answer);
}

void do_keystroke(webview_t, std::unique_ptr<KeystrokeReq> req) {
  Display* dpy = kelo_x_display();
  bool trusted = dpy && has_xtest(dpy);
  Combo combo = read_combo(req->combination);
  long sym = combo.valid ? keysym_for(combo.key) : -1;
  // Every key of the combination must be on the keyboard, or nothing is typed.
  std::vector<KeyCode> keys;
  bool typable = trusted && sym >= 0;
  if (typable) {
    for (uint32_t mod : modifier_keysyms(combo))
      keys.push_back(XKeysymToKeycode(dpy, mod));
    keys.push_back(XKeysymToKeycode(dpy, static_cast<KeySym>(sym)));
    for (KeyCode k : keys)
      typable = typable && k != 0;
  }
  if (typable) {
    for (KeyCode k : keys)
      XTestFakeKeyEvent(dpy, k, True, CurrentTime);
    for (auto k = keys.rbegin(); k != keys.rend(); ++k)
      XTestFakeKeyEvent(dpy, *k, False, CurrentTime);
    XFlush(dpy);
  }
  send_reply(req->request_id, keystroke_answer(typable, trusted));
}
