"""Speech and now playing as the backend sees them: SAY answered in order by the desktop's speech
service (speech-dispatcher speaking with espeak-ng into the test desktop's null sink), SAYSTOP
failing what is pending, VOICES, and both without a speech service; NOWPLAYING seen by the
desktop as an MPRIS player, whose controls come back as MEDIAKEY lines.
"""

import json
import os
import socket
import subprocess

import pytest
from gi.repository import Gio, GLib

from fakes import connect
from harness import STEP, WINDOW, wait_for

SPEECH = 30.0 * STEP / 5  # the service's first answers: it loads its voices first
PLAYER_PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"


def _answers_ssip(path):
    try:
        with socket.socket(socket.AF_UNIX) as s:
            s.settimeout(1)
            s.connect(path)
            s.sendall(b"SET self CLIENT_NAME test:ready:main\r\n")
            return s.recv(64).startswith(b"208")
    except OSError:
        return False


@pytest.fixture(scope="module")
def speechd(desktop):
    """speech-dispatcher in the desktop's runtime folder, speaking into its sound server."""
    env = desktop.child_env()
    path = os.path.join(env["XDG_RUNTIME_DIR"], "speech-dispatcher", "speechd.sock")
    proc = subprocess.Popen(["speech-dispatcher", "--run-single", "--timeout", "0",
                             "--socket-path", path],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: proc.poll() is None and _answers_ssip(path), SPEECH,
                 lambda: "speech-dispatcher to answer (status %s)" % proc.poll())
        yield proc
    finally:
        proc.terminate()
        proc.wait(STEP)


@pytest.fixture
def app(launch, backend, page):
    def start(*args, env=None):
        b = backend()
        run = launch(page, b.path, *args, env=dict(env or {}, KELOJS_NO_MAIN_WINDOW="1"))
        b.wait_connected(WINDOW, run)
        return b
    return start


def replies(b, ids, timeout=SPEECH):
    """The GOT lines of the request ids, in arrival order, once each id has one."""
    def got():
        lines = [line for line in b.lines
                 if line.startswith("GOT ") and line.split(" ")[1] in ids]
        return lines if {line.split(" ")[1] for line in lines} == set(ids) else None
    return wait_for(got, timeout, lambda: "answers to %s; lines: %r" % (ids, b.lines))


def test_says_are_answered_in_order_and_saystop_fails_what_is_pending(speechd, app):
    b = app()
    b.send("VOICES v", "SAY a one\t\t1", "SAY b zwei\tde\t1", "SAY c \t\t",
           "SAY d three\tEnglish (Great Britain)")
    assert replies(b, ["a", "b", "c", "d"]) == [
        'GOT a {"ok":true}', 'GOT b {"ok":true}', 'GOT c {"ok":true}', 'GOT d {"ok":true}']

    b.send("SAY e " + "words " * 200_000, "SAY f more", "SAYSTOP", "SAY g after\t\t1")  # 1.2 MB
    assert replies(b, ["e", "f", "g"]) == [
        'GOT e {"ok":false}', 'GOT f {"ok":false}', 'GOT g {"ok":true}']

    voices = json.loads(replies(b, ["v"])[0].split(" ", 2)[2])["voices"]
    british = [v for v in voices if v["lang"] == "en-GB"]
    assert british and british[0] == {"id": british[0]["name"], "name": british[0]["name"],
                                      "lang": "en-GB", "quality": "default"}
    assert not any("+" in v["name"] for v in voices)  # variants are left out
    assert all(sum(line.startswith("GOT %s " % i) for line in b.lines) == 1 for i in "abcdefgv")

    b.send("SAY h " + "words " * 2000, "QUIT")  # still speaking when the launcher quits
    assert replies(b, ["h"]) == ['GOT h {"ok":false}']


