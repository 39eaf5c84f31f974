"""The bundle tool: the Notes example bundled, installed, run and uninstalled."""

import glob
import json
import os
import subprocess
import sys

from harness import REPO, WINDOW
from peer import Peer

ID = "org.kelojs.Notes"


def tool(*args):
    return subprocess.run([sys.executable, os.path.join(REPO, "scripts", "kelojs-bundle")]
                          + list(args), capture_output=True, text=True)


def test_bad_manifests_are_refused_naming_the_field(tmp):
    for manifest, error in [({"name": "X", "version": "1"}, '"id" is missing'),
                            ({"name": "X", "id": "a.b", "version": "1", "panel": "1"},
                             '"panel" must be true or false')]:
        with open(os.path.join(tmp, "kelojs.json"), "w") as f:
            json.dump(manifest, f)
        r = tool(tmp, "-o", tmp)
        assert r.returncode == 1 and error in r.stderr and not glob.glob(tmp + "/*.app"), r.stderr


def test_notes_installs_runs_and_uninstalls(launcher_bin, launch, desktop, x11, tmp):
    share, data = os.path.join(tmp, "share"), os.path.join(tmp, ID)
    assert tool(os.path.join(REPO, "examples/notes"), "--install", "--prefix", share,
                "--launcher", launcher_bin).returncode == 0
    app = os.path.join(share, "kelojs/apps/Notes.app")
    exe = os.path.join(app, "Contents/MacOS/kelojs-launcher")
    entry = os.path.join(share, "applications", ID + ".desktop")
    with open(entry) as f:
        text = f.read()
    assert "\nExec=%s --open %%U\n" % exe in text and "\nStartupWMClass=%s\n" % ID in text
    assert os.path.isfile(os.path.join(share, "icons/hicolor/64x64/apps", ID + ".png"))

    os.makedirs(data)
    with open(os.path.join(data, "notes.json"), "w") as f:
        json.dump({"notes": [{"id": 1, "text": "Groceries", "updated": 0}]}, f)
    peer = Peer(desktop.child_env())
    try:
        peer.own({"UTF8_STRING": b"Buy milk\nand bread"})
        run = launch(exe=exe, env={"XDG_DATA_HOME": tmp})
        # The backend titles the window after the saved note once its menus are up.
        win = x11.wait_window(run, title="Groceries \u2014 Notes")
        assert win.get_wm_class() == (ID, ID) and x11.icons(win)
        subprocess.run(["xdotool", "key", "ctrl+shift+v"], env=desktop.child_env(), check=True)
        x11.wait_title(win, "Buy milk \u2014 Notes", WINDOW)  # Note > New Note from Clipboard
    finally:
        peer.close()
    with open(os.path.join(data, "notes.json")) as f:
        assert [n["text"] for n in json.load(f)["notes"]] == ["Buy milk\nand bread", "Groceries"]
    assert tool("--uninstall", ID, "--prefix", share).returncode == 0
    assert not os.path.exists(entry) and not os.path.exists(app)
