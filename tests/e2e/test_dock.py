"""The app's taskbar presence and paper output: BADGE, PROGRESS, ATTENTION and APPICON seen in
the window icons, on the window manager's hints and by a dock on the session bus; GET
debug:icon; PRINT's dialog and PDF files."""

import itertools
import json
import os

import pytest
from Xlib import X, Xutil

from fakes.launcher_entry import LauncherEntryListener
from harness import STEP, WINDOW
from test_settings import _write_png as write_png

GREEN, RED = (0x00, 0xc0, 0x00), (0xff, 0x00, 0x00)
_ids = itertools.count(1)


def ask(backend, line):
    """Sends a command with a fresh request id in place of "{id}"; returns its decoded answer."""
    rid = "d%d" % next(_ids)
    backend.send(line.format(id=rid))
    return json.loads(backend.wait_line("GOT %s " % rid, timeout=WINDOW).split(" ", 2)[2])


def rgb(icon, x, y):
    p = icon[2][y * icon[0] + x]
    return (p >> 16 & 255, p >> 8 & 255, p & 255)


def wait_icon(x11, win, check, what):
    return x11.wait_until(lambda: next((i for i in x11.icons(win) if check(i)), None), what)


@pytest.fixture
def dock(desktop):
    with LauncherEntryListener(desktop.child_env()) as fake:
        yield fake


def test_badge_progress_and_icon_reach_the_windows_and_the_dock(dev_app, x11, tmp, dock):
    green, red = os.path.join(tmp, "green.png"), os.path.join(tmp, "red.png")
    write_png(green, 20, 20, GREEN)
    write_png(red, 40, 30, RED)
    app = dev_app(None, env={"KELOJS_ICON": green})
    b = app.backend
    assert ask(b, "GET {id} debug:icon") == {"set": True, "width": 20, "height": 20,
                                              "hasDevDefault": True, "env": green}

    b.send("PROGRESS 0.5", "BADGE 7")
    _, uri, entry = dock.wait_entry(lambda u, p: p.get("count") == 7 and p.get("progress") == 0.5)
    assert entry["count-visible"] and entry["progress-visible"] and not entry["urgent"]
    assert uri == "application://kelojs-launcher.desktop"  # the program's desktop entry
    tile = wait_icon(x11, app.win, lambda i: i[:2] == (128, 128), "the tile")
    # The icon; the bar's filled half; its empty half, dark over the icon; the badge's circle.
    assert rgb(tile, 64, 40) == GREEN and rgb(tile, 30, 112) == (0x35, 0x84, 0xe4)
    assert rgb(tile, 100, 112)[0] < 10 and 40 < rgb(tile, 100, 112)[1] < 120
    assert rgb(tile, 82, 26)[0] > 200 and rgb(tile, 82, 26)[1] < 60

    # Text that is not a number shows in the tile only; a new window gets the tile too.
    b.send("BADGE 3 new", "WINOPEN side")
    dock.wait_entry(lambda u, p: not p["count-visible"] and p["progress-visible"])
    side = x11.wait_window(app.run, title="side")
    wait_icon(x11, side, lambda i: i[:2] == (128, 128), "the tile on the new window")

    # Without bar and badge the windows show the icon itself again.
    b.send("PROGRESS", "BADGE")
    dock.wait_entry(lambda u, p: not p["progress-visible"] and not p["count-visible"])
    for win in (app.win, side):
        wait_icon(x11, win, lambda i: i == (20, 20, [0xff00c000] * 400), "the plain green icon")

    # A file that is not an image changes nothing; APPICON alone restores the default.
    for line, size in (("APPICON " + red, (40, 30)), ("APPICON " + green + ".missing", (40, 30)),
                       ("APPICON " + tmp, (40, 30)), ("APPICON", (20, 20))):
        b.send(line)
        info = ask(b, "GET {id} debug:icon")
        assert (info["set"], info["width"], info["height"]) == (True,) + size, line
        wait_icon(x11, app.win, lambda i: i[:2] == size, "a %dx%d icon after %s" % (size + (line,)))


