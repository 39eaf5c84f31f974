"""Secondary windows opened by the backend, seen on the real X11 windows and from inside their
pages: WINOPEN and its fields, parents and children, closing and WINCLOSED, and the commands
that reach these windows (EVAL, RET, TITLE@, SIZE@)."""

import itertools
import json
import os
from collections import namedtuple

import pytest

from harness import STEP, WINDOW, wait_for

SKIP_STATES = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}

# Every page of these tests reports to the backend through the page bridge: once loaded and at
# every resize ("test.page", with its viewport), and whatever a script run by EVAL asks with
# kcall(method, params).
PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>%(tag)s</title>
<style>html, body { margin: 0; height: 100%%; overflow: hidden; background: #2a6f97; }</style>
<script>
function kcall(method, params) {
  return window.__invoke(JSON.stringify({method: method, params: params || {}}));
}
function report(kind) {
  kcall("test.page", {tag: "%(tag)s", kind: kind, w: window.innerWidth, h: window.innerHeight});
}
window.addEventListener("load", function () { report("load"); });
window.addEventListener("resize", function () { report("resize"); });
</script></head><body></body></html>
"""

# Run by EVAL in a page: asks the backend, then reports how the promise was settled.
ASK = ("kcall('test.ask').then("
       "function (v) { kcall('test.answer', {ok: true, v: v}); }, "
       "function (v) { kcall('test.answer', {ok: false, v: v}); })")

Call = namedtuple("Call", "index win number method params")


def parse_call(index, line):
    """A CALL line as a Call; None for any other line. `method` and `params` come from the
    page's payload when it is a JSON object, else they are None."""
    if not line.startswith("CALL "):
        return None
    head, _, rest = line[len("CALL "):].partition(" ")
    win, _, number = head.partition(":")
    try:
        payload = json.loads(json.loads(rest)[0])
    except (ValueError, IndexError, TypeError):
        payload = None
    if not isinstance(payload, dict):
        return Call(index, win, number, None, None)
    return Call(index, win, number, payload.get("method"), payload.get("params"))


def winopen(wid, url="", title="", size="", x="", y="", parent="", panel="", shown="",
            ignored=""):
    """A WINOPEN line with all 17 fields; the chrome fields stay empty."""
    fields = [wid, url, title, size, "", "", "", "", "", "", x, y, ignored, "", parent, panel,
              shown]
    return "WINOPEN " + "\t".join(fields)


class WinApp:
    """A development run whose main page is a reporting page, with helpers to open windows
    and to read the calls of their pages."""

    _marks = itertools.count(1)

    def __init__(self, app, x11, tmp):
        self.run, self.backend, self.win = app.run, app.backend, app.win
        self.x11, self.tmp = x11, tmp

    def page(self, tag):
        """The path of a reporting page that calls itself `tag`."""
        path = os.path.join(self.tmp, "%s.html" % tag)
        if not os.path.exists(path):
            with open(path, "w") as f:
                f.write(PAGE % {"tag": tag})
        return path

    def send(self, *lines):
        self.backend.send(*lines)

    def calls(self, win=None, method=None, start=0):
        found = []
        for i, line in enumerate(self.backend.lines[start:], start):
            call = parse_call(i, line)
            if call and (win is None or call.win == win) and (method is None
                                                               or call.method == method):
                found.append(call)
        return found

    def summary(self):
        """The lines received so far, shortened: calls as "win:n method"."""
        out = []
        for i, line in enumerate(self.backend.lines):
            call = parse_call(i, line)
            out.append("%s:%s %s" % (call.win, call.number, call.method) if call else line[:60])
        return out

    def wait_line(self, pred, what, start=0, timeout=WINDOW):
        """Waits for a received line (from index `start` on) for which pred(line) holds and
        returns its index. Fails early when the launcher ends."""
        def found():
            lines = self.backend.lines
            for i in range(start, len(lines)):
                if pred(lines[i]):
                    return i + 1
            if not self.run.running:
                raise AssertionError("launcher ended waiting for %s; lines: %r; %s"
                                     % (what, self.summary(), self.run.describe()))
            return None
        return wait_for(found, timeout, lambda: "%s; lines so far: %r"
                        % (what, self.summary())) - 1

    def wait_call(self, win, method, check=None, start=0, timeout=WINDOW):
        """The first call of window `win` with `method` (from line index `start` on) for
        which check(params) holds."""
        def pred(line):
            call = parse_call(0, line)
            return (call is not None and call.win == win and call.method == method
                    and (check is None or check(call.params)))
        index = self.wait_line(pred, "a call %s from window %r" % (method, win), start,
                               timeout)
        return parse_call(index, self.backend.lines[index])

    def loaded(self, win, start=0):
        """Waits for the page of window `win` to report its load; returns the call."""
        return self.wait_call(win, "test.page", lambda p: p["kind"] == "load", start)

    def sync(self, win="main"):
        """A round trip through the page of window `win`: every line sent before has been
        handled by the launcher once it returns. Returns the index of the answer."""
        mark = next(self._marks)
        self.send("EVAL@%s kcall('test.sync', {mark: %d})" % (win, mark))
        return self.wait_call(win, "test.sync", lambda p: p["mark"] == mark).index

    def window(self, title, timeout=WINDOW):
        """The launcher's viewable top-level window with this title."""
        return self.x11.wait_window(self.run, timeout, title)

    def closed(self):
        """The ids of the WINCLOSED lines so far, in order."""
        return [line[len("WINCLOSED "):] for line in self.backend.lines
                if line.startswith("WINCLOSED ")]

    def wait_closed(self, *ids):
        for wid in ids:
            self.wait_line(lambda line, wid=wid: line == "WINCLOSED " + wid,
                           "WINCLOSED %s" % wid, timeout=STEP)

    def wait_gone(self, *wins):
        ids = {w.id for w in wins}
        wait_for(lambda: not ids & {w.id for w in self.x11.client_windows(self.run.pid)},
                 STEP, lambda: "windows %r to go away" % sorted(ids))

    def window_ids(self):
        return {w.id for w in self.x11.client_windows(self.run.pid)}


@pytest.fixture
def app(dev_app, x11, tmp):
    """app() starts a development run whose main page reports, and waits for that page."""
    def start():
        a = WinApp(dev_app(os.path.join(tmp, "main.html")), x11, tmp)
        a.loaded("main")
        return a

    with open(os.path.join(tmp, "main.html"), "w") as f:
        f.write(PAGE % {"tag": "main"})
    return start


def at(x, y):
    return lambda r: (r.x, r.y) == (x, y)


def sized(width, height):
    return lambda r: (r.width, r.height) == (width, height)


def viewport(width, height):
    return lambda p: (p["w"], p["h"]) == (width, height)


# ---- opening ---------------------------------------------------------------------------------

def test_an_id_and_a_url_open_a_centred_600x400_window_titled_with_the_id(app, x11):
    a = app()
    a.send("WINOPEN side\t" + a.page("side"))
    win = a.window("side")
    area = x11.work_area()

    def centred(f):
        return (abs(f.x - (area.x + (area.width - f.width) / 2)) <= 3
                and abs(f.y - (area.y + (area.height - f.height) / 2)) <= 3)
    x11.wait_frame(win, centred, "a frame centred in %r" % (area,))

    # The page loads with the bridge and the client shim: its first calls are the shim's.
    a.wait_call("side", "test.page", viewport(600, 400))
    first = a.calls("side")[:2]
    assert [(c.number, c.method) for c in first] == [("1", "client.capabilities"),
                                                    ("2", "client.hello")]
    assert x11.is_viewable(win)


def test_every_field_of_winopen_applies_and_a_hidden_window_still_loads(app, x11):
    x11.watch_shown()
    a = app()
    a.send(winopen("full", a.page("full"), "Full — window ☕", "800x500", "137", "91",
                   parent="main", panel="1", shown="1", ignored="junk"),
           winopen("hid", a.page("hid"), "Hidden", "500x300", "40", "40", panel="1",
                   shown="0"))
    win = a.window("Full — window ☕")
    x11.wait_geometry(win, sized(800, 500), "an 800x500 content area")
    x11.wait_frame(win, at(137, 91), "the frame's top-left corner at 137,91")
    a.wait_call("full", "test.page", viewport(800, 500))
    # A panel: a utility window that stays out of the taskbar and the pager.
    assert "_NET_WM_WINDOW_TYPE_UTILITY" in x11.window_type(win)
    x11.wait_until(lambda: SKIP_STATES <= x11.wm_state(win),
                   lambda: "skip states (have %r)" % x11.wm_state(win))
    assert x11.transient_for(win) == a.win.id

    # The hidden window's page loads and calls all the same ...
    a.loaded("hid")
    assert [c.method for c in a.calls("hid")[:2]] == ["client.capabilities", "client.hello"]
    # ... but the window is never shown: a window opened after it shows, it does not.
    a.send(winopen("later", a.page("later")))
    later = a.window("later")
    assert set(x11.shown(a.run.pid)) <= {a.win.id, win.id, later.id}
    assert "Hidden" not in [x11.title(w) for w in x11.client_windows(a.run.pid)]
    assert a.run.running, a.run.describe()


def test_winopen_of_an_open_id_or_of_the_main_window_opens_nothing(app, x11, probe):
    a = app()
    main_title = x11.title(a.win)
    a.send(winopen("side", a.page("side"), "Side"))
    side = a.window("Side")
    a.wait_call("side", "test.page", viewport(600, 400))
    size = x11.geometry(side)[2:]
    n = len(a.backend.lines)

    # The same id again, then "main" and "": none of them opens a window or loads a page.
    a.send(winopen("side", probe.url, "Changed", "900x700"),
           winopen("main", probe.url, "Main changed"),
           winopen("", probe.url, "Empty id"))
    # A window opened afterwards has loaded its page: a load started before would have
    # asked the server by then.
    a.send(winopen("later", a.page("later")))
    later = a.window("later")
    a.loaded("later", n)
    a.sync()

    assert probe.requests() == []
    assert a.window_ids() == {a.win.id, side.id, later.id}

    assert (x11.title(side), x11.title(a.win)) == ("Side", main_title)
    assert x11.geometry(side)[2:] == size
    assert [c for c in a.calls(start=n) if c.method == "client.capabilities"
            and c.win != "later"] == []

    # Ids the wire could not name are refused; quotes and backslashes are fine.
    n = len(a.backend.lines)
    a.send(winopen("b x", probe.url), winopen("c:1", probe.url),
           winopen("q'x\\", a.page("quoted")))
    a.loaded("q'x\\", n)
    a.sync()
    assert probe.requests() == []
    assert a.run.messages.count("WINOPEN refused") == 2


# ---- parents and children ----------------------------------------------------------------------

def test_a_child_is_transient_for_its_parent_and_moves_with_it(app, x11):
    a = app()
    a.send("WINOP geom 1",
           winopen("side", a.page("side"), "Side", "400x300", "100", "100"),
           winopen("child", a.page("child"), "Child", "300x200", "300", "250", parent="side"),
           winopen("orphan", a.page("orphan"), "Orphan", "300x200", "700", "120",
                   parent="nosuch"))
    side, child, orphan = a.window("Side"), a.window("Child"), a.window("Orphan")
    x11.wait_frame(side, at(100, 100), "the parent at 100,100")
    x11.wait_frame(child, at(300, 250), "the child at 300,250")
    x11.wait_frame(orphan, at(700, 120), "the orphan at 700,120")
    assert x11.transient_for(child) == side.id
    # A person moves a window only once it is on screen for the app too: wait until the
    # launcher has seen both windows placed (their first geometry events).
    a.wait_line(lambda l: l == "WINGEOM side", "the parent's first geometry event")
    a.wait_line(lambda l: l == "WINGEOM child", "the child's first geometry event")
    # A parent id that names no window: the window opens on its own.
    assert x11.transient_for(orphan) is None
    assert x11.transient_for(side) is None

    x11.move_frame(side, 160, 140)
    x11.wait_frame(side, at(160, 140), "the parent moved to 160,140")
    x11.wait_frame(child, at(360, 290), "the child moved by the same delta")
    x11.move_frame(side, 130, 180)
    x11.wait_frame(side, at(130, 180), "the parent moved to 130,180")
    x11.wait_frame(child, at(330, 330), "the child moved by the same delta")

    assert x11.frame(orphan)[:2] == (700, 120)
    assert x11.transient_for(child) == side.id


@pytest.mark.parametrize("how", ["winclose", "user"])
def test_closing_a_parent_closes_its_children_each_reported_once(app, x11, how):
    a = app()
    a.send(winopen("side", a.page("side"), "Side", "400x300", "60", "60"),
           winopen("child", a.page("child"), "Child", "300x200", "200", "200", parent="side"),
           winopen("grand", a.page("grand"), "Grand", "200x150", "260", "260", parent="child"),
           winopen("child2", a.page("child2"), "Child 2", "300x200", "320", "320",
                   parent="side"),
           winopen("other", a.page("other"), "Other", "300x200", "700", "60"))
    side, child, grand = a.window("Side"), a.window("Child"), a.window("Grand")
    child2, other = a.window("Child 2"), a.window("Other")
    a.loaded("other")
    assert x11.transient_for(grand) == child.id

    if how == "winclose":
        # Neither the main window nor an unknown id can be closed this way.
        a.send("WINCLOSE main", "WINCLOSE nosuch", "WINCLOSE ")
        a.sync()
        a.send("WINCLOSE side")
        family = [side, child, grand, child2]
    else:
        # A child closed by the user goes alone ...
        x11.request_close(child2)
        a.wait_closed("child2")
        a.wait_gone(child2)
        a.sync()
        assert a.closed() == ["child2"]
        # ... its parent takes the other children along.
        x11.request_close(side)
        family = [side, child, grand]

    a.wait_closed("side", "child", "grand")
    a.wait_gone(*family)
    a.sync()
    a.sync("other")
    closed = a.closed()
    expected = ["side", "child", "grand", "child2"]
    assert sorted(closed) == sorted(expected), closed
    assert closed.index("side") < closed.index("child") < closed.index("grand")
    assert a.window_ids() == {a.win.id, other.id}
    assert x11.is_viewable(a.win) and x11.is_viewable(other)
    assert a.run.running, a.run.describe()


# ---- commands that reach secondary windows ---------------------------------------------------

def test_eval_reaches_the_windows_it_names_and_every_window_with_a_star(app):
    a = app()
    # Ids that differ only in case are different windows.
    ids = ["b", "a10", "Z9", "a2", "B"]
    a.send(*[winopen(wid, a.page("page-" + wid), "Win " + wid) for wid in ids])
    for wid in ids:
        a.loaded(wid)
    n = len(a.backend.lines)

    a.send("EVAL@a2 kcall('test.eval', {n: 1})",
           "EVAL@nosuch kcall('test.eval', {n: 1})",
           "EVAL@* kcall('test.eval', {n: 2})",
           "EVAL@B kcall('test.eval', {n: 3})")
    # Each page runs its scripts in order, so once every window has answered the last
    # round trip, whatever reached it has been answered.
    for wid in ["main"] + ids:
        a.sync(wid)
    evals = a.calls(method="test.eval", start=n)
    assert [c.win for c in evals if c.params["n"] == 1] == ["a2"]
    assert sorted(c.win for c in evals if c.params["n"] == 2) == sorted(["main"] + ids)
    assert [c.win for c in evals if c.params["n"] == 3] == ["B"]


def test_title_and_size_for_a_window_change_that_window_only(app, x11):
    a = app()
    main_title = x11.title(a.win)
    a.send(winopen("side", a.page("side"), "", "", "50", "50"),
           winopen("other", a.page("other"), "", "", "700", "50"))
    side, other = a.window("side"), a.window("other")
    a.wait_call("side", "test.page", viewport(600, 400))
    a.wait_call("other", "test.page", viewport(600, 400))
    x11.wait_frame(side, at(50, 50), "the window at 50,50")
    other_frame = x11.wait_frame(other, at(700, 50), "the other window at 700,50")
    other_size = x11.geometry(other)[2:]
    n = len(a.backend.lines)

    a.send("TITLE@side Side — renamed ☕", "SIZE@side 500 300")
    x11.wait_title(side, "Side — renamed ☕")
    a.wait_call("side", "test.page", viewport(500, 300), n)
    # The top-left corner stays where it was.
    assert x11.frame(side)[:2] == (50, 50)

    # A width alone: the height reads as 400.
    a.send("SIZE@side 800")
    a.wait_call("side", "test.page", viewport(800, 400), n)

    a.sync("other")
    assert (x11.title(other), x11.title(a.win)) == ("other", main_title)
    assert x11.frame(other) == other_frame
    assert x11.geometry(other)[2:] == other_size
    assert [c.params for c in a.calls("other", "test.page", n)] == []


def test_ret_settles_the_call_of_its_window_and_is_dropped_once_the_window_is_gone(app):
    a = app()
    a.send(winopen("side", a.page("side")))
    a.loaded("side")

    a.send("EVAL@side " + ASK)
    ask = a.wait_call("side", "test.ask")
    # The same call number for the main window does not reach the side window's page.
    a.send('RET main:%s 0 {"from":"main"}' % ask.number,
           'RET side:%s 0 {"from":"side","list":[1,"two"]}' % ask.number)
    answer = a.wait_call("side", "test.answer")
    assert answer.params == {"ok": True, "v": {"from": "side", "list": [1, "two"]}}

    # A call still pending when its window closes: its answer, and anything else sent to
    # that window, goes nowhere.
    a.send("EVAL@side " + ASK)
    ask = a.wait_call("side", "test.ask", start=answer.index + 1)
    a.send("WINCLOSE side")
    a.wait_closed("side")
    a.send('RET side:%s 0 {"late":true}' % ask.number, "EVAL@side " + ASK,
           "TITLE@side Gone", "SIZE@side 500 300")
    a.sync()
    assert a.calls("side", start=ask.index + 1) == []
    assert a.closed() == ["side"]
    assert a.run.running, a.run.describe()


def test_a_closed_id_can_be_opened_again_at_once(app, x11):
    a = app()
    a.send(winopen("side", a.page("first"), "First"))
    first = a.window("First")
    a.loaded("side")
    n = len(a.backend.lines)

    a.send("WINCLOSE side", winopen("side", a.page("second"), "Second"))
    second = a.window("Second")
    a.wait_closed("side")
    a.wait_gone(first)
    # A new window with a new page, whose calls start again at 1.
    load = a.loaded("side", n)
    assert load.params["tag"] == "second"
    assert [(c.number, c.method) for c in a.calls("side", start=n)][:1] == [
        ("1", "client.capabilities")]

    # The id names the new window: commands reach it, and it closes on its own.
    a.send("TITLE@side Second renamed")
    x11.wait_title(second, "Second renamed")
    a.sync()
    assert a.closed() == ["side"]
    a.send("WINCLOSE side")
    a.wait_gone(second)
    a.sync()
    assert a.closed() == ["side", "side"]


# ---- robustness ------------------------------------------------------------------------------

def test_winopen_with_odd_fields_opens_what_it_can_and_the_launcher_keeps_working(app, x11, tmp):
    a = app()
    page = a.page("odd")
    a.send(winopen("huge", page, "Huge", "99999x99999"),
           winopen("negative", page, "Negative", "-5x-5"),
           winopen("wide", page, "Wide", "800"),
           winopen("junk", page, "Junk", "axb"),
           "WINOPEN nourl",
           winopen("missing", os.path.join(tmp, "no-such-page.html"), "Missing"),
           winopen("refused", "http://127.0.0.1:1/", "Refused"))
    a.backend.send_raw(b"WINOPEN badtitle\t" + page.encode() + b"\tbad \xff\xfe title\n")

    # A width alone keeps the default height; a size that reads as nothing keeps both.
    a.wait_call("wide", "test.page", viewport(800, 400))
    a.wait_call("junk", "test.page", viewport(600, 400))
    for wid in ("negative", "wide", "junk", "badtitle"):
        a.loaded(wid)
    for title in ("Huge", "Negative", "nourl", "Missing", "Refused"):
        a.window(title)
    # The title is made valid text.
    bad = [w for w in x11.client_windows(a.run.pid)
           if (x11.title(w) or "").startswith("bad ")]
    assert len(bad) == 1
    raw = bad[0].get_full_property(x11.atom("_NET_WM_NAME"), x11.atom("UTF8_STRING")).value
    assert raw.decode("utf-8").startswith("bad ")

    a.sync()
    a.sync("wide")
    assert a.run.running, a.run.describe()
    a.send("QUIT")
    assert a.run.wait_exit(STEP) == 0


def test_a_window_larger_than_the_screen_is_kept_on_it_and_loads_its_page(app, x11):
    a = app()
    a.send(winopen("huge", a.page("huge"), "Huge", "99999x99999"))
    win = a.window("Huge")
    area = x11.work_area()
    load = a.loaded("huge")
    assert load.params["w"] <= area.width and load.params["h"] <= area.height, load.params
    assert x11.geometry(win).width == load.params["w"]
