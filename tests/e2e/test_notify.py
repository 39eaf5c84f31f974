"""Notifications as the backend and the desktop's notification server see them: NOTIFY lines
waiting for the server's first answer and then shown in order; clicks, actions and replies
(inline where the server offers it, else in the launcher's own dialog); a reused id replacing
its notification; notify-send, and then nothing, when no server answers. All in development
runs: notifications need no app bundle here."""

import json
import os
import re
import subprocess
import sys

from fakes.notifications import Notifications
from harness import STEP, wait_for
from servicekit import got

ACTIONS = ('[{"id":"open","title":"Open it"},{"id":"re","title":"Reply","reply":true,'
           '"placeholder":"Type here","buttonTitle":"Send it"}]')


def notify(nid, title, body="", subtitle="", sound="", actions=""):
    return "NOTIFY " + "\t".join([nid, title, body, subtitle, sound, actions.replace("\\", "\\\\")])


def test_shown_in_order_after_the_first_answer_then_clicks_and_replies(desktop, dev_app, x11):
    with Notifications(desktop.child_env(), hold=True) as server:
        app = dev_app(env={"KELOJS_NOTIF_DEBUG": "1"})
        wire = app.backend
        wire.send(notify("a", "First", "Body <b>", "Sub", "1", ACTIONS), notify("", "Second"),
                  "PERMCHK p1 notifications")
        server.wait_call("GetCapabilities")
        assert server.calls_of("Notify") == []
        server.answer()
        first, second = server.wait_notes(2)
        assert got(wire, "p1") == {"status": "granted"}
        assert (first["summary"], first["body"]) == ("First", "<b>Sub</b>\nBody &lt;b&gt;")
        assert first["actions"] == ["default", "Open", "open", "Open it", "re", "Reply"]
        assert first["hints"]["sound-name"] == "message-new-instant"
        assert second["summary"] == "Second" and "sound-name" not in second["hints"]

        server.invoke(first["id"], "default")
        server.invoke(first["id"], "open")
        server.invoke(second["id"], "default")
        wire.wait_line("NOTIFYCLICK a")
        wire.wait_line("NOTIFYACTION a\topen\t")
        wire.wait_line(lambda line: re.fullmatch(r"NOTIFYCLICK [0-9A-F-]{36}", line))

        # No inline reply here: the launcher asks for the text in a dialog of its own.
        server.invoke(first["id"], "re")
        dialog = x11.wait_window(app.run, title="First")
        subprocess.run(["xdotool", "windowactivate", "--sync", str(dialog.id), "type", "--delay",
                        "20", "see you"], env=desktop.child_env(), check=True)
        subprocess.run(["xdotool", "key", "Return"], env=desktop.child_env(), check=True)
        wire.wait_line("NOTIFYACTION a\tre\tsee you")

        wire.send(notify("a", "Again"))
        assert server.wait_notes(3)[2]["replaces"] == first["id"]
        assert "DBG auth err=none status=2" in app.run.stderr
        wait_for(lambda: app.run.stderr.count("DBG deliver err=none") == 3, STEP,
                 lambda: "three deliveries reported; " + app.run.describe())


def test_inline_reply_and_a_burst(desktop, dev_app):
    with Notifications(desktop.child_env(), inline_reply=True) as server:
        wire = dev_app().backend
        wire.send(notify("b", "Chat", actions=ACTIONS))
        note = server.wait_notes(1)[0]
        assert note["actions"][-2:] == ["inline-reply", "Reply"]
        assert note["hints"]["x-kde-reply-placeholder-text"] == "Type here"
        assert note["hints"]["x-kde-reply-submit-button-text"] == "Send it"
        server.reply(note["id"], "ok\tthen\nbye")
        wire.wait_line("NOTIFYACTION b\tre\tok\\tthen\\nbye")

        wire.send(*[notify("", "n%d" % i, actions="[" * i) for i in range(1000)])
        notes = server.wait_notes(1001, timeout=60)
        assert [n["summary"] for n in notes[1:]] == ["n%d" % i for i in range(1000)]


def test_notify_send_then_nothing_without_a_server(desktop, dev_app, tmp):
    # A notify-send that records its arguments, then removes itself.
    bin_dir, log = os.path.join(tmp, "bin"), os.path.join(tmp, "notify-send.json")
    os.mkdir(bin_dir)
    with open(os.path.join(bin_dir, "notify-send"), "w") as f:
        f.write("#!%s\nimport json, os, sys\njson.dump(sys.argv[1:], open(%r, 'w'))\n"
                "os.rename(%r, %r)\nos.remove(sys.argv[0])\n"
                % (sys.executable, log + ".part", log + ".part", log))
    os.chmod(f.name, 0o755)
    app = dev_app(None, "Notes", env={"PATH": bin_dir, "KELOJS_NOTIF_DEBUG": "1"})
    app.backend.send(notify("x", "Title", "Body", "Sub", "1", ACTIONS), "PERMCHK p notifications")
    wait_for(lambda: os.path.exists(log), STEP, "notify-send to run")
    with open(log) as f:
        assert json.load(f) == ["--app-name=Notes", "--", "Title", "Body\nSub"]
    assert got(app.backend, "p") == {"status": "denied"}
    app.backend.send(notify("y", "Lost"))
    wait_for(lambda: "kelojs: notification dropped" in app.run.messages, STEP,
             lambda: "the drop to be reported; " + app.run.describe())
    assert re.search(r"DBG auth err=.+ status=4", app.run.stderr)