def test_appicon_alone_without_a_default_restores_the_toolkit_icon(dev_app, x11, tmp):
    write_png(os.path.join(tmp, "red.png"), 40, 30, RED)
    app = dev_app(None)
    own = x11.icons(app.win)  # what the toolkit shows for an app without an icon
    app.backend.send("APPICON " + os.path.join(tmp, "red.png"))
    wait_icon(x11, app.win, lambda i: i[:2] == (40, 30), "the red icon")
    app.backend.send("APPICON")
    x11.wait_until(lambda: x11.icons(app.win) == own, "the toolkit's icon again")
    assert ask(app.backend, "GET {id} debug:icon") == {
        "set": False, "width": 0, "height": 0, "hasDevDefault": False, "env": ""}


def test_attention_marks_the_windows_urgent_until_focus_or_time_out(dev_app, x11, dock):
    app = dev_app(None)
    # Another app's window; it goes with the test's X connection.
    other = x11.root.create_window(0, 0, 200, 200, 0, X.CopyFromParent)

    def urgent():
        hints = app.win.get_wm_hints()
        return bool(hints and hints.flags & Xutil.UrgencyHint)

    def to_front(win, focused):
        x11.activate(win)
        x11.wait_until(lambda: ask(app.backend, "GET {id} win")["focused"] == focused, "focus")

    to_front(app.win, True)
    app.backend.send("ATTENTION 1")  # in front, a request does nothing
    assert ask(app.backend, "GET {id} windows") == ["main"] and not urgent()

    other.map()
    to_front(other, False)
    app.backend.send("ATTENTION 1")
    x11.wait_until(urgent, "the urgency hint")
    i, _, _ = dock.wait_entry(lambda u, p: p["urgent"])
    to_front(app.win, True)
    x11.wait_until(lambda: not urgent(), "the urgency hint to end with focus")
    i, _, _ = dock.wait_entry(lambda u, p: not p["urgent"], i)

    to_front(other, False)
    app.backend.send("ATTENTION")
    i, _, _ = dock.wait_entry(lambda u, p: p["urgent"], i)
    dock.wait_entry(lambda u, p: not p["urgent"], i, STEP * 2)  # ends by itself
    x11.wait_until(lambda: not urgent(), "the urgency hint to end")


def test_pdf_files_and_their_failures(dev_app, tmp):
    app = dev_app(None)
    b = app.backend
    out = os.path.join(tmp, "page one.pdf")
    assert ask(b, "PDF {id} " + out) == {"ok": True, "path": out, "error": None}
    with open(out, "rb") as f:
        assert f.read(5) == b"%PDF-"

    b.send("WINOPEN side")
    side = os.path.join(tmp, "side.pdf")
    assert ask(b, "PDF@side {id} " + side)["ok"] and os.path.getsize(side) > 0
    assert ask(b, "PDF@nope {id} " + side) == {"ok": False, "error": "no webview"}
    assert ask(b, "PDF {id} %s/no/such/dir/x.pdf" % tmp) == {
        "ok": False, "error": "No such file or directory"}
    assert ask(b, "PDF {id} " + tmp) == {"ok": False, "error": "Is a directory"}
    assert not [n for n in os.listdir(tmp) if ".kelojs-" in n]


def test_print_dialog_is_modal_for_its_window_and_the_wire_flows(dev_app, x11):
    app = dev_app(None)

    def new_windows(known):
        return [w for w in x11.client_windows(app.run.pid) if w.id not in known]

    def open_dialog(line, parent):
        known = {w.id for w in x11.client_windows(app.run.pid)}
        app.backend.send(line)
        dialog = x11.wait_until(lambda: (new_windows(known) or [None])[0], "a print dialog")
        x11.wait_title(dialog, "Print")
        assert x11.transient_for(dialog) == parent.id
        assert "_NET_WM_STATE_MODAL" in x11.wm_state(dialog)
        return dialog, known

    dialog, known = open_dialog("PRINT", app.win)
    app.backend.send("PRINT")  # one dialog per window
    assert ask(app.backend, "GET {id} windows") == ["main"] and len(new_windows(known)) == 1
    x11.close_window(dialog)
    x11.wait_until(lambda: not new_windows(known), "the dialog to close")

    # A window that closes takes its dialog along.
    app.backend.send("WINOPEN side")
    side = x11.wait_window(app.run, title="side")
    dialog, _ = open_dialog("PRINT@side", side)
    app.backend.send("WINCLOSE side")
    x11.wait_until(lambda: not x11.is_viewable(dialog), "the dialog to close with its window")
    assert ask(app.backend, "GET {id} windows") == ["main"]
