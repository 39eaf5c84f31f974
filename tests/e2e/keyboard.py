"""The keyboard of the test desktop, pressed through XTest, and the dialogs it answers."""

import subprocess

from Xlib import X, XK
from Xlib.ext import xtest

from harness import STEP, WINDOW, wait_for


def keycode(x11, name):
    """The key code of a keysym name ("k", "Control_L", "F12")."""
    return x11.d.keysym_to_keycode(XK.string_to_keysym(name))


def press(x11, *names):
    """Presses the keys in order and releases them in reverse, as one combination."""
    codes = [keycode(x11, n) for n in names]
    for code in codes:
        xtest.fake_input(x11.d, X.KeyPress, code)
    for code in reversed(codes):
        xtest.fake_input(x11.d, X.KeyRelease, code)
    x11.d.sync()


def xdotool(desktop, *args):
    """Runs xdotool in the test desktop (it types text of any characters)."""
    subprocess.run(["xdotool"] + list(args), env=desktop.child_env(), check=True, timeout=STEP)


def active(x11):
    value = x11._prop(x11.root, "_NET_ACTIVE_WINDOW")
    return value[0] if value is not None and len(value) else None


def wait_dialog(x11, app, title, timeout=WINDOW):
    """Waits for a shown window of `app` titled `title`, other than its main window, that has
    the keyboard focus."""
    def check():
        for win in x11.client_windows(app.run.pid):
            if (win.id != app.win.id and x11.title(win) == title and x11.is_viewable(win) and
                    active(x11) == win.id):
                return win
        return None
    return wait_for(check, timeout, lambda: "a focused dialog titled %r; windows %r" % (
        title, [x11.title(w) for w in x11.client_windows(app.run.pid)]))


def wait_gone(x11, win, timeout=STEP):
    wait_for(lambda: not x11.is_viewable(win), timeout, "the dialog to close")
