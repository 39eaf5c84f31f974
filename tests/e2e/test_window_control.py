"""The app as a whole (hide, show, taskbar presence, windowless forms), window moves and
resizes from a press in progress (DRAGWIN, RESIZEWIN), and another client's window moved
through the window manager (WINCTRL)."""

import os
import subprocess
import sys

import pytest

from harness import STEP, WINDOW, wait_for
from test_state import app, open_window, winopen  # noqa: F401 (app is a fixture)

SKIP = "_NET_WM_STATE_SKIP_TASKBAR"


def wait_viewable(x11, win, viewable, what):
    x11.wait_until(lambda: x11.is_viewable(win) == viewable, what)


def test_hide_on_the_main_window_hides_the_app_and_show_brings_back_what_was_shown(
        app, x11, page):
    wire, main = app()
    side = open_window(wire, x11, winopen("side", page, "Side", "300x200"), "Side")
    hidden = open_window(wire, x11, winopen("kept", page, "Kept", "300x200"), "Kept")
    wire.send("WINOP@kept hidewin")
    wait_viewable(x11, hidden, False, "kept hidden")

    wire.send("WINOP hide")
    wait_viewable(x11, main, False, "main hidden")
    wait_viewable(x11, side, False, "side hidden with the app")

    wire.send("WINOP show")
    wait_viewable(x11, main, True, "main back")
    wait_viewable(x11, side, True, "side back")
    wire.marker()
    assert not x11.is_viewable(hidden), "a window hidden before the app was shown again"

    # hidewin and a secondary window's hide concern that window only.
    wire.send("WINOP hidewin")
    wait_viewable(x11, main, False, "main hidden alone")
    wire.send("WINOP@side hide")
    wait_viewable(x11, side, False, "side hidden")
    wire.send("WINOP show 0")
    wait_viewable(x11, main, True, "main shown without activation")
    wire.marker()
    assert not x11.is_viewable(side)


def test_presence_takes_every_window_out_of_the_taskbar_and_back(app, x11, page):
    wire, main = app()
    side = open_window(wire, x11, winopen("side", page, "Side", "300x200"), "Side")
    assert SKIP not in x11.wm_state(main)
    wire.send("WINOP presence 0")
    for win in (main, side):
        x11.wait_until(lambda w=win: SKIP in x11.wm_state(w), "no taskbar entry")
    # Only the main window speaks for the app.
    wire.send("WINOP@side presence 1")
    wire.marker()
    x11.wm_sync()
    assert SKIP in x11.wm_state(main)
    wire.send("WINOP presence 1")
    for win in (main, side):
        x11.wait_until(lambda w=win: SKIP not in x11.wm_state(w), "taskbar entry back")


def test_without_a_main_window_winop_speaks_to_the_app(launch, backend, x11, page):
    b = backend()
    run = launch(page, b.path, env={"KELOJS_NO_MAIN_WINDOW": "1"})
    b.wait_connected(WINDOW, run)
    b.send(winopen("side", page, "Side", "300x200", pos=(20, 30)))
    side = x11.wait_window(run, title="Side")
    b.send("WINOP hide")
    wait_viewable(x11, side, False, "the app's window hidden")
    b.send("WINOP show")
    wait_viewable(x11, side, True, "the app's window back")
    x11.wait_frame(side, lambda f: (f.x, f.y) == (20, 30), "the window where it was")
    # "center" has no window to act on; the taskbar change after it shows it was handled.
    b.send("WINOP center", "WINOP presence 0")
    x11.wait_until(lambda: SKIP in x11.wm_state(side), "no taskbar entry")
    x11.wm_sync()
    assert (x11.frame(side).x, x11.frame(side).y) == (20, 30), "center moved a window"


def report_presses(wire):
    """Makes the page report each mousedown; a page answers DRAGWIN and RESIZEWIN only after
    it has seen the press, so the tests wait for that report too."""
    wire.wait(lambda line: line.startswith("CALL ") and "client.hello" in line, 0, WINDOW)
    start = wire.mark
    wire.send("EVAL document.addEventListener('mousedown', function () {"
              " window.__invoke(JSON.stringify({method: 'test.down', params: {}})); }, true);"
              " window.__invoke(JSON.stringify({method: 'test.armed', params: {}}));")
    wire.wait(lambda line: line.startswith("CALL ") and "test.armed" in line, start)


def press_in(wire, x11, win, dx=60, dy=40):
    """Presses the left button at (dx, dy) inside the window's client area and waits until the
    page has seen it."""
    g = x11.geometry(win)
    start = wire.mark
    x11.pointer_to(g.x + dx, g.y + dy)
    x11.press()
    wire.wait(lambda line: line.startswith("CALL ") and "test.down" in line, start)
    return g.x + dx, g.y + dy


