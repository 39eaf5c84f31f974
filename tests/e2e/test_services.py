"""Permissions, shell, login item, power, sound and share as the backend sees them, against
fakes of GeoClue2, logind, the screen saver and the file manager, the test desktop's PulseAudio,
and desktop folders whose default handler records what it opens."""

import glob
import json
import os
import subprocess
import wave

from fakes.filemanager import FileManager
from fakes.geoclue import GeoClue
from fakes.logind import Logind
from fakes.screensaver import ScreenSaver
from harness import STEP, WINDOW, wait_for
from servicekit import got


def test_permissions_in_a_development_run(desktop, dev_app):
    env = desktop.child_env()
    with GeoClue(env):
        app = dev_app()
        wire = app.backend
        kinds = {"accessibility": "granted", "screen": "granted", "screen-recording": "granted",
                 "microphone": "denied", "automation": "unsupported",
                 "automation:com.example.mail": "unsupported", "contacts": "unsupported",
                 "location": "undetermined"}
        if not glob.glob("/dev/video*"):
            kinds["camera"] = "denied"
        wire.send(*["PERMCHK c%d %s" % (i, kind) for i, kind in enumerate(kinds)])
        assert {kind: got(wire, "c%d" % i)["status"] for i, kind in enumerate(kinds)} == kinds
        # Asking for the location needs a usage description, which only a built app has.
        wire.send("PERMREQ r location", "LOGIN l set 1")
        assert got(wire, "r") == {"status": "undetermined"}
        assert 'needs "permissions": { "location": "why" }' in app.run.messages
        assert got(wire, "l") == {"status": "unsupported", "ok": False, "error": None}
        # A capture source that is not the monitor of an output is a microphone.
        module = subprocess.run(["pactl", "load-module", "module-null-source",
                                 "source_name=kelomic"], env=env, check=True,
                                stdout=subprocess.PIPE, text=True).stdout.strip()
        try:
            wire.send("PERMREQ m microphone")
            assert got(wire, "m") == {"status": "granted"}
        finally:
            subprocess.run(["pactl", "unload-module", module], env=env, check=True)


def test_location_prompt_and_login_item_in_a_package_run(desktop, bundle, launch, tmp):
    config = os.path.join(tmp, "config")
    entry = os.path.join(config, "autostart", "org.kelo.where.desktop")
    with GeoClue(desktop.child_env()) as geoclue:
        app = bundle(name="Where", plist={"CFBundleIdentifier": "org.kelo.where",
                                          "NSLocationUsageDescription": "maps"})
        run = launch(exe=app.exe, env={"XDG_CONFIG_HOME": config})
        wire = app.backend
        wire.wait_connected(WINDOW, run)
        wire.send("PERMREQ 1 location", "PERMREQ 2 location", "PERMCHK 3 location")
        assert got(wire, "3") == {"status": "undetermined"}
        geoclue.wait_call("Start")
        geoclue.decide(True)
        assert got(wire, "1") == got(wire, "2") == {"status": "granted"}
        wire.send("PERMREQ 4 location")
        assert got(wire, "4") == {"status": "granted"}
        assert len(geoclue.calls_of("Start")) == 1
        assert geoclue.desktop_id() == "org.kelo.where"

    def login(rid, op):
        wire.send("LOGIN %s %s" % (rid, op))
        return got(wire, rid)
    assert login("g", "get") == {"status": "disabled", "ok": True, "error": None}
    assert login("on", "set 1") == {"status": "enabled", "ok": True, "error": None}
    with open(entry) as f:
        text = f.read()
    assert "\nExec=%s --open\n" % app.exe in text and "\nName=Where\n" in text
    with open(entry, "a") as f:
        f.write("Hidden=true\n")  # the user switched it off in the session settings
    assert login("g2", "get")["status"] == "disabled"
    assert login("on2", "set 1")["status"] == "enabled"
    assert login("off", "set 0") == {"status": "disabled", "ok": True, "error": None}
    assert not os.path.exists(entry)