def test_without_a_speech_service_say_fails_and_no_voices_are_listed(app, tmp):
    config = os.path.join(tmp, "config", "speech-dispatcher")
    os.makedirs(config)
    with open(os.path.join(config, "speechd.conf"), "w") as f:
        f.write("DisableAutoSpawn\n")  # no service may start on demand either
    b = app(env={"XDG_CONFIG_HOME": os.path.join(tmp, "config"),
                 "SPEECHD_ADDRESS": "unix_socket:" + os.path.join(tmp, "none.sock")})
    b.send("SAY a hello", "VOICES v", "SAYSTOP", "SAY b again")
    assert replies(b, ["a", "b"], STEP) == ['GOT a {"ok":false}', 'GOT b {"ok":false}']
    assert replies(b, ["v"], STEP) == ['GOT v {"ok":true,"voices":[]}']


def _call(bus, name, iface, method, args=None):
    return bus.call_sync(name, PLAYER_PATH, iface, method, args, None,
                         Gio.DBusCallFlags.NONE, int(STEP * 1000), None).unpack()


def test_now_playing_is_an_mpris_player_whose_controls_are_media_keys(app, desktop):
    env = desktop.child_env()
    bus = connect(env)
    # Another player holds the app's name: the launcher's takes the name with its pid.
    plain = "org.mpris.MediaPlayer2.kelojs.Tune_Box"
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (plain, 4)), None, 0, -1, None)
    b = app("Tune Box")
    b.send('NOWPLAYING {"title":"Song","artist":"Band","album":"LP","duration":200,'
           '"elapsed":12,"playing":true}')

    def owner():
        names = _call(bus, "org.freedesktop.DBus", "org.freedesktop.DBus", "ListNames")[0]
        return next((n for n in names if n.startswith(plain + ".instance")), None)
    name = wait_for(owner, STEP, "the player on the bus")

    def player():
        return _call(bus, name, "org.freedesktop.DBus.Properties", "GetAll",
                     GLib.Variant("(s)", (PLAYER,)))[0]
    props = player()
    meta = props["Metadata"]
    assert (props["PlaybackStatus"], meta["xesam:title"], meta["xesam:artist"],
            meta["xesam:album"], meta["mpris:length"]) == ("Playing", "Song", ["Band"], "LP",
                                                           200_000_000)
    assert 12_000_000 <= props["Position"] < 200_000_000

    keys = [("Play", "play"), ("Pause", "pause"), ("PlayPause", "toggle"), ("Next", "next"),
            ("Previous", "previous"), ("Stop", "pause")]
    for method, key in keys:
        start = len(b.lines)
        _call(bus, name, PLAYER, method)
        b.wait_line("MEDIAKEY " + key, start=start)
    b.send('NOWPLAYING {"title":"Song","artist":"Band","album":"LP","duration":200,'
           '"elapsed":40,"playing":false}')
    wait_for(lambda: player()["PlaybackStatus"] == "Paused", STEP, "the paused state")
    start = len(b.lines)
    _call(bus, name, PLAYER, "Seek", GLib.Variant("(x)", (1_234_567,)))
    _call(bus, name, PLAYER, "SetPosition",
          GLib.Variant("(ox)", (meta["mpris:trackid"], 30_500_000)))
    _call(bus, name, PLAYER, "SetPosition", GLib.Variant("(ox)", ("/stale", 1)))
    _call(bus, name, PLAYER, "Seek", GLib.Variant("(x)", (10**12,)))  # past the end
    assert b.wait_lines(start + 3)[start:] == [
        "MEDIAKEY seek\t41.235", "MEDIAKEY seek\t30.500", "MEDIAKEY next"]

    b.send('NOWPLAYING {"title":5,"artist":["x"],"playing":"yes","duration":"long"}')
    wait_for(lambda: player()["Metadata"].keys() == {"mpris:trackid"}, STEP,
             "a track whose values all had the wrong type")
    assert player()["PlaybackStatus"] == "Paused"
    b.send("NOWPLAYING clear")
    wait_for(lambda: player()["PlaybackStatus"] == "Stopped", STEP, "the stopped state")
    assert player()["Metadata"] == {}