def assert_ignored_without_button(wire, x11, win, line, pointer):
    """With the button up, `line` leaves the window where it is as the pointer moves."""
    before = x11.frame(win)
    wire.send(line)
    wire.marker()
    x11.pointer_to(*pointer)
    x11.wm_sync()
    assert x11.frame(win) == before


def test_dragwin_moves_the_window_while_the_button_is_held(app, x11):
    wire, main = app()
    report_presses(wire)
    wire.send("WINOP pos 100 100")
    start = x11.wait_frame(main, lambda f: (f.x, f.y) == (100, 100), "frame at 100,100")
    x, y = press_in(wire, x11, main)
    try:
        wire.send("DRAGWIN")
        wire.marker()
        for step in range(1, 6):
            x11.pointer_to(x + 20 * step, y + 12 * step)
        x11.wait_frame(main, lambda f: (f.x, f.y) == (start.x + 100, start.y + 60),
                       "frame dragged by 100,60")
    finally:
        x11.release()

    # Once the button is up, DRAGWIN does nothing.
    assert_ignored_without_button(wire, x11, main, "DRAGWIN", (x + 300, y + 200))


def test_resizewin_follows_the_pointer_and_keeps_the_opposite_edges(app, x11):
    wire, main = app()
    report_presses(wire)
    wire.send("WINOP pos 200 150")
    x11.wait_frame(main, lambda f: (f.x, f.y) == (200, 150), "frame at 200,150")
    start = x11.geometry(main)
    x, y = press_in(wire, x11, main)
    try:
        wire.send("RESIZEWIN se")
        wire.marker()
        x11.pointer_to(x + 50, y + 30)
        x11.wait_geometry(main, lambda g: (g.width, g.height) == (start.width + 50,
                                                                   start.height + 30),
                          "content grown by 50x30")
    finally:
        x11.release()
    grown = x11.geometry(main)
    assert (grown.x, grown.y) == (start.x, start.y)

    # North-west, dragged far past the other corner: the frame stops at 120 x 80 and the
    # bottom-right corner stays.
    frame = x11.frame(main)
    right, bottom = frame.x + frame.width, frame.y + frame.height
    x, y = press_in(wire, x11, main)
    try:
        wire.send("RESIZEWIN nw")
        wire.marker()
        x11.pointer_to(x + 2000, y + 2000)
        x11.wait_frame(main, lambda f: (f.width, f.height) == (120, 80)
                       and (f.x + f.width, f.y + f.height) == (right, bottom),
                       "frame at its 120x80 minimum, bottom-right corner kept")
    finally:
        x11.release()

    # Without the button held nothing happens.
    assert_ignored_without_button(wire, x11, main, "RESIZEWIN se", (x + 100, y + 100))


CLIENT = r"""
import os, sys
from Xlib import X, display
d = display.Display()
w = d.screen().root.create_window(10, 10, 200, 150, 0, X.CopyFromParent,
                                  event_mask=X.StructureNotifyMask)
w.set_wm_name("other")
w.change_property(d.intern_atom("_NET_WM_PID"), d.intern_atom("CARDINAL"), 32, [os.getpid()])
w.map()
d.sync()
print("ready", flush=True)
sys.stdin.read()
"""


@pytest.fixture
def other_client(desktop):
    proc = subprocess.Popen([sys.executable, "-c", CLIENT], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, text=True,
                            env=dict(os.environ, DISPLAY=desktop.display))
    assert proc.stdout.readline().strip() == "ready"
    yield proc
    proc.stdin.close()
    proc.wait(timeout=STEP)


def test_winctrl_moves_and_sizes_another_clients_window(app, x11, other_client):
    wire, _ = app()
    win = wait_for(lambda: (x11.client_windows(other_client.pid) or [None])[0], STEP,
                   "the other client's window to be managed")
    wire.send("WINCTRL 7 %d\t300\t220\t400\t260" % other_client.pid)
    wire.wait("GOT 7 {\"ok\":true,\"error\":null}")
    x11.wait_frame(win, lambda f: f == (300, 220, 400, 260), "frame at 300,220 400x260")

    wire.send("WINCTRL 8 999999\t0\t0\t10\t10", "WINCTRL 9 ", "WINCTRL 10")
    wire.wait("GOT 8 {\"ok\":false,\"error\":\"no movable window\"}")
    wire.wait("GOT 9 {\"ok\":false,\"error\":\"no movable window\"}")
