"""Window state, geometry and system events as the backend receives them: WINSTATE lines that
follow focus, maximising, full screen and iconifying; WINGEOM while switched on; "SYS screens"
after a burst of monitor changes and the rescue of windows left off every monitor; WINOP
onscreen; hide-on-close and the end of the app; a window opened hidden and shown later; the
theme reported at start.

The window manager is asked to act as a pager or the user would (EWMH client messages). Where a
test shows that something does NOT happen, a later line or X event that must come after it
proves that the launcher has got that far.
"""

import itertools
import json
import re
import time

import pytest

import desktop as test_desktop
from harness import STEP, WINDOW

STATE_LINE = re.compile(r'WINSTATE (\S+) (\{"fullscreen":(?:true|false),'
                        r'"maximized":(?:true|false),"minimized":(?:true|false),'
                        r'"focused":(?:true|false),"screenId":\d+\})')

# Openbox keeps a tenth of a window in view whatever it is asked; a window this small is
# then left with less than 24 x 24 of it on any monitor.
SMALL = (120, 80)


def winopen(wid, url, title="", size="", pos=None, parent="", shown=""):
    """A WINOPEN line: fields by position, tab separated."""
    fields = [""] * 17
    fields[0], fields[1], fields[2], fields[3] = wid, url, title, size
    if pos is not None:
        fields[10], fields[11] = str(pos[0]), str(pos[1])
    fields[14], fields[16] = parent, shown
    return "WINOPEN " + "\t".join(fields)


_markers = itertools.count(1)
_sockets = itertools.count(1)


class Wire:
    """The backend's view of one launcher: its lines, read as window states and markers."""

    def __init__(self, backend, run):
        self.backend = backend
        self.run = run

    def send(self, *lines):
        try:
            self.backend.send(*lines)
        except OSError as exc:
            raise AssertionError("could not send %r (%s); %s" % (
                lines, exc, self.run.describe())) from None

    @property
    def mark(self):
        """Index of the next line to arrive."""
        return len(self.backend.lines)

    @property
    def lines(self):
        return self.backend.lines

    def wait(self, match, start=0, timeout=STEP):
        """Index of the first line from `start` on that matches (a prefix or a predicate)."""
        pred = match if callable(match) else (lambda line: line.startswith(match))
        try:
            self.backend.wait_line(pred, timeout, start)
        except AssertionError as exc:
            raise AssertionError("%s\n%s" % (_short(exc), self._context())) from None
        return next(i for i, line in enumerate(self.lines) if i >= start and pred(line))

    def marker(self):
        """Sends a line the launcher answers after everything sent before it; returns the
        index of the answer."""
        n = next(_markers)
        start = self.mark
        self.send("RET q%d 0 {}" % n)
        return self.wait("GOT %d {}" % n, start)

    def get(self, key):
        """The JSON value of a GET answer."""
        n = next(_markers)
        start = self.mark
        self.send("GET g%d %s" % (n, key))
        index = self.wait("GOT g%d " % n, start)
        return json.loads(self.lines[index].split(" ", 2)[2])

    def states(self, wid, start=0, end=None):
        """The state objects of window `wid` in lines[start:end], in order."""
        found = []
        for line in self.lines[start:end]:
            if line.startswith("WINSTATE "):
                m = STATE_LINE.fullmatch(line)
                assert m, "malformed state line: %r" % line
                if m.group(1) == wid:
                    found.append(json.loads(m.group(2)))
        return found

    def wait_state(self, wid, start=0, timeout=STEP, **want):
        """The first state of `wid` from line `start` on with the wanted members: (index,
        state)."""
        def match(line):
            m = STATE_LINE.fullmatch(line)
            if not m or m.group(1) != wid:
                return False
            state = json.loads(m.group(2))
            return all(state[k] == v for k, v in want.items())
        try:
            index = self.wait(match, start, timeout)
        except AssertionError:
            raise AssertionError("no state of %r with %r; its states: %r\n%s" % (
                wid, want, self.states(wid, start), self._context())) from None
        return index, json.loads(STATE_LINE.fullmatch(self.lines[index]).group(2))

    def _context(self):
        seen = "\n".join(line[:200] for line in self.lines if not line.startswith("CALL "))
        return "lines other than CALL:\n%s%s" % (
            seen, "" if self.run.running else "\n" + self.run.describe())


