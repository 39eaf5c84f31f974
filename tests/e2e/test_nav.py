"""Navigation policy and navigation events: which navigations the backend is asked about
(NAVQ), what its answers (NAVR) and their absence do, NAV progress events, and RELOAD."""

import json
import os
import signal
import socket

from harness import STEP, WINDOW, wait_for
from navkit import page_html

# The question deadline, less a little for the way from the launcher to the fake backend.
DEADLINE = 0.38


def write(tmp, name, text):
    path = os.path.join(tmp, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def started_on_site(nav_app, site):
    """A run whose main page comes from the site: its own first load is asked about too,
    and goes ahead when the question times out."""
    url = site.page("/start.html", page_html("start"))
    app = nav_app(url)
    qid, win, rest, index = app.wait_question("NAVQ", url)
    assert (qid, win, rest) == ("n1", "main", [url, "main"])
    app.wait_nav("finish", url, index)
    return app


def test_main_frame_web_navigation_goes_ahead_when_the_backend_does_not_answer(nav_app, site):
    app = started_on_site(nav_app, site)
    target = site.page("/target.html", page_html("target"))
    mark = app.mark
    app.eval("location.href = %s" % json.dumps(target))
    qid, win, rest, asked = app.wait_question("NAVQ", target, mark)
    assert (qid, win, rest) == ("n2", "main", [target, "main"])
    _, started = app.wait_nav("start", target, mark)
    _, committed = app.wait_nav("commit", target, asked)
    _, finished = app.wait_nav("finish", target, committed)
    # The load starts for the backend once the question is settled.
    assert started > asked and app.arrival(started) - app.arrival(asked) >= DEADLINE
    kinds = [e["kind"] for e in app.events("NAV", mark) if e["url"] == target]
    assert kinds == ["start", "commit", "finish"]
    # An answer after the deadline changes nothing.
    app.send("NAVR %s deny" % qid)
    app.eval("location.reload()")
    app.wait_question("NAVQ", target, finished + 1)


def test_deny_and_external_answers_cancel_the_navigation(nav_app, site, dirs):
    app = started_on_site(nav_app, site)
    denied = site.page("/denied.html", page_html("denied"))
    outside = site.page("/outside.html", page_html("outside"))
    after = site.page("/after.html", page_html("after"))
    mark = app.mark
    app.eval("location.href = %s" % json.dumps(denied))
    qid, _, _, _ = app.wait_question("NAVQ", denied, mark)
    app.send("NAVR %s deny" % qid)
    app.eval("location.href = %s" % json.dumps(outside))
    qid, _, _, _ = app.wait_question("NAVQ", outside, mark)
    app.send("NAVR %s external" % qid, "NAVR %s allow" % qid)
    dirs.wait_opened(outside)
    # A navigation left to its deadline after both: by its commit the other two are long
    # settled, and neither page was shown.
    app.eval("location.href = %s" % json.dumps(after))
    app.wait_nav("finish", after, mark)
    # Neither denied nor sent outside, the after page alone started.
    shown = {e["url"] for e in app.events("NAV", mark)}
    assert shown == {after}
    assert dirs.opened() == [outside]
    assert not [e for e in app.events("NAV", mark) if e["kind"] == "fail"]


def test_mail_links_are_asked_about_and_cancelled_unless_sent_outside(nav_app, site, dirs):
    app = started_on_site(nav_app, site)
    first, second = "mailto:first@example.com", "mailto:second@example.com"
    clock = site.page("/clock.html", page_html("clock"))
    mark = app.mark
    app.eval("location.href = %s" % json.dumps(first))
    late, win, rest, _ = app.wait_question("NAVQ", first, mark)
    assert (win, rest) == ("main", [first, "main"])
    # A web navigation asked after the mail link and settled by its own deadline: by then
    # the mail link's deadline has passed too.
    app.eval("location.href = %s" % json.dumps(clock))
    app.wait_nav("finish", clock, mark)
    app.send("NAVR %s external" % late)
    app.eval("location.href = %s" % json.dumps(second))
    qid, _, _, _ = app.wait_question("NAVQ", second, mark)
    app.send("NAVR %s external" % qid)
    dirs.wait_opened(second)
    assert dirs.opened() == [second]
    # The page stayed where it was.
    assert not [e for e in app.events("NAV", mark) if e["url"].startswith("mailto:")]


DATA_FRAME = "<script>webkit.messageHandlers.kelo.postMessage('9:data frame')</script>"


def test_subframes_and_local_pages_are_never_asked(nav_app, site, tmp):
    frame2 = site.page("/frame2.html", page_html("frame2"))
    site.page("/frame.html", page_html("frame", "<script>location.href = %s</script>"
                                       % json.dumps(frame2)))
    second = write(tmp, "second.html", page_html("second"))
    first = write(tmp, "first.html", page_html(
        "first", '<iframe src="%s"></iframe><iframe src="about:blank"></iframe>'
        '<iframe src="data:text/html,%s"></iframe>' % (site.url("/frame.html"), DATA_FRAME)))
    app = nav_app(first)
    app.wait_nav("finish", "file://" + first)
    app.wait(lambda line: line.startswith("CALL main:s9 "), timeout=WINDOW)
    wait_for(lambda: site.requests("/frame2.html"), WINDOW, "the subframe's second page")

    app.eval("location.href = %s" % json.dumps("file://" + second))
    app.wait_nav("finish", "file://" + second)
    app.eval("location.href = 'about:blank'")
    app.wait_nav("finish", "about:blank")
    assert app.questions() == []
    # Subframes give no progress events.
    urls = {e["url"] for e in app.events("NAV")}
    assert urls == {"file://" + first, "file://" + second, "about:blank"}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def web_processes(pid):
    """Processes whose parent is `pid` and that run a web process of the engine."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open("/proc/%s/comm" % entry) as f:
                comm = f.read().strip()
        except OSError:
            continue
        if int(fields[1]) == pid and comm.startswith("WebKitWebProces"):
            found.append(int(entry))
    return found


def test_failures_carry_the_error_and_a_crash_is_reported(nav_app, tmp):
    page = write(tmp, "page.html", page_html("page"))
    app = nav_app(page)
    app.wait_nav("finish", "file://" + page)
    nowhere = "http://127.0.0.1:%d/gone.html" % free_port()
    mark = app.mark
    app.eval("location.href = %s" % json.dumps(nowhere))
    failed, index = app.wait_nav("fail", nowhere, mark)
    assert set(failed) == {"window", "kind", "url", "error"} and failed["error"]
    assert not [e for e in app.events("NAV", mark) if e["kind"] == "finish"]

    procs = wait_for(lambda: web_processes(app.run.pid), STEP, "the web process")
    for pid in procs:
        os.kill(pid, signal.SIGKILL)
    crashed, _ = app.wait_event("NAV", index, kind="crash")
    assert crashed["window"] == "main"
    assert crashed["url"] in ("file://" + page, nowhere)


WINDOW_PAGE = page_html("side")


def test_reload_reloads_the_main_window_only(nav_app, tmp):
    main = write(tmp, "main.html", page_html("main"))
    side = write(tmp, "side.html", WINDOW_PAGE)
    app = nav_app(main)
    app.wait_nav("finish", "file://" + main)
    app.send("WINOPEN side\t" + side)
    app.wait_nav("finish", "file://" + side, window="side")
    mark = app.mark
    app.send("RELOAD")
    app.wait_nav("finish", "file://" + main, mark)
    # A barrier through the side window: a reload of it would have started before this.
    app.eval("webkit.messageHandlers.kelo.postMessage('8:barrier')", win="side")
    app.wait(lambda line: line.startswith("CALL side:8 "), mark)
    assert {e["window"] for e in app.events("NAV", mark)} == {"main"}


def test_reload_without_a_main_window_reloads_every_window(nav_app, tmp):
    pages = {wid: write(tmp, wid + ".html", page_html(wid)) for wid in ("one", "two")}
    app = nav_app("unused", env={"KELOJS_NO_MAIN_WINDOW": "1"})
    for wid, path in pages.items():
        app.send("WINOPEN %s\t%s" % (wid, path))
        app.wait_nav("finish", "file://" + path, window=wid)
    mark = app.mark
    app.send("RELOAD")
    for wid, path in pages.items():
        app.wait_nav("finish", "file://" + path, mark, window=wid)
