"""Native dialogs on request (DLG) and the page's own dialogs, answered by driving them with
the keyboard through XTest, as a user would."""

import json
import os

from harness import STEP, WINDOW, LoopbackServer
from keyboard import press, wait_dialog, wait_gone, xdotool

APP = "Dlg App"

PAGE = """<!doctype html><meta charset=utf-8><title>dialogs</title>
<style>html, body { margin: 0; height: 100%; }
input { position: fixed; left: 0; top: 0; width: 100%; height: 100%; opacity: 0; }</style>
<input type=file multiple id=f>
<script>
function report(name, value) {
  return window.__invoke(JSON.stringify({method: 'test.report', params: {name: name,
                                                                         value: value}}));
}
f.onchange = function () { report('files', Array.from(f.files).map(function (x) {
  return x.name; })); };
function later(name, fn) { setTimeout(function () { report(name, fn()); }, 0); }
function ask() { return report('ask', null); }
report('loaded', true);
</script>"""


class Dialogs:
    def __init__(self, app, x11, desktop):
        self.app, self.b, self.x11, self.desktop = app, app.backend, x11, desktop

    def report(self, name, start):
        line = self.b.wait_line(lambda l: '\\"name\\":\\"%s\\"' % name in l, WINDOW, start)
        return json.loads(json.loads(line.split(" ", 2)[2])[0])["params"]["value"]

    def dlg(self, qid, kind, *args, title=APP):
        """Sends a DLG and returns its dialog once it has the focus."""
        self.n = len(self.b.lines)
        self.qid = qid
        self.b.send("DLG q%s %s" % (qid, "\t".join((kind,) + args)))
        self.dialog = wait_dialog(self.x11, self.app.run, title)

    def answer(self, timeout=STEP):
        """The answer; the dialog has gone by then."""
        line = self.b.wait_line("GOT %s " % self.qid, timeout, self.n)
        wait_gone(self.x11, self.dialog)
        return json.loads(line.split(" ", 2)[2])

    def enter(self):
        """Presses Return until the dialog answers: a file name being typed may have its
        completion list open, which takes the first Return."""
        for _ in range(4):
            self.keys("Return")
            try:
                return self.answer(1.0)
            except AssertionError:
                pass
        return self.answer()

    def keys(self, *combos):
        for combo in combos:
            xdotool(self.desktop, "key", "--clearmodifiers", combo)

    def type(self, text):
        xdotool(self.desktop, "type", "--delay", "20", text)


def start(dev_app, x11, desktop, tmp, name="page.html"):
    path = os.path.join(tmp, name)
    with open(path, "w") as f:
        f.write(PAGE)
    app = dev_app(path, APP)
    d = Dialogs(app, x11, desktop)
    d.report("loaded", 0)
    return d


def test_alert_confirm_and_prompt(dev_app, x11, desktop, tmp):
    d = start(dev_app, x11, desktop, tmp)
    d.dlg("1", "alert", "Hello", "Some detail")
    d.keys("Escape")
    assert d.answer() is True
    d.dlg("2", "confirm", "Sure?")
    d.keys("Escape")
    assert d.answer() is False
    d.dlg("3", "confirm", "", "", "Yes", "No")
    d.keys("Return")
    assert d.answer() is True
    d.dlg("4", "prompt", "Name?", "Bob")
    d.keys("Return")
    assert d.answer() == "Bob"
    d.dlg("5", "prompt", "Name?", "Bob")
    d.type("Alice")
    d.keys("Return")
    assert d.answer() == "Alice"
    d.dlg("6", "prompt", "Name?")
    d.keys("Escape")
    assert d.answer() is None
    # Megabytes of text: shown cut, answered whole.
    big = "x" * (1 << 20)
    d.dlg("7", "alert", big, big, big)
    d.keys("Return")
    assert d.answer() is True
    d.dlg("8", "prompt", "Big", big)
    d.keys("Return")
    assert d.answer() == big

    # A dialog of a page call goes when its window closes; its answer with it.
    side = os.path.join(tmp, "side.html")
    with open(side, "w") as f:
        f.write(PAGE)
    n = len(d.b.lines)
    d.b.send("WINOPEN side\t%s\tSide" % side)
    d.report("loaded", n)
    n = len(d.b.lines)
    d.b.send("EVAL@side ask()")
    call = d.b.wait_line(lambda l: l.startswith("CALL side:") and "ask" in l, STEP, n).split()[1]
    d.b.send("DLG %s alert\tGoing" % call)
    dialog = wait_dialog(d.x11, d.app.run, APP)
    d.b.send("WINCLOSE side")
    wait_gone(d.x11, dialog)
    d.dlg("9", "alert")
    d.keys("Return")
    assert d.answer() is True


def test_file_dialogs(dev_app, x11, desktop, tmp):
    d = start(dev_app, x11, desktop, tmp)
    folder = os.path.join(tmp, "files")
    os.mkdir(folder)
    for name in ("a.txt", "b.jpeg"):
        open(os.path.join(folder, name), "w").close()

    d.dlg("1", "save", "md,txt", "notes.md", title="Save")
    assert d.enter().endswith("/notes.md")
    d.dlg("2", "save", "", "", title="Save")
    d.type(os.path.join(tmp, "out.txt"))
    assert d.enter() == os.path.join(tmp, "out.txt")

    d.dlg("3", "open", "jpg", title="Open")
    d.keys("ctrl+l")
    d.type(os.path.join(folder, "b.jpeg"))
    assert d.enter() == os.path.join(folder, "b.jpeg")
    d.dlg("4", "open", title="Open")
    d.keys("Escape")
    assert d.answer() is None

    d.dlg("5", "openmulti", title="Open")
    d.keys("ctrl+l")
    d.type(os.path.join(folder, "a.txt"))
    assert d.enter() == [os.path.join(folder, "a.txt")]

    d.dlg("6", "dir", title="Select Folder")
    d.keys("ctrl+l")
    d.type(folder)
    import subprocess; subprocess.run(["import", "-window", "root", "/tmp/shot1.png"], env=desktop.child_env())
    d.keys("Return")
    import time; time.sleep(1)
    subprocess.run(["import", "-window", "root", "/tmp/shot2.png"], env=desktop.child_env())
    assert d.enter() == folder
