"""FIND and STOPFIND: the page's find steps through the occurrences, wrapping at the ends, and
every occurrence of the visible text is counted."""

import json
import os

from harness import WINDOW

PAGE = """<!doctype html><meta charset=utf-8><title>find</title>
<p>banana</p><p>Bob BOB bob</p><p>aaaa</p>
<script>var hidden = "banana aaaa bob";</script><style>.banana { color: red }</style>
<noscript>banana</noscript>
<script>
window.__invoke(JSON.stringify({method: 'test.loaded'}));
function ask() {
  window.__invoke(JSON.stringify({method: 'test.ask'})).then(function (v) {
    window.__invoke(JSON.stringify({method: 'test.answer', params: v}));
  });
}
</script>"""


def test_find_steps_through_the_occurrences_and_counts_them(launch, backend, tmp):
    path = os.path.join(tmp, "find.html")
    with open(path, "w") as f:
        f.write(PAGE)
    b = backend()
    run = launch(path, b.path)
    b.wait_connected(WINDOW, run)
    b.wait_line(lambda l: "test.loaded" in l, WINDOW)

    def find(*args):
        n = len(b.lines)
        qid = "q%d" % (n + 1000)
        b.send("FIND %s %s" % (qid, "\t".join(args)))
        line = b.wait_line("GOT %s " % qid[1:], start=n)
        return json.loads(line.split(" ", 2)[2])

    # banana: forward 1, 2; backward 1, then it wraps to the last.
    assert [find("an")["activeMatch"] for _ in range(2)] == [1, 2]
    assert [find("an", "0")["activeMatch"] for _ in range(2)] == [1, 2]
    assert find("an", "0") == {"found": True, "matches": 2, "activeMatch": 1}
    assert find("ana", "1") == {"found": True, "matches": 1, "activeMatch": 1}
    # Case, overlaps, text of scripts and styles, nothing found, nothing to find.
    assert find("bob")["matches"] == 3
    assert find("BOB", "1", "1")["matches"] == 1
    assert find("aa")["matches"] == 2
    assert find("hidden") == {"found": False, "matches": 0, "activeMatch": 0}
    assert find("") == {"found": False}
    b.send("STOPFIND q77")
    b.wait_line("GOT 77 true")

    # A page's own call is answered in the page; a window that is not there answers not found.
    b.send("EVAL ask()")
    call = b.wait_line(lambda l: "test.ask" in l)
    b.send("FIND %s banana" % call.split(" ")[1], "FIND nosuch:3 a", "FIND q5 a")
    answer = b.wait_line(lambda l: "test.answer" in l)
    assert json.loads(json.loads(answer.split(" ", 2)[2])[0])["params"] == {
        "found": True, "matches": 1, "activeMatch": 1}
    assert b.wait_line("GOT 5 ").startswith('GOT 5 {"found":true')