def test_shell_open_reveal_and_trash(desktop, dirs, launch, backend, page, tmp):
    # Text files and folders open with the recording handler too.
    opener = os.path.join(os.path.dirname(dirs.config), "opener.sh")
    with open(os.path.join(dirs.data, "applications", "kelo-files.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Files\nExec=%s %%u\n"
                "MimeType=text/plain;inode/directory;\n" % opener)
    with open(os.path.join(dirs.config, "mimeapps.list"), "a") as f:
        f.write("text/plain=kelo-files.desktop\ninode/directory=kelo-files.desktop\n")
    note = os.path.join(tmp, "note.txt")
    with open(note, "w") as f:
        f.write("hello\n")
    ok = {"ok": True, "error": None}
    with FileManager(desktop.child_env()) as files:
        wire = backend()
        run = launch(page, wire.path, env=dirs.env)
        wire.wait_connected(WINDOW, run)
        wire.send("SHELL 1 open\thttps://example.org/x", "SHELL 2 open\t" + note,
                  "SHELL 3 open\t~/kelo-missing", "SHELL 4 open\tkelo-nothing:x",
                  "SHELL 5 reveal\tfile://" + note, "SHELL 6 frobnicate\t" + note)
        assert [got(wire, i) for i in "123456"] == [
            ok, ok, {"ok": False, "error": "no such file"},
            {"ok": False, "error": "no application registered for URL"}, ok,
            {"ok": False, "error": "unknown shell op"}]
        dirs.wait_opened("https://example.org/x")
        dirs.wait_opened(note)  # handlers of local files get their path
        assert files.calls_of("ShowItems") == [(["file://" + note], "")]
    # Without a file manager the folder opens.
    wire.send("SHELL 7 reveal\t" + note)
    assert got(wire, "7") == ok
    dirs.wait_opened(tmp)
    wire.send("SHELL 8 trash\t" + note)
    assert got(wire, "8") == ok and not os.path.exists(note)
    wire.send("SHELL 9 trash\t" + note)
    assert got(wire, "9")["ok"] is False and got(wire, "9")["error"]


def test_power_assertions(desktop, dev_app):
    env = desktop.child_env()
    with Logind(env) as logind, ScreenSaver(env) as saver:
        app = dev_app(None, "Keeper")
        wire = app.backend
        wire.send("POWER 0 off\t0\t", "POWER 1 on\t0\t")
        assert got(wire, "0") == {"ok": True, "active": False}
        assert got(wire, "1") == {"ok": True, "active": True}
        assert logind.calls_of("Inhibit") == [("sleep:idle", "Keeper", "kelojs app", "block")]
        assert not logind.released(0)
        wire.send("POWER 2 on\t1\tplaying\\tvideo")
        assert got(wire, "2") == {"ok": True, "active": True}
        assert logind.released(0) and not logind.released(1)
        assert saver.calls_of("Inhibit") == [("Keeper", "playing\tvideo")] and saver.held == {1}

        # A storm is answered in order and leaves one assertion.
        wire.send(*["POWER s%d %s\t%d\t" % (i, "on" if i % 2 else "off", i % 3 == 0)
                    for i in range(40)])
        got(wire, "s39")
        answers = [line.split()[1] for line in wire.lines if line.startswith("GOT s")]
        assert answers == ["s%d" % i for i in range(40)]
        held = [i for i in range(len(logind.inhibitors)) if not logind.released(i)]
        assert len(held) == 1 and len(saver.held) == 1
        wait_for(lambda: saver.calls_of("UnInhibit"), STEP, "screen saver cookies given back")
        wire.send("QUIT")
        app.run.wait_exit()
        assert logind.released(held[0])


def _silence(path):
    with wave.open(path, "wb") as w:
        w.setparams((1, 2, 8000, 0, "NONE", ""))
        w.writeframes(bytes(2 * 8000 * 20))


def _streams(env, pid):
    out = subprocess.run(["pactl", "-f", "json", "list", "sink-inputs"], env=env, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    return {s["index"] for s in json.loads(out or "[]")
            if s["properties"].get("application.process.id") == str(pid)}


def test_sounds_replace_each_other(desktop, dev_app, tmp):
    env = desktop.child_env()
    app = dev_app()
    wire = app.backend
    first, second = os.path.join(tmp, "a.wav"), os.path.join(tmp, "b.wav")
    _silence(first), _silence(second)
    wire.send("SOUND 1 " + first)
    assert got(wire, "1") == {"ok": True}
    playing = wait_for(lambda: _streams(env, app.run.pid), STEP, "the sound to play")
    wire.send("SOUND 2 NoSuchSound")
    assert got(wire, "2") == {"ok": False}
    assert _streams(env, app.run.pid) == playing
    wire.send("SOUND 3 " + second)
    assert got(wire, "3") == {"ok": True}
    wait_for(lambda: _streams(env, app.run.pid) - playing and
             not _streams(env, app.run.pid) & playing, STEP, "the first sound to stop")
    wire.send("SOUND 4 Glass", "SOUND 5")
    assert got(wire, "4") == got(wire, "5") == {"ok": True}


def test_share_menu(desktop, dirs, launch, backend, page, x11):
    env = desktop.child_env()
    wire = backend()
    run = launch(page, wire.path, env=dirs.env)
    x11.wait_window(run)

    def choose(down):
        def visible():
            return set(subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(run.pid)],
                                      env=env, stdout=subprocess.PIPE, text=True).stdout.split())
        before = visible()
        wire.send("SHARE 20\t30\thello there\thttps://example.org/s\t/tmp/kelo shared.txt")
        wait_for(lambda: visible() - before, STEP, "the share menu")
        subprocess.run(["xdotool", "key"] + ["Down"] * down + ["Return"], env=env, check=True)
    choose(2)
    dirs.wait_opened("mailto:?body=hello%20there%0Ahttps%3A%2F%2Fexample.org%2Fs")
    choose(1)
    read = ("import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk, Gdk; "
            "print(Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).wait_for_text())")
    wait_for(lambda: subprocess.run(["/usr/bin/python3", "-c", read], env=env,
                                    stdout=subprocess.PIPE, text=True).stdout ==
             "hello there\nhttps://example.org/s\n/tmp/kelo shared.txt\n", STEP,
             "the items on the clipboard")

