"""WINOP window operations on the real X11 window: placing, iconifying, maximising, full
screen, levels, click-through, minimum and device-pixel sizes, page zoom.

No reply is ever written for WINOP; where a test shows that a command changes nothing, the
answer to a later marker line proves the launcher has handled it.
"""


import pytest
from Xlib import Xatom
from Xlib.ext import shape

from conftest import two_monitors
from harness import STEP, WINDOW, wait_for
from test_state import app, open_window, winopen  # noqa: F401 (app is a fixture)



def origin(x11):
    """Root position of the primary monitor's top-left corner: where wire coordinates
    start."""
    monitors = x11.root.xrandr_get_monitors().monitors
    if not monitors:
        return 0, 0
    m = next((m for m in monitors if m.primary), monitors[0])
    return m.x, m.y


def primary_output(x11):
    """The RandR output id (the display id of the wire) of the primary monitor."""
    x, y = origin(x11)
    res = x11.root.xrandr_get_screen_resources()
    for output in res.outputs:
        info = x11.d.xrandr_get_output_info(output, res.config_timestamp)
        if not info.crtc:
            continue
        crtc = x11.d.xrandr_get_crtc_info(info.crtc, res.config_timestamp)
        if (crtc.x, crtc.y) == (x, y):
            return output
    pytest.skip("no RandR output drives the primary monitor")


def near(a, b, slack=1):
    return abs(a - b) <= slack


def test_pos_and_spos_place_the_frame_and_center_centres_it(app, x11):
    wire, win = app()
    ox, oy = origin(x11)
    wire.send("WINOP pos 30 40")
    x11.wait_frame(win, lambda f: (f.x, f.y) == (ox + 30, oy + 40), "frame at 30,40")

    area = x11.work_area()
    wire.send("WINOP center")
    x11.wait_frame(win, lambda f: near(f.x + f.width / 2, area.x + area.width / 2)
                   and near(f.y + f.height / 2, area.y + area.height / 2),
                   "frame centred in %r" % (area,))

    display = primary_output(x11)
    wire.send("WINOP spos %d 50 60 px" % display)
    x11.wait_frame(win, lambda f: (f.x, f.y) == (ox + 50, oy + 60), "frame at 50,60")

    # Unknown displays and half-read positions move nothing.
    before = x11.frame(win)
    wire.send("WINOP spos %d 200 200" % (display + 1000), "WINOP spos %d 200" % display,
              "WINOP pos 200", "WINOP spos %d nan 5" % display)
    wire.marker()
    x11.wm_sync()
    assert x11.frame(win) == before


def test_hidden_windows_answer_their_coming_geometry_and_keep_their_placements(app, x11, page,
                                                                              launch, backend):
    wire, main = app()
    ox, oy = origin(x11)
    area = x11.work_area()
    wire.send(winopen("hid", page, "Hid", "500x300", shown="0"),
              winopen("cen", page, "Cen", "400x200", (10, 10), shown="0"))
    coming = wire.get("win:hid")
    assert (coming["width"], coming["height"], coming["visible"]) == (500, 300, False)
    # The window (the menu bar above the page included) is centred.
    outer = coming["outer"]
    assert near(coming["x"] + ox + outer["width"] / 2, area.x + area.width / 2, 2)
    assert near(coming["y"] + oy + outer["height"] / 2, area.y + area.height / 2, 2)
    assert coming["screenId"] == primary_output(x11)

    # Placed while hidden, each shows where it was placed, not centred.
    wire.send("WINOP@hid pos 100 120", "WINOP@cen center", "WINOP@cen pos 300 320",
              "WINOP@hid show", "WINOP@cen show")
    for title, x, y in (("Hid", 100, 120), ("Cen", 300, 320)):
        win = x11.wait_window(wire.run, title=title)
        x11.wait_frame(win, lambda f, x=x, y=y: (f.x, f.y) == (ox + x, oy + y),
                       "%s at %d,%d" % (title, x, y))

    # The main window under deferred show: its saved place, then shown.
    b = backend("deferred.sock")
    run = launch(page, b.path, env={"KELOJS_DEFER_SHOW": "1"})
    b.wait_connected(WINDOW, run)
    b.send("WINOP pos 140 90", "WINOP show")
    win = x11.wait_window(run)
    x11.wait_frame(win, lambda f: (f.x, f.y) == (ox + 140, oy + 90), "deferred main at 140,90")


def test_minimize_restore_and_zoom(app, x11):
    wire, win = app()
    mark = wire.mark
    wire.send("WINOP minimize")
    mark, _ = wire.wait_state("main", mark, minimized=True)
    x11.wait_until(lambda: "_NET_WM_STATE_HIDDEN" in x11.wm_state(win), "window hidden")
    wire.send("WINOP restore")
    mark, _ = wire.wait_state("main", mark, minimized=False)
    x11.wait_until(lambda: "_NET_WM_STATE_HIDDEN" not in x11.wm_state(win), "window shown")

    wire.send("WINOP zoom")
    mark, _ = wire.wait_state("main", mark, maximized=True)
    wire.send("WINOP zoom")
    wire.wait_state("main", mark, maximized=False)