def _short(exc):
    return str(exc).split("; lines so far")[0]


@pytest.fixture
def app(launch, backend, x11, page):
    """app(*extra, env=None, unset=(), url=None) starts a development run (on the test page
    unless a url is given) and waits until its main window is shown and focused. Returns
    (Wire, main window)."""
    def start(*extra, env=None, unset=(), url=None):
        b = backend("wire-%d.sock" % next(_sockets))
        run = launch(url or page, b.path, *extra, env=env, unset=unset)
        b.wait_connected(WINDOW, run)
        win = x11.wait_window(run)
        wire = Wire(b, run)
        wire.wait_state("main", focused=True, timeout=WINDOW)
        return wire, win
    return start


def open_window(wire, x11, line, title):
    """Sends a WINOPEN line and waits for its window, titled `title`."""
    wire.send(line)
    return x11.wait_window(wire.run, title=title)


def assert_no_repeats(wire, wid, start=0, end=None):
    """No state of `wid` in lines[start:end] is written twice in a row."""
    states = wire.states(wid, start, end)
    repeats = [s for a, s in zip(states, states[1:]) if a == s]
    assert not repeats, "state of %r written twice in a row: %r" % (wid, repeats)


# ---- window state ----------------------------------------------------------------------------

def test_state_lines_follow_the_focus_and_start_afresh_for_a_reopened_window(app, x11, page):
    wire, main = app()
    outputs = x11.outputs()
    assert len(outputs) == 1, outputs
    first = wire.states("main")[0]
    assert first == dict(first, fullscreen=False, maximized=False, minimized=False,
                         screenId=list(outputs.values())[0]), first

    mark = wire.mark
    open_window(wire, x11, winopen("side", page, "Side", "400x300"), "Side")
    wire.wait_state("side", mark, focused=True)
    wire.wait_state("main", mark, focused=False)

    mark = wire.mark
    x11.activate(main)
    wire.wait_state("main", mark, focused=True)
    last, = wire.states("side", mark)
    assert last == dict(first, focused=False), last

    # A closed window's last state is forgotten: the same id reopened reports its first state
    # even when it equals the last one written for the old window. Shown without focus, the
    # new window's first state is exactly that; focusing it afterwards is the later event
    # that has to find the first one written before it.
    wire.send("WINCLOSE side")
    closed = wire.wait("WINCLOSED side", mark)
    mark = wire.mark
    wire.send(winopen("side", page, "Side again", "400x300", shown="0"), "WINOP@side show 0")
    again = x11.wait_window(wire.run, title="Side again")
    x11.activate(again)
    index, _ = wire.wait_state("side", mark, focused=True)
    assert wire.states("side", mark, index) == [last]
    assert_no_repeats(wire, "main")
    assert_no_repeats(wire, "side", 0, closed)
    assert_no_repeats(wire, "side", closed)


