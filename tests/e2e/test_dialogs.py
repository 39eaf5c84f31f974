"""Native dialogs on request (DLG) and the page's own dialogs, answered by driving them with
the keyboard through XTest, as a user would."""

import json
import os

from harness import STEP, WINDOW
from keyboard import wait_dialog, wait_gone, xdotool

APP = "Dlg App"

PAGE = """<!doctype html><meta charset=utf-8><title>dialogs</title>
<style>html, body { margin: 0; height: 100%; }
input { position: fixed; left: 0; top: 0; width: 100%; height: 100%; opacity: 0; }</style>
<input type=file multiple id=f>
<script>
function report(name, value) {
  return window.__invoke(JSON.stringify({method: 'test.report',
                                         params: {name: name, value: value}}));
}
f.onchange = function () { report('files', Array.from(f.files).map(x => x.name)); };
function later(name, fn) { setTimeout(function () { report(name, fn()); }, 0); }
report('loaded', true);
</script>"""


class Dialogs:
    def __init__(self, dev_app, x11, desktop, tmp):
        path = os.path.join(tmp, "page.html")
        with open(path, "w") as f:
            f.write(PAGE)
        self.path, self.x11, self.desktop = path, x11, desktop
        self.app = dev_app(path, APP)
        self.b = self.app.backend
        self.report("loaded", 0)

    def report(self, name, start, timeout=WINDOW):
        line = self.b.wait_line(lambda l: '\\"name\\":\\"%s\\"' % name in l, timeout, start)
        return json.loads(json.loads(line.split(" ", 2)[2])[0])["params"].get("value")

    def dlg(self, qid, kind, *args, title=APP):
        """Sends a DLG and waits for its dialog to have the focus."""
        self.n, self.qid = len(self.b.lines), qid
        self.b.send("DLG q%s %s" % (qid, "\t".join((kind,) + args)))
        self.dialog = wait_dialog(self.x11, self.app, title)

    def answer(self, timeout=STEP):
        line = self.b.wait_line("GOT %s " % self.qid, timeout, self.n)
        wait_gone(self.x11, self.dialog)
        return json.loads(line.split(" ", 2)[2])

    def enter(self, answer=None):
        """Presses Return until the dialog answers: a typed file name may have its completion
        list open, which takes the first Return."""
        answer = answer or self.answer
        for _ in range(4):
            self.keys("Return")
            try:
                return answer(1.0)
            except AssertionError:
                pass
        return answer(STEP)

    def keys(self, *combos):
        for combo in combos:
            xdotool(self.desktop, "key", "--clearmodifiers", combo)

    def type(self, text):
        xdotool(self.desktop, "type", "--delay", "20", text)


def test_alert_confirm_and_prompt_on_request_and_from_the_page(dev_app, x11, desktop, tmp):
    d = Dialogs(dev_app, x11, desktop, tmp)
    for qid, args, keys, text, want in (
            ("1", ("alert", "Hello", "Some detail"), ["Escape"], "", True),
            ("2", ("confirm", "Sure?"), ["Escape"], "", False),
            ("3", ("confirm", "", "", "Yes", "No"), ["Return"], "", True),
            ("4", ("prompt", "Name?", "Bob"), ["Return"], "", "Bob"),
            ("5", ("prompt", "Name?", "Bob"), ["ctrl+a", "Return"], "Alice", "Alice"),
            ("6", ("prompt", "Name?"), ["Escape"], "", None),
            ("7", ("prompt", "Big", "x" * (1 << 20)), ["Return"], "", "x" * (1 << 20))):
        d.dlg(qid, *args)
        if text:
            d.keys(keys.pop(0))
            d.type(text)
        d.keys(*keys)
        assert d.answer() == want, args

    # The page's own: a local page's dialogs carry the app's name.
    for name, script, text, want in (("a", "alert('hi')", "", None),
                                     ("c", "confirm('sure?')", "", True),
                                     ("p", "prompt('name?', 'Bob')", "Eve", "BobEve")):
        n = len(d.b.lines)
        d.b.send("EVAL later('%s', function () { return %s; })" % (name, script))
        dialog = wait_dialog(x11, d.app, APP)
        if text:
            d.keys("End")
            d.type(text)
        d.keys("Return")
        assert d.report(name, n) == want
        wait_gone(x11, dialog)

    # A dialog of a page call goes when its window closes, and its answer with it.
    n = len(d.b.lines)
    d.b.send("WINOPEN side\t%s\tSide" % d.path)
    d.report("loaded", n)
    d.b.send("EVAL@side report('ask', 1)")
    call = d.b.wait_line(lambda l: l.startswith("CALL side:") and "ask" in l, STEP, n).split()[1]
    d.b.send("DLG %s alert\tGoing" % call)
    dialog = wait_dialog(x11, d.app, APP)
    d.b.send("WINCLOSE side")
    wait_gone(x11, dialog)
    d.dlg("8", "alert")
    d.keys("Return")
    assert d.answer() is True


def test_file_dialogs_on_request_and_the_page_file_input(dev_app, x11, desktop, tmp):
    d = Dialogs(dev_app, x11, desktop, tmp)
    folder = os.path.join(tmp, "files")
    os.mkdir(folder)
    for name in ("a.txt", "b.jpeg"):
        open(os.path.join(folder, name), "w").close()

    d.dlg("1", "save", "md,txt", "notes.md", title="Save")
    assert d.enter().endswith("/notes.md")
    d.dlg("2", "save", title="Save")
    d.keys("ctrl+a")
    d.type(os.path.join(tmp, "out.txt"))
    assert d.enter() == os.path.join(tmp, "out.txt")
    d.dlg("3", "open", title="Open")
    d.keys("Escape")
    assert d.answer() is None
    # "jpg" allows the ".jpeg" file.
    a, b = os.path.join(folder, "a.txt"), os.path.join(folder, "b.jpeg")
    for qid, kind, path, want in (("4", "open", b, b), ("5", "openmulti", a, [a]),
                                  ("6", "dir", folder, folder)):
        d.dlg(qid, kind, "jpg", title="Select Folder" if kind == "dir" else "Open")
        d.keys("ctrl+l")
        d.type(path)
        assert d.enter() == want

    # The page's file input.
    geo = x11.geometry(d.app.win)
    n = len(d.b.lines)
    x11.pointer_to(geo[0] + 50, geo[1] + 50)
    x11.press()
    x11.release()
    wait_dialog(x11, d.app, "Open")
    d.keys("ctrl+l")
    d.type(a)
    assert d.enter(lambda timeout: d.report("files", n, timeout)) == ["a.txt"]
