"""Global hot keys (HKREG, HKUNREG, HOTKEY), synthetic keystrokes (KEYSTROKE) and the inspector
key of debug mode, with keys pressed through XTest."""

from Xlib import X, XK, error as xerror, display as xdisplay
from Xlib.ext import xtest

from harness import STEP, WINDOW, wait_for
from servicekit import got

CTRL_ALT = X.ControlMask | X.Mod1Mask


def answer(b, line):
    b.send(line)
    return got(b, line.split(" ")[1])


def keycode(x11, name):
    return x11.d.keysym_to_keycode(XK.string_to_keysym(name))


def press(x11, *names):
    """Presses the keys in order and releases them in reverse."""
    codes = [keycode(x11, n) for n in names]
    for kind, code in [(X.KeyPress, c) for c in codes] + [(X.KeyRelease, c) for c in codes[::-1]]:
        xtest.fake_input(x11.d, kind, code)
    x11.d.sync()


def grab_free(x11, key, mods):
    """Whether nobody holds the key: this test's own X client can grab it (and lets it go)."""
    catch = xerror.CatchError(xerror.BadAccess)
    x11.root.grab_key(keycode(x11, key), mods, False, X.GrabModeAsync, X.GrabModeAsync,
                      onerror=catch)
    x11.d.sync()
    x11.root.ungrab_key(keycode(x11, key), mods)
    x11.d.sync()
    return not catch.get_error()


def test_hot_keys_fire_and_refusals_and_re_registrations_hold(dev_app, x11):
    app = dev_app()
    b = app.backend
    assert answer(b, "HKREG 1 open\tctrl+alt+k") == {"ok": True}
    assert answer(b, "HKREG 2 other\tcmd+opt+l") == {"ok": True}
    press(x11, "Control_L", "Alt_L", "k")
    b.wait_line("HOTKEY open")
    n = len(b.lines)  # with Caps Lock on too
    press(x11, "Caps_Lock")
    press(x11, "Control_L", "Alt_L", "l")
    press(x11, "Caps_Lock")
    b.wait_line("HOTKEY other", start=n)

    # A key another client holds is refused, and said so on stderr.
    x11.root.grab_key(keycode(x11, "j"), X.Mod1Mask, False, X.GrabModeAsync, X.GrabModeAsync)
    x11.d.sync()
    assert answer(b, "HKREG 3 taken\talt+j") == {
        "ok": False, "error": "the system refused it (already taken?)"}
    assert ('kelojs: hotkey "alt+j" not registered: the system refused it (already taken?)'
            in app.run.messages)

    # Re-registration lets the old key go; HKUNREG lets the new one go.
    assert answer(b, "HKREG 4 open\tctrl+alt+m") == {"ok": True}
    assert grab_free(x11, "k", CTRL_ALT)
    n = len(b.lines)
    press(x11, "Control_L", "Alt_L", "m")
    b.wait_line("HOTKEY open", start=n)
    b.send("HKUNREG open")
    wait_for(lambda: grab_free(x11, "m", CTRL_ALT), STEP, "the hot key to be let go")

    # Thousands of silent registrations, most of them refused, and the wire still answers.
    b.send(*["HKREG  n%d\tctrl+alt+shift+%s" % (i, chr(97 + i % 26)) for i in range(3000)])
    assert answer(b, "HKREG 5 last\tf5") == {"ok": True}


def test_keystroke_types_into_the_focused_window_of_another_client(dev_app, x11, desktop):
    app = dev_app()
    other = xdisplay.Display(desktop.display)
    win = other.screen().root.create_window(0, 0, 200, 100, 0, X.CopyFromParent,
                                            event_mask=X.KeyPressMask)
    win.map()
    other.sync()
    wait_for(lambda: x11.is_viewable(x11.d.create_resource_object("window", win.id)), WINDOW,
             "the other client's window")
    win.set_input_focus(X.RevertToParent, X.CurrentTime)
    other.sync()
    wait_for(lambda: x11.d.get_input_focus().focus.id == win.id, STEP, "the focus")
    assert answer(app.backend, "KEYSTROKE k1 shift+a") == {"ok": True, "trusted": True}
    presses = []

    def typed():
        while other.pending_events():
            ev = other.next_event()
            if ev.type == X.KeyPress:
                presses.append((ev.detail, ev.state & X.ShiftMask))
        return (keycode(x11, "a"), X.ShiftMask) in presses
    wait_for(typed, STEP, lambda: "shift+a typed (presses %r)" % presses)
    assert presses[0] == (keycode(x11, "Shift_L"), 0)
    other.close()
    assert answer(app.backend, "KEYSTROKE k2 cmd+foo") == {"ok": False, "trusted": True}


def test_f12_opens_the_inspector_in_debug_mode(dev_app, x11):
    app = dev_app(None, env={"KELOJS_DEBUG": "1"})
    x11.activate(app.win)
    x11.wait_until(lambda: x11._prop(x11.root, "_NET_ACTIVE_WINDOW")[0] == app.win.id, "focus")
    press(x11, "F12")
    wait_for(lambda: len([w for w in x11.client_windows(app.run.pid) if x11.is_viewable(w)]) > 1,
             WINDOW, "the inspector's window")