def test_fullscreen_toggles_and_the_switch_acts_only_on_a_change(app, x11):
    wire, win = app()
    mark = wire.mark
    wire.send("WINOP fullscreen")
    mark, _ = wire.wait_state("main", mark, fullscreen=True)
    x11.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" in x11.wm_state(win), "full screen")

    # Already in full screen: "fullscreen 1" must not toggle it off.
    wire.send("WINOP fullscreen 1")
    end = wire.marker()
    x11.wm_sync()
    assert "_NET_WM_STATE_FULLSCREEN" in x11.wm_state(win)
    assert all(s["fullscreen"] for s in wire.states("main", mark, end))

    wire.send("WINOP fullscreen 0")
    mark, _ = wire.wait_state("main", end, fullscreen=False)
    wire.send("WINOP fullscreen 0")
    end = wire.marker()
    x11.wm_sync()
    assert "_NET_WM_STATE_FULLSCREEN" not in x11.wm_state(win)
    assert not any(s["fullscreen"] for s in wire.states("main", mark, end))

    wire.send("WINOP fullscreen")
    mark, _ = wire.wait_state("main", end, fullscreen=True)
    wire.send("WINOP fullscreen")
    wire.wait_state("main", mark, fullscreen=False)


def test_fsscreen_enters_full_screen_on_the_named_display(app, x11):
    wire, win = app()
    display = primary_output(x11)
    mark = wire.mark
    wire.send("WINOP fsscreen %d" % (display + 1000))
    end = wire.marker()
    assert not any(s["fullscreen"] for s in wire.states("main", mark, end))

    wire.send("WINOP fsscreen %d" % display)
    mark, state = wire.wait_state("main", end, fullscreen=True)
    assert state["screenId"] == display
    # Already in full screen there: nothing changes.
    wire.send("WINOP fsscreen %d" % display)
    end = wire.marker()
    x11.wm_sync()
    assert all(s["fullscreen"] for s in wire.states("main", mark, end))
    assert "_NET_WM_STATE_FULLSCREEN" in x11.wm_state(win)


def test_ontop_levels_and_click_through(app, x11):
    wire, win = app()

    def state_is(*want, absent=()):
        x11.wait_until(lambda: set(want) <= x11.wm_state(win)
                       and not set(absent) & x11.wm_state(win),
                       lambda: "state with %r without %r (it is %r)" % (
                           want, absent, x11.wm_state(win)))

    wire.send("WINOP ontop 1")
    state_is("_NET_WM_STATE_ABOVE")
    wire.send("WINOP ontop 0")
    state_is(absent=("_NET_WM_STATE_ABOVE",))

    skip = ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER")
    wire.send("WINOP level overlay")
    state_is("_NET_WM_STATE_ABOVE", *skip)
    wire.send("WINOP level normal")
    state_is(absent=("_NET_WM_STATE_ABOVE", "_NET_WM_STATE_BELOW") + skip)
    wire.send("WINOP level desktop")
    state_is("_NET_WM_STATE_BELOW", *skip, absent=("_NET_WM_STATE_ABOVE",))
    wire.send("WINOP level floating")
    state_is("_NET_WM_STATE_ABOVE", absent=("_NET_WM_STATE_BELOW",) + skip)
    wire.send("WINOP level normal")
    state_is(absent=("_NET_WM_STATE_ABOVE",))

    def input_rects():
        return win.shape_get_rectangles(shape.SK.Input).rectangles

    assert input_rects()
    wire.send("WINOP clickthrough 1")
    x11.wait_until(lambda: not input_rects(), "an empty input shape")
    state_is(*skip)
    wire.send("WINOP clickthrough 0")
    x11.wait_until(lambda: input_rects(), "the input shape back")
    state_is(absent=skip)


def test_allspaces_sticks_the_window_to_every_desktop(app, x11):
    wire, win = app()

    def desktop():
        value = win.get_full_property(x11.atom("_NET_WM_DESKTOP"), Xatom.CARDINAL)
        return value.value[0] if value else None

    wire.send("WINOP allspaces 1")
    x11.wait_until(lambda: desktop() == 0xFFFFFFFF, "on all desktops")
    assert wire.get("win")["allSpaces"] is True
    wire.send("WINOP allspaces 0")
    x11.wait_until(lambda: desktop() not in (None, 0xFFFFFFFF), "on one desktop")
    assert wire.get("win")["allSpaces"] is False