def test_state_lines_follow_maximising_full_screen_and_iconifying(app, x11):
    wire, main = app()
    mark = wire.mark
    x11.set_state(main, True, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ")
    wire.wait_state("main", mark, maximized=True, fullscreen=False, minimized=False)

    # Full screen over a maximised window is full screen only; back from it, maximised again.
    mark = wire.mark
    x11.set_state(main, True, "_NET_WM_STATE_FULLSCREEN")
    wire.wait_state("main", mark, fullscreen=True, maximized=False)

    mark = wire.mark
    x11.set_state(main, False, "_NET_WM_STATE_FULLSCREEN")
    wire.wait_state("main", mark, fullscreen=False, maximized=True)

    mark = wire.mark
    x11.iconify(main)
    wire.wait_state("main", mark, minimized=True)
    assert_no_repeats(wire, "main")


def test_geometry_lines_only_while_switched_on_and_moves_change_no_state(app, x11, page):
    wire, main = app()
    side = open_window(wire, x11, winopen("side", page, "Side", "400x300", pos=(700, 500)),
                       "Side")
    wire.wait_state("side", focused=True)

    # Off by default. A focus change that the window manager makes after the move is the
    # later event: its state line comes after anything the move caused.
    mark = wire.mark
    x11.move_frame(main, 100, 100)
    x11.wait_frame(main, lambda r: (r.x, r.y) == (100, 100), "the main window at 100,100")
    x11.activate(main)
    wire.wait_state("main", mark, focused=True)
    assert not [l for l in wire.lines[mark:] if l.startswith("WINGEOM")]

    wire.send("WINOP geom 1")
    mark = wire.marker()
    x11.move_frame(main, 160, 120)
    moved = wire.wait("WINGEOM main", mark)
    # The same monitor, the same state: nothing to say.
    assert wire.states("main", mark, moved) == []
    end = wire.marker()
    assert wire.states("main", mark, end) == []
    assert x11.frame(main)[:2] == (160, 120)

    mark = wire.mark
    x11.move_frame(side, 600, 400, 500, 350)
    wire.wait("WINGEOM side", mark)
    x11.wait_geometry(side, lambda r: r[2:] == (500, 350), "the side window at 500x350")

    wire.send("WINOP geom 0")
    mark = wire.marker()
    x11.move_frame(main, 220, 140)
    x11.wait_frame(main, lambda r: (r.x, r.y) == (220, 140), "the main window at 220,140")
    x11.activate(side)
    wire.wait_state("side", mark, focused=True)
    assert not [l for l in wire.lines[mark:] if l.startswith("WINGEOM")]


# ---- bringing windows back into view ---------------------------------------------------------

def test_onscreen_brings_back_an_unreachable_window_and_leaves_a_reachable_one(app, x11, page):
    wire, main = app()
    size = "%dx%d" % SMALL
    far = open_window(wire, x11, winopen("far", page, "Far", size, pos=(100, 100)), "Far")
    corner = open_window(wire, x11, winopen("corner", page, "Corner", size, pos=(300, 100)),
                         "Corner")
    strip = open_window(wire, x11, winopen("strip", page, "Strip", size, pos=(500, 100)),
                        "Strip")
    screen = x11.root.get_geometry()
    sw, sh = screen.width, screen.height
    # As far out as the window manager lets a window go; 30 x 30 of one corner in view; a
    # 20 x 30 strip in view.
    x11.move_frame(far, sw + 3000, sh + 3000)
    x11.move_frame(corner, sw - 30, sh - 30)
    x11.move_frame(strip, sw - 20, sh - 30)
    fw, fh = x11.wait_frame(corner, lambda r: (r.x, r.y) == (sw - 30, sh - 30),
                            "the corner window at the bottom-right corner")[2:]
    x11.wait_frame(strip, lambda r: (r.x, r.y) == (sw - 20, sh - 30),
                   "the strip window at the bottom-right corner")
    before = x11.wait_frame(far, lambda r: r.x >= sw - 24 and r.y >= sh - 24,
                            "the far window out of view")

    wire.send("WINOP@corner onscreen", "WINOP@far onscreen", "WINOP@strip onscreen")
    for win in (far, strip):
        # Nearest place inside the work area, the size kept.
        x11.wait_frame(win, lambda r: r == (sw - fw, sh - fh, fw, fh),
                       "the window moved into the bottom-right corner of the screen")
    assert before[2:] == (fw, fh)
    wire.marker()
    x11.wm_sync()
    assert x11.frame(corner) == (sw - 30, sh - 30, fw, fh)


# ---- closing the main window -----------------------------------------------------------------

def close_to_hide(wire, x11, main):
    """Closes the main window as the user does and checks that it is only hidden."""
    x11.close_window(main)
    x11.wait_until(lambda: not x11.is_viewable(main), "the main window to go out of view")
    wire.marker()
    assert wire.run.running and x11.geometry(main) is not None, wire.run.describe()


def test_closing_the_main_window_hides_it_while_hide_on_close_is_on(app, x11, page):
    wire, main = app()
    open_window(wire, x11, winopen("side", page, "Side", "300x200"), "Side")

    wire.send("WINOP hideonclose 1")
    wire.marker()
    close_to_hide(wire, x11, main)
    wire.send("WINOP show")
    x11.wait_until(lambda: x11.is_viewable(main), "the main window to be shown again")

    # The setting names a window only to exist: an unknown id changes nothing, any known one
    # sets it for the main window.
    wire.send("WINOP@nosuch hideonclose 0")
    wire.marker()
    close_to_hide(wire, x11, main)
    wire.send("WINOP show")
    x11.wait_until(lambda: x11.is_viewable(main), "the main window to be shown once more")

    wire.send("WINOP@side hideonclose 0")
    wire.marker()
    x11.close_window(main)
    assert wire.run.wait_exit(STEP) == 0
    wire.backend.wait_eof()


def test_closing_the_main_window_ends_the_app(app, x11, page):
    wire, main = app()
    open_window(wire, x11, winopen("side", page, "Side", "300x200"), "Side")
    x11.close_window(main)
    assert wire.run.wait_exit(STEP) == 0
    wire.backend.wait_eof()


# ---- a window opened hidden ------------------------------------------------------------------

def test_a_window_opened_hidden_is_shown_later_attached_to_its_parent(app, x11, page):
    wire, main = app()
    x11.watch_shown()
    wire.send(winopen("kid", page, "Kid", "300x200", pos=(200, 200), parent="main", shown="0"))
    # Opened after it and shown at once: once this one is in view, the first would be too.
    witness = open_window(wire, x11, winopen("witness", page, "Witness", "300x200"), "Witness")
    assert x11.shown(wire.run.pid) == [witness.id]
    assert [x11.title(w) for w in x11.client_windows(wire.run.pid)
            if x11.title(w) == "Kid"] == []

    wire.send("WINOP@kid show")
    kid = x11.wait_window(wire.run, title="Kid")
    assert x11.transient_for(kid) == main.id
    wire.wait_state("kid", focused=True)

    # It moves with its parent.
    start, kid_start = x11.frame(main), x11.frame(kid)
    x11.move_frame(main, start.x + 40, start.y + 30)
    x11.wait_frame(main, lambda r: (r.x, r.y) == (start.x + 40, start.y + 30),
                   "the main window moved by 40,30")
    x11.wait_frame(kid, lambda r: (r.x, r.y) == (kid_start.x + 40, kid_start.y + 30),
                   "the child moved by 40,30 with its parent")

    # Two windows that name each other: the attachment closing the loop is refused, and
    # moving either does not set them chasing each other.
    wire.send(winopen("a", page, "A", "300x200", pos=(300, 300), parent="b", shown="0"),
              winopen("b", page, "B", "300x200", pos=(700, 300), parent="a"), "WINOP@a show")
    a, b = x11.wait_window(wire.run, title="A"), x11.wait_window(wire.run, title="B")
    assert x11.transient_for(b) == a.id and x11.transient_for(a) is None
    x11.move_frame(b, 720, 320)
    x11.wait_frame(b, lambda r: (r.x, r.y) == (720, 320), "B moved")
    wire.marker()
    assert "cannot follow b, which already follows it" in wire.run.messages


# ---- theme -----------------------------------------------------------------------------------

@pytest.mark.parametrize("theme, env", [
    ("light", None),
    ("dark", {"GTK_THEME": "Adwaita:dark"}),
])
def test_the_theme_is_reported_once_at_start(app, theme, env):
    wire, _ = app(env=env, unset=() if env else ("GTK_THEME",))
    end = wire.marker()
    assert [l for l in wire.lines[:end] if l.startswith("SYS theme")] == ["SYS theme " + theme]


# ---- monitors coming and going ---------------------------------------------------------------

class TestMonitors:
    """On a desktop whose monitors are switched on and off at run time (DUMMY0 is the primary,
    1920 x 1080; DUMMY1 goes to its right)."""

    @pytest.fixture(scope="class")
    def desktop(self):
        d = test_desktop.Desktop(server="xorg-dummy").start()
        try:
            for mode in ("1280x1024", "1024x768"):
                d.xrandr("--addmode", "DUMMY1", mode)
            yield d
        finally:
            d.stop()

    @pytest.fixture(autouse=True)
    def one_monitor(self, desktop, x11):
        """Every test starts with DUMMY0 alone."""
        desktop.xrandr("--output", "DUMMY1", "--off")
        x11.wait_until(lambda: list(x11.monitors()) == ["DUMMY0"], "DUMMY0 alone")

    def second_monitor(self, desktop, x11, mode="1280x1024"):
        desktop.xrandr("--output", "DUMMY1", "--mode", mode, "--right-of", "DUMMY0")
        x11.wait_until(lambda: "DUMMY1" in x11.monitors(), "DUMMY1 to be on")

    def test_a_burst_of_monitor_changes_is_reported_once_after_it_settles(self, desktop, app,
                                                                          x11):
        wire, main = app()
        mark = wire.marker()
        self.second_monitor(desktop, x11)
        # The second change of the burst comes 200 ms after the first (a stimulus, not a wait).
        time.sleep(0.2)
        second = time.monotonic()  # the change cannot reach the launcher any earlier
        desktop.xrandr("--output", "DUMMY1", "--mode", "1024x768")
        x11.wait_until(lambda: x11.monitors()["DUMMY1"][2:] == (1024, 768), "DUMMY1 at 1024x768")

        index = wire.wait("SYS screens", mark)
        delay = wire.backend.arrival(index) - second
        assert delay >= 0.4, "SYS screens came %.3f s after the last change" % delay
        end = wire.marker()
        assert wire.lines[mark:end].count("SYS screens") == 1, wire.lines[mark:end]
        _, state = wire.wait_state("main")
        assert state["screenId"] == x11.outputs()["DUMMY0"]

    def test_a_window_left_off_every_monitor_is_brought_back(self, desktop, app, x11, page):
        self.second_monitor(desktop, x11)
        outputs = x11.outputs()
        wire, main = app()
        mark = wire.mark
        win = open_window(wire, x11, winopen("side", page, "Side", "%dx%d" % SMALL,
                                             pos=(1920 + 200, 100)), "Side")
        start = x11.wait_frame(win, lambda r: (r.x, r.y) == (2120, 100), "the window on DUMMY1")
        wire.wait_state("side", mark, screenId=outputs["DUMMY1"])

        mark = wire.mark
        desktop.xrandr("--output", "DUMMY1", "--off")
        wire.wait("SYS screens", mark)
        # At the right edge of DUMMY0 (the nearest work area), at the same height and size.
        x11.wait_frame(win, lambda r: r == (1920 - start.width, 100, start.width, start.height),
                       "the window moved into DUMMY0's right edge")
        wire.wait_state("side", mark, screenId=outputs["DUMMY0"])

    def test_with_rescue_off_a_window_stays_off_every_monitor(self, desktop, app, x11, page):
        self.second_monitor(desktop, x11)
        wire, main = app()
        wire.send("WINOP rescue 0")
        win = open_window(wire, x11, winopen("side", page, "Side", "%dx%d" % SMALL,
                                             pos=(1920 + 200, 100)), "Side")
        start = x11.wait_frame(win, lambda r: (r.x, r.y) == (2120, 100), "the window on DUMMY1")

        mark = wire.mark
        desktop.xrandr("--output", "DUMMY1", "--off")
        wire.wait("SYS screens", mark)
        wire.marker()
        x11.wm_sync()
        # Wherever the window manager left it: still less than 24 wide in view, same size.
        now = x11.frame(win)
        assert now.x > 1920 - 24 and now[2:] == start[2:], now

        # Asked for, the rescue still happens.
        wire.send("WINOP@side onscreen")
        x11.wait_frame(win, lambda r: r == (1920 - start.width, now.y, start.width, start.height),
                       "the window moved into DUMMY0's right edge")
