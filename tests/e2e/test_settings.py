"""Settings that shape the start of a run, seen on the real X11 windows and from inside the
page: accessory mode, deferred show, panel mode, user agent, developer mode, window icon,
placement, RELOAD and windowless mode."""

import itertools
import os
import struct
import zlib

import pytest

from harness import STEP, WINDOW, PROBE_COLOUR, wait_for

SKIP_STATES = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}

# The deferred-show fallback fires 3 s after start; this leaves room for a slow machine.
DEFERRED = WINDOW / 2

_socket_names = ("wire-%d.sock" % n for n in itertools.count())


def _dev_run(launch, backend, url, *args, env=None):
    b = backend(next(_socket_names))
    run = launch(url, b.path, *args, env=env)
    b.wait_connected(WINDOW, run)
    return run, b


def _package_run(bundle, launch, tmp, plist, env=None):
    app = bundle(name="Settings App", plist=plist)
    tmpdir = os.path.join(tmp, "t")
    os.makedirs(tmpdir, exist_ok=True)
    run = launch(exe=app.exe, env=dict(env or {}, TMPDIR=tmpdir))
    app.backend.wait_connected(WINDOW, run)
    return run, app.backend


def _start(kind, launch, backend, bundle, tmp, url, env, plist, package_env=None):
    """A development run configured by `env`, or a package run configured by `plist` (and
    started with `package_env`)."""
    if kind == "dev":
        return _dev_run(launch, backend, url, env=env)
    return _package_run(bundle, launch, tmp, dict(plist, KelojsUrl=url), env=package_env)


def _assert_hidden(x11, run):
    assert x11.shown(run.pid) == [], "a window of the launcher was shown"
    assert x11.client_windows(run.pid) == []
    assert run.running, run.describe()


def _write_png(path, width, height, rgb):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# ---- accessory mode and deferred show -------------------------------------------------------

@pytest.mark.parametrize("kind", ["dev", "package"])
def test_accessory_mode_keeps_the_main_window_hidden_even_with_deferred_show(
        kind, launch, backend, bundle, tmp, x11, probe, page):
    x11.watch_shown()
    run, wire = _start(kind, launch, backend, bundle, tmp, probe.url,
                       env={"KELOJS_ACTIVATION": "accessory", "KELOJS_DEFER_SHOW": "1"},
                       plist={"KelojsActivation": "accessory", "KelojsDeferShow": True})
    # A deferred run started after this one: once its fallback has shown it, this run's own
    # fallback, were it armed, would have fired as well.
    control, _ = _dev_run(launch, backend, page, env={"KELOJS_DEFER_SHOW": "1"})

    # The front end loads all the same.
    probe.wait_report(WINDOW)
    _assert_hidden(x11, run)
    # Neither a new title nor a new size shows the window.
    wire.send("TITLE Still hidden", "SIZE 700 500")

    x11.wait_window(control, DEFERRED)
    _assert_hidden(x11, run)

    wire.send("QUIT")
    assert run.wait_exit(STEP) == 0


@pytest.mark.parametrize("kind", ["dev", "package"])
def test_deferred_show_keeps_the_window_hidden_until_the_fallback_shows_it(
        kind, launch, backend, bundle, tmp, x11, probe):
    x11.watch_shown()
    run, _ = _start(kind, launch, backend, bundle, tmp, probe.url,
                    env={"KELOJS_DEFER_SHOW": "1"}, plist={"KelojsDeferShow": True})
    probe.wait_report(WINDOW)
    _assert_hidden(x11, run)

    win = x11.wait_window(run, DEFERRED)
    assert x11.shown(run.pid) == [win.id]
    # Shown at the size it was set up with.
    probe.wait_size(960, 640)


