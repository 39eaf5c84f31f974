"""Global hot keys (HKREG, HKUNREG, HOTKEY), synthetic keystrokes (KEYSTROKE) and the inspector
key of debug mode, with keys pressed through XTest."""

import json

from Xlib import X, error as xerror, display as xdisplay

from harness import STEP, WINDOW, wait_for
from keyboard import active, keycode, press

CTRL_ALT = X.ControlMask | X.Mod1Mask
REFUSED = {"ok": False, "error": "the system refused it (already taken?)"}


def answer(b, line):
    rid = line.split(" ")[1]
    n = len(b.lines)
    b.send(line)
    return json.loads(b.wait_line("GOT %s " % rid, start=n).split(" ", 2)[2])


def grab_free(x11, key, mods):
    """Whether this test's own X client can grab the key on the root window (and so nobody
    else holds it); the grab is released again."""
    catch = xerror.CatchError(xerror.BadAccess)
    x11.root.grab_key(keycode(x11, key), mods, False, X.GrabModeAsync, X.GrabModeAsync,
                      onerror=catch)
    x11.d.sync()
    if catch.get_error():
        return False
    x11.root.ungrab_key(keycode(x11, key), mods)
    x11.d.sync()
    return True


def test_hot_keys_fire_and_refusals_and_re_registrations_hold(dev_app, x11):
    app = dev_app()
    b = app.backend
    assert answer(b, "HKREG 1 open\tctrl+alt+k") == {"ok": True}
    assert answer(b, "HKREG 2 other\tcmd+opt+l") == {"ok": True}
    press(x11, "Control_L", "Alt_L", "k")
    b.wait_line("HOTKEY open")
    # With Caps Lock on too.
    press(x11, "Caps_Lock")
    n = len(b.lines)
    press(x11, "Control_L", "Alt_L", "l")
    press(x11, "Caps_Lock")
    b.wait_line("HOTKEY other", start=n)

    # A key another client holds is refused, and said so on stderr.
    x11.root.grab_key(keycode(x11, "j"), X.Mod1Mask, False, X.GrabModeAsync, X.GrabModeAsync)
    x11.d.sync()
    assert answer(b, "HKREG 3 taken\talt+j") == REFUSED
    assert ('kelojs: hotkey "alt+j" not registered: the system refused it (already taken?)'
            in app.run.messages)
    # So is one of this app's own keys under a second name; the first keeps it.
    assert answer(b, "HKREG 4 again\tctrl+alt+k") == REFUSED
    assert answer(b, "HKREG 5 bad\tcmd+foo") == {"ok": False, "error": "unknown key"}

    # Re-registration lets the old key go; HKUNREG lets the new one go.
    assert answer(b, "HKREG 6 open\tctrl+alt+m") == {"ok": True}
    assert grab_free(x11, "k", CTRL_ALT)
    n = len(b.lines)
    press(x11, "Control_L", "Alt_L", "m")
    b.wait_line("HOTKEY open", start=n)
    b.send("HKUNREG open")
    wait_for(lambda: grab_free(x11, "m", CTRL_ALT), STEP, "the hot key to be let go")

    # Thousands of silent registrations, most of them refused, and the wire still answers.
    b.send(*["HKREG  n%d\tctrl+alt+shift+%s" % (i, chr(97 + i % 26)) for i in range(3000)])
    assert answer(b, "HKREG 7 last\tf5") == {"ok": True}


def test_keystroke_types_into_the_focused_window_of_another_client(dev_app, x11, desktop):
    app = dev_app()
    other = xdisplay.Display(desktop.display)
    try:
        win = other.screen().root.create_window(
            0, 0, 200, 100, 0, X.CopyFromParent,
            event_mask=X.KeyPressMask | X.KeyReleaseMask | X.FocusChangeMask)
        win.map()
        other.sync()
        wait_for(lambda: x11.is_viewable(x11.d.create_resource_object("window", win.id)),
                 WINDOW, "the other client's window")
        win.set_input_focus(X.RevertToParent, X.CurrentTime)
        other.sync()
        wait_for(lambda: active(x11) == win.id or
                 x11.d.get_input_focus().focus.id == win.id, STEP, "the focus")
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
    finally:
        other.close()
    assert answer(app.backend, "KEYSTROKE k2 cmd+foo") == {"ok": False, "trusted": True}


def test_f12_opens_the_inspector_in_debug_mode(dev_app, x11):
    app = dev_app(None, env={"KELOJS_DEBUG": "1"})
    x11.activate(app.win)
    wait_for(lambda: active(x11) == app.win.id, STEP, "the main window to have the focus")
    press(x11, "F12")
    wait_for(lambda: len([w for w in x11.client_windows(app.run.pid) if x11.is_viewable(w)]) > 1,
             WINDOW, "the inspector's window")