def test_minsize_grows_the_window_with_its_top_left_corner_fixed(app, x11):
    wire, _ = app()
    win = open_window(wire, x11, winopen("side", "about:blank", "Side", "600x400", (100, 80)),
                      "Side")
    x11.wait_geometry(win, lambda r: r.width == 600, "600 wide")
    corner = x11.frame(win)[:2]
    page = wire.get("win:side")
    bar = x11.geometry(win).height - page["height"]  # the menu bar above the page
    assert (page["width"], page["height"], 0 < bar < 60) == (600, 400, True)

    wire.send("WINOP@side minsize 800x600")
    x11.wait_geometry(win, lambda r: (r.width, r.height) == (800, 600 + bar), "grown to 800x600")
    assert x11.frame(win)[:2] == corner
    hints = win.get_wm_normal_hints()
    assert (hints.min_width, hints.min_height) == (800, 600 + bar)

    # A smaller minimum only changes the hint; bad sizes change nothing.
    wire.send("WINOP@side minsize 0x300", "WINOP@side minsize 300", "WINOP@side minsize 500x300")
    x11.wait_until(lambda: (win.get_wm_normal_hints().min_width,
                            win.get_wm_normal_hints().min_height) == (500, 300 + bar),
                   "minimum 500x300")
    wire.marker()
    x11.wm_sync()
    geo = x11.geometry(win)
    assert (geo.width, geo.height) == (800, 600 + bar)


def test_resizable_switch_reaches_the_size_hints(app, x11):
    wire, _ = app()
    win = open_window(wire, x11, winopen("side", "about:blank", "Side", "600x400"), "Side")

    def fixed():
        h = win.get_wm_normal_hints()
        return (h.min_width, h.min_height) == (h.max_width, h.max_height) != (0, 0)

    wire.send("WINOP@side resizable 0")
    x11.wait_until(fixed, "min size = max size")
    wire.send("WINOP@side resizable 1")
    x11.wait_until(lambda: not fixed(), "resizable again")


def test_zoomfactor_scales_the_page_and_pxsize_sizes_the_content(app, x11, probe):
    wire, win = app(url=probe.url)
    first = probe.wait_report()
    width = int(first["w"])

    count = len(probe.reports)
    wire.send("WINOP zoomfactor 2")
    wait_for(lambda: any(int(r["w"]) in (width // 2, (width + 1) // 2)
                         for r in probe.reports[count:]), STEP,
             lambda: "a viewport half as wide as %d: %r" % (width, probe.reports))

    # Out of range: ignored; the next resize still reports at zoom 2.
    wire.send("WINOP zoomfactor 9", "WINOP zoomfactor 0.1", "WINOP zoomfactor x")
    wire.marker()
    count = len(probe.reports)
    wire.send("WINOP pxsize 700 500")
    x11.wait_geometry(win, lambda r: r.width == 700, "700 wide")
    probe.wait_size(350, 250, start=count)


class TestTwoMonitors:
    """On a desktop with two monitors side by side: DUMMY0 (primary, 1920 x 1080) and DUMMY1
    (1280 x 1024) to its right."""

    @pytest.fixture(scope="class")
    def desktop(self):
        yield from two_monitors()

    @pytest.fixture
    def outputs(self, desktop, x11):
        x11.wait_until(lambda: set(x11.monitors()) == {"DUMMY0", "DUMMY1"}, "two monitors")
        return x11.outputs()

    def test_spos_places_the_frame_relative_to_the_named_monitor(self, app, x11, outputs):
        wire, win = app()
        mark = wire.mark
        wire.send("WINOP spos %d 100 50" % outputs["DUMMY1"])
        x11.wait_frame(win, lambda f: (f.x, f.y) == (1920 + 100, 50), "frame at DUMMY1 +100+50")
        wire.wait_state("main", mark, screenId=outputs["DUMMY1"])

        wire.send("WINOP spos %d 10 20" % outputs["DUMMY0"])
        x11.wait_frame(win, lambda f: (f.x, f.y) == (10, 20), "frame at DUMMY0 +10+20")

    def test_fsscreen_leaves_full_screen_elsewhere_before_entering_it(self, app, x11, outputs):
        wire, win = app()
        mark = wire.mark
        wire.send("WINOP fsscreen %d" % outputs["DUMMY0"])
        mark, state = wire.wait_state("main", mark, fullscreen=True)
        assert state["screenId"] == outputs["DUMMY0"]
        x11.wait_geometry(win, lambda r: r == (0, 0, 1920, 1080), "full screen on DUMMY0")

        wire.send("WINOP fsscreen %d" % outputs["DUMMY1"])
        mark, _ = wire.wait_state("main", mark, fullscreen=False)
        mark, _ = wire.wait_state("main", mark, fullscreen=True, screenId=outputs["DUMMY1"])
        x11.wait_geometry(win, lambda r: r == (1920, 0, 1280, 1024), "full screen on DUMMY1")

        # Leaving full screen, the window is centred on the monitor it was full screen on.
        wire.send("WINOP fullscreen 0")
        wire.wait_state("main", mark, fullscreen=False, screenId=outputs["DUMMY1"])
        x11.wait_frame(win, lambda f: near(f.x + f.width / 2, 1920 + 640, 2)
                       and near(f.y + f.height / 2, 512, 2), "centred on DUMMY1")