def test_settings_not_exactly_on_leave_a_plain_window(launch, backend, x11, probe):
    # Only "1" turns deferred show and panel mode on, only "accessory" accessory mode.
    x11.watch_shown()
    run, _ = _dev_run(launch, backend, probe.url, env={
        "KELOJS_DEFER_SHOW": "yes", "KELOJS_PANEL": "true", "KELOJS_ACTIVATION": "Accessory"})
    probe.wait_report(WINDOW)
    # Shown while it was being set up, well before the page could load.
    assert x11.shown(run.pid), "the window was not shown by the time the page loaded"
    win = x11.wait_window(run)
    assert x11.window_type(win) in ([], ["_NET_WM_WINDOW_TYPE_NORMAL"])
    assert not x11.wm_state(win) & SKIP_STATES


# ---- panel mode ----------------------------------------------------------------------------

def test_panel_mode_makes_a_utility_window_outside_taskbar_and_pager(launch, backend, x11,
                                                                       probe):
    run, wire = _dev_run(launch, backend, probe.url, env={"KELOJS_PANEL": "1"})
    win = x11.wait_window(run)
    assert x11.window_type(win)[:1] == ["_NET_WM_WINDOW_TYPE_UTILITY"]
    x11.wait_until(lambda: x11.wm_state(win) >= SKIP_STATES,
                   lambda: "skip states (state is %r)" % x11.wm_state(win))
    # A panel is a full window otherwise: it shows the page at its size and obeys the wire.
    probe.wait_size(960, 640, WINDOW)
    wire.send("TITLE Panel")
    x11.wait_title(win, "Panel")


# ---- user agent ------------------------------------------------------------------------------

@pytest.mark.parametrize("kind", ["dev", "package"])
def test_custom_user_agent_is_what_the_page_and_the_server_see(
        kind, launch, backend, bundle, tmp, probe):
    ua = "KeloTest/1.0 (e2e; %s)" % kind
    # A package run takes the bundle's value; a variable left over from outside must not win.
    _start(kind, launch, backend, bundle, tmp, probe.url, env={"KELOJS_UA": ua},
           plist={"KelojsUserAgent": ua}, package_env={"KELOJS_UA": "Leaked/0.1"})
    report = probe.wait_report(WINDOW)
    assert report["ua"] == ua
    # Every request of the run carries it: the page and what the page fetched.
    assert probe.requests() and probe.requests("/report")
    assert {r["user_agent"] for r in probe.requests() + probe.requests("/report")} == {ua}


# ---- developer mode ----------------------------------------------------------------------------

def test_debug_open_opens_the_inspector_as_a_second_window(dev_app, x11):
    app = dev_app(None, env={"KELOJS_DEBUG": "open"})
    wait_for(lambda: len(x11.client_windows(app.run.pid)) >= 2, WINDOW,
             lambda: "a second window (the inspector); windows: %r; %s" % (
                 [x11.title(w) for w in x11.client_windows(app.run.pid)], app.run.describe()))


@pytest.mark.parametrize("debug", [None, "1"], ids=["unset", "debug-1"])
def test_without_debug_open_there_is_no_second_window(launch, backend, x11, probe, debug):
    run, wire = _dev_run(launch, backend, probe.url,
                         env={"KELOJS_DEBUG": debug} if debug else None)
    win = x11.wait_window(run)
    x11.wait_painted(win, PROBE_COLOUR)
    probe.wait_report(WINDOW)

    def one_window_until_resized():
        assert len(x11.client_windows(run.pid)) == 1, [
            x11.title(w) for w in x11.client_windows(run.pid)]
        return any((r["w"], r["h"]) == ("700", "500") for r in probe.reports)
    wire.send("SIZE 700 500")
    wait_for(one_window_until_resized, STEP, "the page to report 700x500")


# ---- window icon -------------------------------------------------------------------------------

def test_icon_setting_gives_the_main_window_its_icon(dev_app, x11, tmp):
    icon = os.path.join(tmp, "icon.png")
    _write_png(icon, 16, 12, (0xff, 0x00, 0x00))
    app = dev_app(None, env={"KELOJS_ICON": icon})
    red = 0xffff0000  # ARGB
    images = x11.wait_until(lambda: x11.icons(app.win), "_NET_WM_ICON on the main window")
    assert (16, 12, [red] * (16 * 12)) in images, [(w, h, set(px)) for w, h, px in images]


