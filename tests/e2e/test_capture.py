"""Screenshots, screen recordings, text recognition, thumbnails, the colour picker and the file
preview, as the backend sees them, on a desktop of two monitors: DUMMY0 (primary, 1920 x 1080)
and DUMMY1 (1280 x 1024) to its right, DUMMY1 covered by one colour."""

import json
import os
import struct
import subprocess
import time
import zlib

import gi
import pytest
from Xlib import XK, X
from Xlib.ext import xtest

from conftest import two_monitors
from fakes.previewer import Previewer
from fakes.screenshot_portal import ScreenshotPortal
from harness import STEP, WINDOW, wait_for

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

BLUE = (0x33, 0x66, 0xcc)


@pytest.fixture(scope="module")
def desktop():
    yield from two_monitors()


@pytest.fixture
def blue_monitor(desktop, x11):
    """DUMMY1 covered by a window of one colour; returns its output id."""
    x11.wait_until(lambda: set(x11.monitors()) == {"DUMMY0", "DUMMY1"}, "two monitors")
    screen = x11.d.screen()
    pixel = screen.default_colormap.alloc_color(*(c * 257 for c in BLUE)).pixel
    cover = x11.root.create_window(1920, 0, 1280, 1024, 0, screen.root_depth,
                                   background_pixel=pixel, override_redirect=True)
    cover.map()
    x11.wait_until(lambda: x11.pixel(2500, 500) == BLUE, "DUMMY1 painted")
    yield x11.outputs()["DUMMY1"]
    cover.destroy()
    x11.d.sync()


class Services:
    """The backend's side: requests and their GOT answers (request ids are never reused)."""

    def __init__(self, started):
        self.backend, self.run = started.backend, started.run

    def answer(self, rid, timeout=STEP):
        line = self.backend.wait_line("GOT %s " % rid, timeout)
        return json.loads(line.split(" ", 2)[2])

    def ask(self, *lines, timeout=STEP):
        """Sends the lines at once; returns the answer of each, in order."""
        self.backend.send(*lines)
        return [self.answer(line.split(" ")[1], timeout) for line in lines]


@pytest.fixture
def app(dev_app, blue_monitor):
    return Services(dev_app())


def pixels(path):
    """(width, height, pixel(x, y) -> (r, g, b)) of an image file."""
    image = GdkPixbuf.Pixbuf.new_from_file(path)
    data, stride, n = image.get_pixels(), image.get_rowstride(), image.get_n_channels()
    return (image.get_width(), image.get_height(),
            lambda x, y: tuple(data[y * stride + x * n:y * stride + x * n + 3]))


def png(path, width, height, rgba=0xff0000ff):
    image = GdkPixbuf.Pixbuf.new(GdkPixbuf.Colorspace.RGB, False, 8, width, height)
    image.fill(rgba)
    image.savev(path, "png", [], [])
    return path


def test_capture_writes_the_named_monitor_in_device_pixels(app, blue_monitor):
    shot, first, missing = app.ask("CAPTURE c1 %d" % blue_monitor, "CAPTURE c2",
                                   "CAPTURE c3 12345")
    assert shot["ok"] and (shot["width"], shot["height"]) == (1280, 1024), shot
    assert os.path.basename(shot["path"]).startswith("kelojs-shot-")
    width, height, at = pixels(shot["path"])
    assert (width, height) == (1280, 1024)
    assert {at(0, 0), at(1279, 1023), at(640, 512)} == {BLUE}
    assert (first["width"], first["height"]) == (1920, 1080), first
    assert missing == {"ok": False, "error": "no such display"}


