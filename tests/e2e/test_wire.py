"""The wire of a development run, seen on the real X11 window: TITLE, SIZE, QUIT, end of
wire, line framing and lines that are no command."""

import pytest

from harness import STEP, WINDOW


def test_title_comes_from_the_argument_then_from_title_commands(dev_app, x11):
    app = dev_app(None, "Alpha One")
    x11.wait_title(app.win, "Alpha One")

    # The rest of the line is the title as it is: blanks, punctuation and UTF-8 included.
    app.backend.send("TITLE Inbox — 3 unread ☕  ")
    x11.wait_title(app.win, "Inbox — 3 unread ☕  ")

    app.backend.send("TITLE@main Main by id")
    x11.wait_title(app.win, "Main by id")


@pytest.mark.parametrize("size_arg, width, height", [
    ("700x500", 700, 500),
    ("800", 800, 640),       # a width alone keeps the default height
], ids=["WxH", "width-only"])
def test_initial_content_size_comes_from_the_size_argument(dev_app, probe, size_arg, width, height):
    dev_app(probe.url, "Sized", size_arg)
    probe.wait_size(width, height, WINDOW)


def test_size_sets_the_content_size_and_keeps_the_top_left_corner(dev_app, x11, probe):
    app = dev_app(probe.url)
    probe.wait_size(960, 640, WINDOW)
    x11.wait_title(app.win, "kelojs")
    before = x11.wait_geometry(app.win, lambda r: r.width == 960, "the default width")
    # Anything the window shows around the web view (an in-window menu bar) stays as it is.
    around = before.height - 640

    app.backend.send("SIZE 800 600")
    probe.wait_size(800, 600)
    after = x11.wait_geometry(app.win, lambda r: (r.width, r.height) == (800, 600 + around),
                              "an 800x600 content area")
    assert (after.x, after.y) == (before.x, before.y)

    # Only a width: the height reads as 640.
    n = len(probe.reports)
    app.backend.send("SIZE 700")
    probe.wait_size(700, 640, start=n)
    after = x11.wait_geometry(app.win, lambda r: r.width == 700, "a 700 wide window")
    assert (after.x, after.y) == (before.x, before.y)


def test_size_with_a_zero_or_negative_side_changes_nothing(dev_app, x11, probe):
    app = dev_app(probe.url, "Steady", "640x480")
    probe.wait_size(640, 480, WINDOW)
    start = x11.wait_geometry(app.win, lambda r: r.width == 640, "the initial width")
    x11.watch_sizes(app.win)

    app.backend.send("SIZE 0 600", "SIZE 800 0", "SIZE -800 600", "SIZE@main 0 600",
                     "TITLE after the bad sizes")
    x11.wait_title(app.win, "after the bad sizes")
    n = len(probe.reports)
    app.backend.send("SIZE 720 520")
    probe.wait_size(720, 520, start=n)
    end = x11.wait_geometry(app.win, lambda r: r.width == 720, "the last size")

    assert set(x11.sizes_seen(app.win)) <= {start[2:], end[2:]}
    assert probe.reports[n:] and all((r["w"], r["h"]) == ("720", "520")
                                     for r in probe.reports[n:])


@pytest.mark.parametrize("end", ["quit", "close"])
def test_quit_or_end_of_wire_exits_0_promptly(dev_app, end):
    app = dev_app()
    if end == "quit":
        app.backend.send("QUIT")
        app.backend.wait_eof(STEP)
    else:
        app.backend.close_wire()
    assert app.run.wait_exit(STEP) == 0


def test_lines_are_framed_by_line_feeds_alone(dev_app, x11, probe):
    app = dev_app(probe.url)
    probe.wait_size(960, 640, WINDOW)

    # Several commands in one write, the last one cut short ...
    app.backend.send_raw(b"TITLE one\nSIZE 700 500\nTITLE tw")
    probe.wait_size(700, 500)
    x11.wait_title(app.win, "one")
    # ... and finished by a later write.
    app.backend.send_raw(b"o\n")
    x11.wait_title(app.win, "two")


def test_lines_that_are_no_command_are_ignored(dev_app, x11, probe):
    app = dev_app(probe.url, "Steady", "640x480")
    probe.wait_size(640, 480, WINDOW)
    x11.wait_title(app.win, "Steady")
    start = x11.geometry(app.win)
    x11.watch_sizes(app.win)

    app.backend.send(
        "", "QUIT ", "QUITTING", "quit", "TITLE", "TITLEx", "TITLE@nosuch Wrong",
        "SIZE", "SIZE800 600", "SIZE@main", "SIZE@main800 600", "SIZE@nosuch 800 600",
        "ITEM Stray\titem", "SUBEND", "SEP", "no such verb", "x" * 200000)
    app.backend.send_raw(b"\xff\xfe\x00\x01 not text\n")
    n = len(probe.reports)
    app.backend.send("SIZE 720 520")
    probe.wait_size(720, 520, start=n)
    end = x11.wait_geometry(app.win, lambda r: r.width == 720, "the barrier size")

    assert app.run.running, app.run.describe()
    assert x11.title(app.win) == "Steady"
    assert (end.x, end.y) == (start.x, start.y)
    assert set(x11.sizes_seen(app.win)) <= {start[2:], end[2:]}
    app.backend.send("QUIT")
    assert app.run.wait_exit(STEP) == 0