@pytest.mark.parametrize("content", [None, b"\x89PNG\r\n\x1a\nnot really"],
                         ids=["missing", "broken"])
def test_an_icon_that_cannot_be_read_does_not_stop_the_run(dev_app, x11, tmp, content):
    path = os.path.join(tmp, "icon.png")
    if content is not None:
        with open(path, "wb") as f:
            f.write(content)
    app = dev_app(None, "Iconless", env={"KELOJS_ICON": path})
    x11.wait_title(app.win, "Iconless")
    app.backend.send("QUIT")
    assert app.run.wait_exit(STEP) == 0, app.run.describe()


# ---- placement ---------------------------------------------------------------------------------

@pytest.mark.parametrize("size_arg, width, height", [
    (None, 960, 640),
    ("701x433", 701, 433),
], ids=["default", "odd-size"])
def test_main_window_starts_centred_with_its_content_size(dev_app, x11, probe, size_arg,
                                                          width, height):
    app = dev_app(probe.url, *(["Centred", size_arg] if size_arg else []))
    probe.wait_size(width, height, WINDOW)
    area = x11.work_area()
    extents = x11.wait_until(lambda: x11.frame_extents(app.win), "_NET_FRAME_EXTENTS")
    left, right, top, bottom = extents

    def frame(r):
        return (r.x - left, r.y - top, r.width + left + right, r.height + top + bottom)

    def centred(r):
        x, y, w, h = frame(r)
        return (r.width == width and abs(x - (area.x + (area.width - w) / 2)) <= 3
                and abs(y - (area.y + (area.height - h) / 2)) <= 3)
    x11.wait_geometry(app.win, centred, "a %dx%d window whose frame is centred in %r "
                      "(frame extents %r)" % (width, height, area, extents))


# ---- RELOAD ------------------------------------------------------------------------------------

def test_reload_loads_the_web_page_again(dev_app, probe):
    app = dev_app(probe.url)
    probe.wait_report(WINDOW)
    assert len(probe.requests()) == 1
    app.backend.send("RELOAD")
    probe.wait_reports(2, STEP)
    assert len(probe.requests()) == 2
    assert [r["kind"] for r in probe.reports[:2]] == ["load", "load"]


FILE_PAGE = """<!doctype html><meta charset="utf-8"><title>file page</title>
<script>fetch("%s/report?kind=%s", {mode: "no-cors", cache: "no-store"});</script>
"""


def test_reload_reads_a_local_page_again_from_its_file(dev_app, probe, tmp):
    path = os.path.join(tmp, "front.html")
    with open(path, "w") as f:
        f.write(FILE_PAGE % (probe.origin, "first"))
    app = dev_app(path)
    probe.wait_reports(1, WINDOW)

    # The file changed since: a reload shows what it holds now.
    with open(path, "w") as f:
        f.write(FILE_PAGE % (probe.origin, "second"))
    app.backend.send("RELOAD")
    reports = probe.wait_reports(2, STEP)
    assert [r["kind"] for r in reports] == ["first", "second"]


# ---- windowless mode ---------------------------------------------------------------------------

def test_windowless_run_opens_no_window_and_quits_cleanly(launch, backend, x11, probe, page):
    x11.watch_shown()
    run, wire = _dev_run(launch, backend, probe.url, env={"KELOJS_NO_MAIN_WINDOW": "1"})

    # A run started after it, with a value that is not exactly "1", opens its window; by
    # then this one would have shown its own.
    control, _ = _dev_run(launch, backend, page, env={"KELOJS_NO_MAIN_WINDOW": "true"})
    x11.wait_window(control)
    _assert_hidden(x11, run)
    # No front end is loaded without a window to show it.
    assert probe.requests() == []

    wire.send("QUIT")
    wire.wait_eof(STEP)
    assert run.wait_exit(STEP) == 0
    assert run.messages == ""