def test_ocr_finds_the_lines_of_text_and_refuses_what_it_cannot_read(app, tmp):
    text = os.path.join(tmp, "text.png")
    subprocess.run(["/usr/bin/convert", "-size", "900x240", "xc:white", "-fill", "black",
                    "-font", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                    "-pointsize", "64", "-annotate", "+30+100", "Quick brown fox",
                    "-annotate", "+30+190", "jumps over 42 dogs", text], check=True)
    huge = os.path.join(tmp, "huge.png")  # 20000 x 20000 by its header; a few pixels follow
    with open(huge, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        for kind, data in ((b"IHDR", struct.pack(">IIBBBBB", 20000, 20000, 8, 2, 0, 0, 0)),
                           (b"IDAT", zlib.compress(bytes(100)))):
            f.write(struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data)))
    notes = os.path.join(tmp, "notes.txt")
    with open(notes, "w") as f:
        f.write("plain text\n")
    # Two recognitions at once, then every kind of bad input.
    one, two, dot, nothing, folder, plain, big = app.ask(
        "OCR o1 " + text, "OCR o2 " + text, "OCR o3 " + png(os.path.join(tmp, "dot.png"), 1, 1),
        "OCR o4 /nonexistent", "OCR o5 " + tmp, "OCR o6 " + notes, "OCR o7 " + huge,
        timeout=WINDOW)
    assert one == two and one["text"] == "Quick brown fox\njumps over 42 dogs", one
    first, second = one["blocks"]
    assert [first["text"], second["text"]] == ["Quick brown fox", "jumps over 42 dogs"]
    for b in one["blocks"]:
        box = b["box"]
        assert b["confidence"] > 0.5 and 0 <= box["x"] < box["x"] + box["width"] <= 1
    assert first["box"]["y"] + first["box"]["height"] <= second["box"]["y"] + 0.01
    assert dot == {"ok": True, "text": "", "blocks": []}
    assert nothing == {"ok": False, "error": "no such file: /nonexistent"}
    assert folder == {"ok": False, "error": "not an image: " + tmp}
    assert plain == {"ok": False, "error": "not an image: " + notes}
    assert not big["ok"] and "20000x20000" in big["error"], big


def mp4_facts(path):
    """(duration in seconds from the movie header, whether it holds an H.264 track)."""
    with open(path, "rb") as f:
        data = f.read()
    i = 0
    while i < len(data):
        size, kind = struct.unpack(">I4s", data[i:i + 8])
        if kind == b"moov":
            moov = data[i:i + size]
            mvhd = moov.index(b"mvhd") + 4
            scale, duration = struct.unpack(">II", moov[mvhd + 12:mvhd + 20])
            return duration / scale, b"avc1" in moov
        i += size
    raise AssertionError("no movie header in %s" % path)


def test_a_recording_lasts_as_long_as_it_ran_and_one_runs_at_a_time(app, blue_monitor, tmp):
    movie = os.path.join(tmp, "screen.mp4")
    sent = time.monotonic()
    started, busy = app.ask("RECORD r1 start %d\t%s" % (blue_monitor, movie),
                            "RECORD r2 start 0\t" + os.path.join(tmp, "other.mp4"),
                            timeout=WINDOW)
    assert started == {"ok": True, "error": None}
    assert busy == {"ok": False, "error": "already recording"}
    running = time.monotonic()
    time.sleep(1.5)  # the length of the recording: a stimulus, not a wait
    stop_sent = time.monotonic()
    stopped, again = app.ask("RECORD r3 stop", "RECORD r4 stop", timeout=WINDOW)
    ended = time.monotonic()
    assert stopped["ok"] and stopped["path"] == movie and stopped["error"] is None, stopped
    # The first frame came between the start's sending and its answer, the last one between
    # the stop's sending and its answer.
    assert stop_sent - running - 0.1 <= stopped["duration"] <= ended - sent, stopped
    duration, h264 = mp4_facts(movie)
    assert h264 and abs(duration - stopped["duration"]) < 0.1, (duration, stopped)
    assert again == {"ok": False, "error": "not recording"}

    # A storm of starts and stops gets one answer each and leaves the recorder idle; so does
    # a start into a folder that does not exist.
    storm = ["RECORD s%d %s" % (i, "start 0\t%s" % movie if i % 2 == 0 else "stop")
             for i in range(6)]
    answers = app.ask(*storm, "RECORD s6 start 0\t/nonexistent/x.mp4", "RECORD s7 stop",
                      timeout=WINDOW * 2)
    assert all(a["ok"] for a in answers[0:6:2]), answers
    assert not answers[6]["ok"] and answers[6]["error"], answers[6]
    assert answers[7] == {"ok": False, "error": "not recording"}

    # A recording still running when the launcher quits is finished, not cut off.
    assert app.ask("RECORD q1 start 0\t" + movie, timeout=WINDOW)[0]["ok"]
    app.backend.send("QUIT")
    app.run.wait_exit(WINDOW)
    assert mp4_facts(movie)[1]


