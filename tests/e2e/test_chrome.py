"""Window chrome (CHROME, the chrome fields of WINOPEN, the packaged KelojsChrome setting) as
the window manager sees it, and the window queries (GET windows, win, win:, screens, mouse)
checked against the X server's geometry."""

import pytest
from Xlib import X

from harness import STEP, WINDOW, wait_for
from test_state import app, open_window, winopen  # noqa: F401 (app is a fixture)

# Motif hints: flags, functions, decorations.
MWM_FUNC_RESIZE, MWM_FUNC_MOVE, MWM_FUNC_MINIMIZE = 2, 4, 8
MWM_FUNC_MAXIMIZE, MWM_FUNC_CLOSE = 16, 32
MWM_DECOR_ALL, MWM_DECOR_BORDER = 1, 2


def motif(x11, win):
    value = x11._prop(win, "_MOTIF_WM_HINTS")
    return tuple(value[:3]) if value is not None and len(value) >= 3 else None


def chrome(*fields):
    return "CHROME " + "\t".join(fields)


def top_left(rect):
    return rect.x, rect.y


def page_size(wire):
    info = wire.get("win")
    return info["width"], info["height"]


def wait_page(wire, page):
    """The launcher may still be taking in the window's new size."""
    wait_for(lambda: page_size(wire) == page, STEP, lambda: "page %r, not %r" % (
        page_size(wire), page))


def test_hiding_the_title_bar_keeps_the_content_size_and_the_top_edge(app, x11):
    wire, main = app()
    wire.send("WINOP pos 40 60")
    frame = x11.wait_frame(main, lambda f: top_left(f) == (40, 60), "frame at 40,60")
    content, page = x11.geometry(main), page_size(wire)
    assert wire.get("win")["chrome"]["frame"] is True
    assert content.width == page[0] and content.height > page[1]  # the menu bar, then the page

    # The menu bar goes with the title bar; the page keeps its size.
    wire.send(chrome("0"))
    x11.wait_until(lambda: (motif(x11, main) or (0, 0, 0))[2] ==
                   MWM_DECOR_BORDER, "title bar hidden")
    x11.wait_geometry(main, lambda r: r[2:] == page, "only the page in the window")
    x11.wm_sync()
    assert top_left(x11.frame(main)) == top_left(frame)
    info = wire.get("win")
    assert info["chrome"]["frame"] is False
    assert info["chrome"]["windowControls"] == ["close", "minimize", "maximize"]
    assert (info["x"], info["y"], info["width"], info["height"], info["outer"]["height"]) == (
        40, 60) + page + (x11.frame(main).height,)

    # Only the close button, then the standard title bar again.
    wire.send(chrome("", "close"))
    x11.wait_until(lambda: motif(x11, main)[1] == MWM_FUNC_MOVE | MWM_FUNC_RESIZE |
                   MWM_FUNC_CLOSE, "only the close function offered")
    assert wire.get("win")["chrome"]["windowControls"] == ["close"]
    wire.send(chrome("1", "all"))
    x11.wait_until(lambda: motif(x11, main)[2] == MWM_DECOR_ALL, "title bar back")
    x11.wait_frame(main, lambda f: f.height == frame.height, "the frame's old height")
    x11.wait_geometry(main, lambda r: r[2:] == content[2:], "the menu bar back")
    x11.wm_sync()
    assert top_left(x11.frame(main)) == top_left(frame)
    wait_page(wire, page)


def test_square_windows_are_borderless_and_keep_their_content(app, x11):
    wire, main = app()
    content, page = x11.geometry(main), page_size(wire)
    wire.send(chrome("", "", "", "", "1"))
    x11.wait_until(lambda: x11.frame_extents(main) == (0, 0, 0, 0), "no frame")
    x11.wait_geometry(main, lambda r: r[2:] == page, "only the page in the window")
    info = wire.get("win")["chrome"]
    assert (info["squareCorners"], info["frame"], info["windowControls"]) == (True, False, [])

    wire.send(chrome("", "", "", "", "0"))
    x11.wait_until(lambda: x11.frame_extents(main) not in (None, (0, 0, 0, 0)), "frame back")
    x11.wait_geometry(main, lambda r: r[2:] == content[2:], "the menu bar back")
    wait_page(wire, page)
    assert wire.get("win")["chrome"]["frame"] is True


