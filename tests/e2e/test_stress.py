"""The wire under load: bursts faster than the launcher dispatches, huge lines, thousands of
pending page calls answered out of order, a backend that stops reading, a hundred windows.
Nothing may crash, be lost or reordered, and memory comes back to its level."""

import json
import time

from harness import STEP, WINDOW, wait_for
from test_state import app  # noqa: F401 (a fixture)

BIG = 120  # seconds for the heavy steps


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def sanitized(pid):
    """A sanitizer's allocator holds freed memory in quarantine instead of giving it back."""
    with open("/proc/%d/maps" % pid) as f:
        return any("libasan" in line or "libtsan" in line for line in f)


def got_ids(wire, start=0):
    return [line.split(" ", 2)[1] for line in wire.lines[start:] if line.startswith("GOT ")]


def calls(wire, method, count, start):
    """The `count` CALL lines of `method` from `start` on: [(number, params)] in arrival order."""
    def found():
        out = []
        for line in wire.lines[start:]:
            if line.startswith("CALL ") and ('\\"%s\\"' % method) in line:
                head, _, rest = line[len("CALL "):].partition(" ")
                payload = json.loads(json.loads(rest)[0])
                out.append((head.partition(":")[2], payload["params"]))
        return out if len(out) >= count else None
    return wait_for(found, BIG, lambda: "%d %s calls" % (count, method))


def page_calls(n, method, then=""):
    """A script making n page calls at once; `then` runs with their answers once all settled."""
    return ("Promise.all(Array.from({length: %d}, (_, i) => window.__invoke(JSON.stringify("
            "{method: '%s', params: {i: i}})))).then(a => { %s })" % (n, method, then))


def test_bursts_huge_lines_and_pending_calls_lose_nothing(app):
    wire, _ = app()
    wire.wait(lambda line: "client.hello" in line, 0, WINDOW)  # the page's bridge is up
    before = rss_kib(wire.run.pid)

    # 100,000 lines in one write: loop-back answers, questions, titles, unknown and malformed
    # lines. Every question is answered once, in the order asked.
    burst = []
    for i in range(25_000):
        burst += ['RET q%d 0 {"n":%d}' % (i, i), "GET s%d screens" % i, "TITLE t%d" % i,
                  "NOSUCH %d" % i if i % 2 else "RET"]
    start = wire.mark
    wire.send(*burst)
    want = [x for i in range(25_000) for x in (str(i), "s%d" % i)]
    wait_for(lambda: len(got_ids(wire, start)) >= len(want), BIG, "the burst's answers")
    assert got_ids(wire, start) == want
    assert next(x for x in wire.lines[start:] if x.startswith("GOT ")) == 'GOT 0 {"n":0}'

    # A 16 MB answer comes back whole; a 1 MB script runs.
    huge = "x" * (16 << 20)
    start = wire.mark
    wire.send('RET q999999999 0 "%s"' % huge,
              "EVAL window.__invoke(JSON.stringify({method: 'len', params: {n: '%s'.length}}))"
              % ("y" * (1 << 20)))
    index = wire.wait("GOT 999999999 ", start, BIG)
    assert wire.lines[index] == 'GOT 999999999 "%s"' % huge
    assert calls(wire, "len", 1, start)[0][1] == {"n": 1 << 20}
    del huge

    # 10,000 page calls pending at once, answered in reverse order: each promise gets its own
    # answer.
    start = wire.mark
    wire.send("EVAL " + page_calls(10_000, "many", "window.__invoke(JSON.stringify({method: "
              "'many.done', params: {ok: a.every((v, i) => v.i === i)}}))"))
    pending = calls(wire, "many", 10_000, start)
    wire.send(*['RET main:%s 0 {"i":%d}' % (n, p["i"]) for n, p in reversed(pending)])
    assert calls(wire, "many.done", 1, start)[0][1] == {"ok": True}

    # A backend that stops reading while the page keeps calling: the calls wait, then all
    # arrive in order.
    wire.backend.pause_reading()
    start = wire.mark
    wire.send("EVAL " + page_calls(20_000, "held"))
    time.sleep(1)  # the backend's pause: a stimulus, not a wait
    wire.backend.pause_reading(False)
    held = calls(wire, "held", 20_000, start)
    assert [p["i"] for _, p in held] == list(range(20_000))
    assert [int(n) for n, _ in held] == list(range(int(held[0][0]), int(held[0][0]) + 20_000))
    wire.send(*['RET main:%s 0 {}' % n for n, _ in held])

    wire.marker()
    if not sanitized(wire.run.pid):
        assert rss_kib(wire.run.pid) < before * 1.5 + 64 * 1024, (before, rss_kib(wire.run.pid))


def test_a_hundred_windows_open_and_close_and_memory_comes_back(app):
    wire, _ = app()

    def cycle(first, count=20):
        start = wire.mark
        ids = ["w%d" % i for i in range(first, first + count)]
        wire.send(*["WINOPEN %s\tabout:blank\t%s\t200x100%s\t0" % (i, i, "\t" * 12)
                    for i in ids])
        wire.send("RET q%d 0 {}" % first)
        wire.wait("GOT %d {}" % first, start, BIG)  # every window of the batch is open
        wire.send(*["WINCLOSE " + i for i in ids], "GET g%d windows" % first)
        index = wire.wait("GOT g%d " % first, start, BIG)
        assert json.loads(wire.lines[index].split(" ", 2)[2]) == ["main"]
        assert sorted(l for l in wire.lines[start:] if l.startswith("WINCLOSED ")) == sorted(
            "WINCLOSED " + i for i in ids)

    cycle(0)  # the first windows warm the engine up
    settled = rss_kib(wire.run.pid)
    for first in range(20, 120, 20):
        cycle(first)
    wait_for(lambda: rss_kib(wire.run.pid) < settled * 1.3, STEP * 4,
             lambda: "memory back near %d KiB (now %d)" % (settled, rss_kib(wire.run.pid)))
