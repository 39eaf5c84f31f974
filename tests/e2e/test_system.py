"""System queries (battery, Wi-Fi, other applications, idle time, diagnostics), the clipboard
with another application (GET clipboard, CLIPWRITE, CLIPWATCH) and DRAGOUT onto it."""

import base64
import os
import struct
import sys

import pytest
from Xlib import X, display as xdisplay

from harness import REPO, STEP, wait_for
from peer import Peer
from test_state import app  # noqa: F401 (a fixture)
from test_window_control import press_in, report_presses
from xdnd import file_uri

sys.path.insert(0, os.path.join(REPO, "tests", "desktop"))
from fakes.networkmanager import NetworkManager  # noqa: E402
from fakes.upower import CHARGING, UPower  # noqa: E402

PEER_APP = {"name": "Peer", "bundleId": "org.example.Peer"}
IMAGE = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAMAAAACCAYAAACddGYaAAAABHNCSVQICAgIfAhkiAAAABNJ"
                         "REFUCJljNE6b+Z8BCpgYkAAAMoICNcvL384AAAAASUVORK5CYII=")  # 3 x 2 PNG


@pytest.fixture
def peer(desktop):
    env = desktop.child_env()
    apps = os.path.join(env["XDG_DATA_HOME"], "applications")
    os.makedirs(apps, exist_ok=True)
    with open(os.path.join(apps, "org.example.Peer.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Peer\nExec=true\n"
                "StartupWMClass=kelopeer\n")
    p = Peer(env)
    yield p
    p.close()


def line(wire, prefix, start):  # the first line from `start` on with `prefix`, split at blanks
    index = wire.wait(prefix, start)
    return wire.lines[index].split(" ")


def test_battery_and_wifi_come_from_the_system_bus(app, desktop):
    env = desktop.child_env()
    with UPower(env) as power, NetworkManager(env) as nm:
        wire, _ = app()
        power.set_battery(81.6, CHARGING, to_full=1830, on_battery=False)
        nm.set_wifi(b"Caf\xc3\xa9", "12:34:56:78:9A:BC", strength=70, bitrate_kbps=866700)
        assert wire.get("battery") == {"percent": 82, "charging": True, "plugged": True,
                                       "minutesRemaining": 30}
        assert wire.get("wifi") == {"ssid": "Café", "bssid": "12:34:56:78:9A:BC", "rssi": -65,
                                    "noise": None, "txRate": 866.7}
        power.set_battery(40, to_empty=0)  # estimating
        assert wire.get("battery") == {"percent": 40, "charging": False, "plugged": False,
                                       "minutesRemaining": None}
        power.set_battery(None)
        nm.set_wifi(None)
        assert wire.get("battery") is None and wire.get("wifi") is None
    # Without the services at all.
    assert wire.get("battery") is None and wire.get("wifi") is None
    assert wire.get("locale")["timeZone"]


def test_clipboard_round_trips_with_another_application(app, peer):
    wire, _ = app()
    peer.ask("window peer", "window")  # names its application
    wire.send("CLIPWATCH 50")
    wire.marker()  # watching from here on
    start = wire.mark
    peer.own({"UTF8_STRING": b"hello", "text/html": b"<b>hello</b>", "image/png": IMAGE,
              "text/uri-list": b"file:///tmp/a%20b\r\nhttp://x/\r\n",
              "application/x-color": struct.pack("=4H", 65535, 0, 0, 32768),
              "x-kde-passwordManagerHint": b"secret",
              "chromium/x-source-url": b"https://example.org/"})
    change = line(wire, "CLIPCHANGE ", start)
    assert change[2] == "0"
    clip = wire.get("clipboard")
    assert clip == {"kind": "files", "changeCount": int(change[1]), "text": "hello",
                    "html": "<b>hello</b>", "paths": ["/tmp/a b"], "image": clip["image"],
                    "imageSize": {"width": 3, "height": 2}, "color": "#ff000080",
                    "concealed": True, "sourceApp": PEER_APP,
                    "sourceURL": "https://example.org/"}
    assert clip["image"].endswith("-%s.png" % change[1])
    with open(clip["image"], "rb") as f:
        assert f.read() == IMAGE
    saved = os.stat(clip["image"]).st_mtime_ns
    assert wire.get("clipboard")["image"] == clip["image"]
    assert os.stat(clip["image"]).st_mtime_ns == saved  # not written again

    # Written by the launcher: every form reaches the other application.
    start = wire.mark
    wire.send("CLIPWRITE t\\tx\t<i>h</i>\tdata:image/png;base64,%s\t#00ff00\t%s\t/no/such"
              % (base64.b64encode(IMAGE).decode(), REPO))
    change = line(wire, "CLIPCHANGE ", start)
    assert change[2] == "1"
    assert peer.read("UTF8_STRING") == b"t\tx"
    assert peer.read("text/html") == b"<i>h</i>"
    assert peer.read("image/png") == IMAGE
    assert peer.read("application/x-color") == struct.pack("=4H", 0, 65535, 0, 65535)
    assert peer.read("text/uri-list") == (file_uri(REPO) + "\r\n").encode()
    mine = wire.get("clipboard")
    assert mine["sourceApp"] == {"name": "kelojs", "bundleId": None}
    assert mine["changeCount"] == int(change[1]) and not os.path.exists(clip["image"])

    # Fields that do not decode are left out; nothing at all clears the clipboard.
    wire.send("CLIPWRITE only\t\tnot base64 !\t#zz0000\t/no/such/file")
    wire.marker()
    assert peer.read("UTF8_STRING") == b"only"
    assert [peer.read(t) for t in ("image/png", "application/x-color", "text/uri-list")] \
        == [None] * 3
    wire.send("CLIPWRITE \t\t%s\t" % os.path.dirname(REPO))
    assert wire.get("clipboard")["kind"] == "empty"


def test_a_clipboard_owner_that_never_answers_does_not_stop_the_wire(app, desktop):
    wire, _ = app()
    d = xdisplay.Display(desktop.display)
    stuck = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    stuck.set_selection_owner(d.intern_atom("CLIPBOARD"), X.CurrentTime)
    d.sync()
    start = wire.mark
    wire.send("GET s1 clipboard", "GET s2 windows")
    assert wire.wait("GOT s1 ", start) > wire.wait("GOT s2 ", start)
    assert '"kind":"empty"' in line(wire, "GOT s1 ", start)[2]
    d.close()


def test_other_applications_their_windows_and_the_selection(app, x11, peer):
    wire, main = app()
    peer.ask("primary picked words")
    assert wire.get("selectedtext") == "picked words"
    win = x11.d.create_resource_object("window", int(peer.ask("window Peer window", "window")))
    x11.activate(win)
    wait_for(lambda: x11._prop(x11.root, "_NET_ACTIVE_WINDOW")[0] == win.id, STEP, "peer active")
    assert wire.get("frontmost") == dict(PEER_APP, pid=peer.pid)
    frame = x11.frame(win)
    others = wire.get("otherwindows")
    assert {"app": "Peer", "bundleId": "org.example.Peer", "title": "Peer window",
            "pid": peer.pid, "index": 0, "x": frame.x, "y": frame.y, "width": frame.width,
            "height": frame.height} in others
    assert all(w["pid"] != wire.run.pid for w in others)
    assert wire.get("fgscreen") == wire.get("screens")[0]["id"]
    first = wire.get("idle")["seconds"]
    wait_for(lambda: wire.get("idle")["seconds"] > first + 0.3, STEP, "idle time to grow")

    assert wire.get("debug:activation") == {"policy": "regular", "active": False,
                                            "hidden": False}
    assert wire.get("debug:trafficpos") is None  # the window manager's button
    wire.send("CHROME 0")
    wait_for(lambda: wire.get("debug:trafficpos") == {"fromTop": 6.0, "x": 8.0}, STEP,
             "the launcher's own close button")
    wire.send("WINOP hide")
    assert wire.get("debug:activation")["hidden"] is True


def test_dragout_drops_files_on_another_application(app, x11, peer, tmp):
    wire, main = app()
    paths = [os.path.join(tmp, name) for name in ("one.txt", "two words.txt")]
    for p in paths:
        open(p, "w").close()
    win = x11.d.create_resource_object("window", int(peer.ask("window drop here", "window")))
    x11.move_frame(win, 1500, 200, 300, 300)  # beside the launcher's window
    target = x11.wait_frame(win, lambda f: (f.x, f.y) == (1500, 200), "peer at 1500,200")
    report_presses(wire)
    x, y = press_in(wire, x11, main)
    try:
        wire.send("DRAGOUT %s\t%s\t\t%s" % (os.path.join(REPO, "nosuch.png"), *paths))
        wire.marker()
        for step in range(1, 11):
            x11.pointer_to(x + (target.x + 150 - x) * step // 10,
                           y + (target.y + 150 - y) * step // 10)
        cx, cy = target.x + 150, target.y + 150

        def wiggle():  # a pointer still moving over the window, until the peer has answered
            x11.pointer_to(cx + (x11.pointer()[0] == cx), cy)
            return peer.expect("over", 0.1, required=False) is not None
        wait_for(wiggle, STEP, "the peer to take the drag")
    finally:
        x11.release()
    assert peer.expect("drop").split() == [file_uri(p) for p in paths]