def test_thumbnails_fit_their_box_at_scale_two(app, tmp):
    picture = png(os.path.join(tmp, "wide.png"), 400, 200)
    notes = os.path.join(tmp, "notes.txt")
    with open(notes, "w") as f:
        f.write("plain text\n")
    small, whole, icon, default, bounded, folder, missing = app.ask(
        "THUMB t1 %s\t50" % picture, "THUMB t2 %s\t0" % picture, "THUMB t3 %s\t24" % notes,
        "THUMB t4 %s\t-1" % notes, "THUMB t5 %s\t100000" % notes, "THUMB t6 " + tmp,
        "THUMB t7 /nonexistent\t64", timeout=WINDOW)
    assert (small["width"], small["height"]) == (100, 50), small
    assert pixels(small["path"])[2](50, 25) == (255, 0, 0)
    assert (whole["width"], whole["height"]) == (400, 200), whole  # never enlarged
    for answer, side in ((icon, 48), (default, 512), (bounded, 2048), (folder, 512)):
        assert answer["ok"] and (answer["width"], answer["height"]) == (side, side), answer
        assert pixels(answer["path"])[:2] == (side, side)
    assert missing == {"ok": False, "error": "no such file: /nonexistent"}


def wait_grabbed(x11):
    """Waits until another client holds the pointer grab."""
    def grabbed():
        status = x11.root.grab_pointer(False, 0, X.GrabModeAsync, X.GrabModeAsync, X.NONE,
                                       X.NONE, X.CurrentTime)
        if status == X.GrabSuccess:
            x11.d.ungrab_pointer(X.CurrentTime)
            x11.d.sync()
        return status == X.AlreadyGrabbed
    wait_for(grabbed, STEP, "the colour sampler's grab")


def key(x11, keysym):
    code = x11.d.keysym_to_keycode(keysym)
    xtest.fake_input(x11.d, X.KeyPress, code)
    xtest.fake_input(x11.d, X.KeyRelease, code)
    x11.d.sync()


def test_the_sampler_reads_the_clicked_pixel_and_escape_cancels(app, x11):
    app.backend.send("PICKCOLOR p1")
    wait_grabbed(x11)
    x11.pointer_to(2500, 500)
    x11.press()
    x11.release()
    assert app.answer("p1") == {"ok": True, "color": "#3366cc"}
    # A pick replaces one that runs, which answers null; Escape cancels.
    app.backend.send("PICKCOLOR p2", "PICKCOLOR p3")
    assert app.answer("p2") == {"ok": True, "color": None}
    wait_grabbed(x11)
    key(x11, XK.XK_Escape)
    assert app.answer("p3") == {"ok": True, "color": None}


def test_the_portal_picks_the_colour_when_one_answers(dev_app, desktop):
    with ScreenshotPortal(desktop.env) as portal:
        app = Services(dev_app())
        app.backend.send("PICKCOLOR p1")
        parent, _ = portal.wait_call("PickColor")
        assert parent.startswith("x11:")
        portal.respond(0, (0.2, 0.4, 0.6))
        assert app.answer("p1") == {"ok": True, "color": "#336699"}


def test_the_preview_window_steps_through_the_files_until_closed(app, x11, tmp):
    picture = png(os.path.join(tmp, "pic.png"), 64, 64)
    notes = os.path.join(tmp, "notes.txt")
    with open(notes, "w") as f:
        f.write("plain text\n")
    app.backend.send("QUICKLOOK %s\t\t%s" % (picture, notes))
    win = x11.wait_window(app.run, title="pic.png")
    x11.activate(win)
    x11.wait_until(lambda: x11._prop(x11.root, "_NET_ACTIVE_WINDOW")[0] == win.id, "focus")
    key(x11, XK.XK_Right)
    x11.wait_title(win, "notes.txt")
    key(x11, XK.XK_Left)
    x11.wait_title(win, "pic.png")
    app.backend.send("QUICKLOOK")
    x11.wait_until(lambda: not x11.is_viewable(win), "the preview to close")


def test_the_desktop_previewer_shows_the_files_when_one_answers(dev_app, desktop, x11):
    with Previewer(desktop.env) as previewer:
        app = Services(dev_app())
        app.backend.send("QUICKLOOK /a b\t/c")
        uri, parent, _ = previewer.wait_call("ShowFile")
        assert uri == "file:///a%20b" and parent.startswith("x11:")
        previewer.move()
        assert previewer.wait_call("ShowFile", start=1)[0] == "file:///c"
        app.backend.send("QUICKLOOK")
        previewer.wait_call("Close")
        assert len(x11.client_windows(app.run.pid)) == 1  # the main window alone
