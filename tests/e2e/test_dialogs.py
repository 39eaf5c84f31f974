"""Native dialogs on request (DLG) and the page's own dialogs, answered by driving them with
the keyboard through XTest, as a user would."""

import json
import os
import subprocess

from harness import STEP, WINDOW, wait_for

APP = "Dlg App"

PAGE = """<!doctype html><meta charset=utf-8><title>dialogs</title>
<style>input { position: fixed; left: 0; top: 0; width: 100%; height: 100%; opacity: 0; }</style>
<input type=file multiple id=f>
<script>
function report(name, value) {
  return window.__invoke(JSON.stringify({method: 'test.report', params: {name, value}}));
}
f.onchange = function () { report('files', Array.from(f.files).map(x => x.name)); };
function later(name, fn) { setTimeout(function () { report(name, fn()); }, 0); }
report('loaded', true);
</script>"""


class Dialogs:
    def __init__(self, dev_app, x11, desktop, tmp):
        self.path = os.path.join(tmp, "page.html")
        with open(self.path, "w") as f:
            f.write(PAGE)
        self.x11, self.desktop = x11, desktop
        self.app = dev_app(self.path, APP)
        self.b = self.app.backend
        self.report("loaded", 0)

    def report(self, name, start, timeout=WINDOW):
        line = self.b.wait_line(lambda l: '\\"name\\":\\"%s\\"' % name in l, timeout, start)
        return json.loads(json.loads(line.split(" ", 2)[2])[0])["params"].get("value")

    def wait(self, title):  # the focused dialog titled `title`
        x11 = self.x11
        return wait_for(lambda: next((w for w in x11.client_windows(self.app.run.pid)
                                      if w.id != self.app.win.id and x11.title(w) == title and
                                      x11.is_viewable(w) and
                                      x11._prop(x11.root, "_NET_ACTIVE_WINDOW")[0] == w.id), None),
                        WINDOW, "a focused dialog titled %r" % title)

    def gone(self, dialog):
        wait_for(lambda: not self.x11.is_viewable(dialog), STEP, "the dialog to close")

    def dlg(self, qid, kind, *args, title=APP):
        self.n, self.qid = len(self.b.lines), qid
        self.b.send("DLG q%s %s" % (qid, "\t".join((kind,) + args)))
        self.dialog = self.wait(title)

    def answer(self, timeout=STEP):
        line = self.b.wait_line("GOT %s " % self.qid, timeout, self.n)
        self.gone(self.dialog)
        return json.loads(line.split(" ", 2)[2])

    def enter(self, answer=None):
        """Presses Return until the dialog answers: a typed file name may have its completion
        list open, which takes the first Return."""
        for _ in range(3):
            self.steps("Return")
            try:
                return (answer or self.answer)(2.0)
            except AssertionError:
                pass
        return (answer or self.answer)(WINDOW)

    def steps(self, *steps):
        """Presses keys, or types the text of steps starting with "="."""
        for step in steps:
            args = (["type", "--delay", "20", step[1:]] if step.startswith("=")
                    else ["key", "--clearmodifiers", step])
            subprocess.run(["xdotool"] + args, env=self.desktop.child_env(), check=True)


def test_alert_confirm_and_prompt_on_request_and_from_the_page(dev_app, x11, desktop, tmp):
    d = Dialogs(dev_app, x11, desktop, tmp)
    for qid, args, steps, want in (
            ("1", ("alert", "Hello", "Some detail"), ["Escape"], True),
            ("2", ("confirm", "Sure?"), ["Escape"], False),
            ("3", ("confirm", "", "", "Yes", "No"), ["Return"], True),
            ("4", ("prompt", "Name?", "Bob"), ["Return"], "Bob"),
            ("5", ("prompt", "Name?", "Bob"), ["ctrl+a", "=Alice", "Return"], "Alice"),
            ("6", ("prompt", "Name?"), ["Escape"], None),
            ("7", ("prompt", "Big", "x" * (1 << 20)), ["Return"], "x" * (1 << 20))):
        d.dlg(qid, *args)
        d.steps(*steps)
        assert d.answer() == want, args

    # The page's own: a local page's dialogs carry the app's name.
    for name, script, steps, want in (("a", "alert('hi')", ["Return"], None),
                                      ("c", "confirm('sure?')", ["Return"], True),
                                      ("p", "prompt('name?', 'Bob')", ["End", "=Eve", "Return"],
                                       "BobEve")):
        n = len(d.b.lines)
        d.b.send("EVAL later('%s', function () { return %s; })" % (name, script))
        dialog = d.wait(APP)
        d.steps(*steps)
        assert d.report(name, n) == want
        d.gone(dialog)

    # A dialog of a page call goes when its window closes, and its answer with it.
    n = len(d.b.lines)
    d.b.send("WINOPEN side\t%s\tSide" % d.path)
    d.report("loaded", n)
    d.b.send("EVAL@side report('ask', 1)")
    call = d.b.wait_line(lambda l: l.startswith("CALL side:") and "ask" in l, STEP, n).split()[1]
    d.b.send("DLG %s alert\tGoing" % call)
    dialog = d.wait(APP)
    d.b.send("WINCLOSE side")
    d.gone(dialog)
    d.dlg("8", "confirm")  # the launcher quitting answers an open dialog
    d.b.send("QUIT")
    assert d.answer() is False


def test_file_dialogs_on_request_and_the_page_file_input(dev_app, x11, desktop, tmp):
    d = Dialogs(dev_app, x11, desktop, tmp)
    folder = os.path.join(tmp, "files")
    os.mkdir(folder)
    for name in ("a.txt", "b.jpeg"):
        open(os.path.join(folder, name), "w").close()

    d.dlg("1", "save", "md,txt", "notes.md", title="Save")
    assert d.enter().endswith("/notes.md")
    d.dlg("3", "open", title="Open")
    d.steps("Escape")
    assert d.answer() is None
    # "jpg" allows the ".jpeg" file.
    a, b = os.path.join(folder, "a.txt"), os.path.join(folder, "b.jpeg")
    for qid, kind, path, want in (("4", "open", b, b), ("5", "openmulti", a, [a]),
                                  ("6", "dir", folder, folder)):
        d.dlg(qid, kind, "jpg", title="Select Folder" if kind == "dir" else "Open")
        d.steps("ctrl+l", "=" + path)
        assert d.enter() == want

    # The page's file input.
    geo = x11.geometry(d.app.win)
    n = len(d.b.lines)
    x11.pointer_to(geo[0] + 50, geo[1] + 50)
    x11.press()
    x11.release()
    d.wait("Open")
    d.steps("ctrl+l", "=" + a)
    assert d.enter(lambda timeout: d.report("files", n, timeout)) == ["a.txt"]