def test_transparency_vibrancy_first_mouse_and_button_position_are_kept(app, x11, page):
    wire, _ = app()
    wire.send("CHROME \t\t1\thud\t\t1\tskipped\t20,18")
    info = wire.get("win")["chrome"]
    assert info == dict(info, transparent=True, vibrancy="hud", acceptsFirstMouse=True,
                        windowControlsPos={"x": 20, "y": 18})
    # Unparsable positions change nothing; "default" and "none" undo.
    wire.send("CHROME \t\t\t\t\t\t\t20", "CHROME \t\t\tnone\t\t0\t\tdefault")
    info = wire.get("win")["chrome"]
    assert info == dict(info, transparent=True, vibrancy=None, acceptsFirstMouse=False,
                        windowControlsPos=None)

    # A secondary window takes its chrome from WINOPEN and never reports a material.
    fields = winopen("side", page, "Side", "300x200").split("\t")
    fields[4], fields[7], fields[8] = "0", "sidebar", "1"
    side = open_window(wire, x11, "\t".join(fields), "Side")
    x11.wait_until(lambda: x11.frame_extents(side) == (0, 0, 0, 0), "borderless side window")
    info = wire.get("win:side")["chrome"]
    assert info == dict(info, squareCorners=True, transparent=True, vibrancy=None)
    wire.send("CHROME@nosuch 0", "CHROME@side")
    assert wire.get("win:side")["chrome"] == info


def test_packaged_chrome_applies_to_the_main_window(bundle, launch, x11):
    app_ = bundle(name="Chrome App", index_html="<!doctype html><title>c</title>",
                  plist={"KelojsChrome": "0\tnone\t\t\t\t\t12,10"})
    run = launch(exe=app_.exe)
    app_.backend.wait_connected(WINDOW, run)
    win = x11.wait_window(run, title="Chrome App")
    x11.wait_until(lambda: (motif(x11, win) or (0, 0, 0))[2] ==
                   MWM_DECOR_BORDER, "packaged title bar hidden")
    app_.backend.send("GET 1 win")
    line = app_.backend.wait_line(lambda l: l.startswith("GOT 1 "))
    assert '"windowControls":[],"windowControlsPos":{"x":12,"y":10}' in line, line


def test_window_queries_match_the_x_server(app, x11, page):
    wire, main = app()
    wire.send("WINOP pos 30 50")
    frame = x11.wait_frame(main, lambda f: top_left(f) == (30, 50), "frame at 30,50")
    content = x11.geometry(main)
    info = wire.get("win")
    bar = content.height - info["height"]  # the menu bar above the page
    assert 0 < bar < 60
    assert (info["x"], info["y"], info["width"]) == (30, 50, content.width)
    assert info["outer"] == {"width": frame.width, "height": frame.height}
    assert info == dict(info, fullscreen=False, minimized=False, visible=True, focused=True,
                        alwaysOnTop=False, level="normal", clickThrough=False)
    screen = x11.root.get_geometry()
    assert info["screen"] == {"width": screen.width, "height": screen.height, "scale": 1}
    assert info["local"] == {"x": 30, "y": 50}

    wire.send("WINOP level overlay", "WINOP clickthrough 1")
    info = wire.get("win")
    assert info == dict(info, alwaysOnTop=True, level="overlay", clickThrough=True)
    wire.send("WINOP level normal", "WINOP clickthrough 0")

    open_window(wire, x11, winopen("b", page, "B", "300x200"), "B")
    open_window(wire, x11, winopen("a", page, "A", "300x200"), "A")
    assert wire.get("windows") == ["main", "a", "b"]
    assert wire.get("win:nosuch") is None
    assert wire.get("no such key") is None

    screens = wire.get("screens")
    monitors = x11.monitors()
    assert len(screens) == len(monitors)
    assert (screens[0]["width"], screens[0]["height"]) == (screen.width, screen.height)

    x11.pointer_to(content.x + 10, content.y + bar + 20)
    mouse = wire.get("mouse")
    assert (mouse["x"], mouse["y"]) == (content.x + 10, content.y + bar + 20)
    assert mouse["window"] == {"x": 10, "y": 20, "inside": True}
    assert mouse["screen"]["id"] == screens[0]["id"]
    outside = wire.get("mouse:a")
    assert outside["window"]["inside"] in (True, False)
    assert wire.get("mouse:nosuch")["window"] is None
