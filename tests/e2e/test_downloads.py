"""Downloads under each download policy, and the DOWNLOAD event stream."""

import json
import os

import pytest

from harness import WINDOW

REPORT = bytes(range(256)) * 4096  # 1 MiB


@pytest.fixture
def dl_app(local_app):
    """dl_app(mode, **env): a run on a local page with the download policy `mode`."""
    return lambda mode, **env: local_app("page", KELOJS_DOWNLOADS=mode, **env)


def fetch_in_frame(app, url):
    """Loads `url` in a new subframe: a response the view cannot show becomes a download."""
    app.eval("var f = document.createElement('iframe'); f.src = %s;"
             " document.body.appendChild(f)" % json.dumps(url))


def wait_settled(app, start):
    """The DOWNLOAD events from `start` up to the first "done", "failed", "denied" or
    "cancelled" one."""
    def settled(line):
        return line.startswith("DOWNLOAD ") and json.loads(line[9:])["state"] in (
            "done", "failed", "denied", "cancelled")
    _, index = app.wait(settled, start, WINDOW)
    return app.events("DOWNLOAD", start, index + 1), index


def test_automatic_downloads_stream_progress_and_never_overwrite(dl_app, site, dirs):
    app = dl_app("")
    url = site.file("/files/report.pdf", REPORT, filename="report.pdf", chunks=8, pause=0.1)
    for n, name in enumerate(["report.pdf", "report (2).pdf"], 1):
        mark = app.mark
        fetch_in_frame(app, url)
        events, _ = wait_settled(app, mark)
        path = os.path.join(dirs.downloads, name)
        base = {"id": n, "url": url, "filename": name, "path": path}
        assert events[0] == dict(base, state="started")
        assert events[-1] == dict(base, state="done")
        progress = events[1:-1]
        assert progress and all(e == dict(base, state="progress", bytes=e["bytes"],
                                          total=len(REPORT)) for e in progress)
        counts = [e["bytes"] for e in progress]
        assert counts == sorted(counts) and 0 < counts[-1] <= len(REPORT)
        with open(path, "rb") as f:
            assert f.read() == REPORT
    # At most one progress event per 250 ms for each download (less a little for the way to
    # the backend).
    for n in (1, 2):
        times = [app.arrival(i) for i, line in enumerate(app.backend.lines)
                 if line.startswith('DOWNLOAD {"id":%d,' % n) and '"progress"' in line]
        assert all(b - a >= 0.2 for a, b in zip(times, times[1:])), times


def test_a_name_without_extension_takes_the_type_s_and_main_frame_downloads_are_no_failure(
        dl_app, site, dirs):
    app = dl_app("auto")
    url = site.file("/files/data", b"PK\x05\x06" + bytes(18), ctype="application/zip")
    mark = app.mark
    app.eval("location.href = %s" % json.dumps(url))
    qid, _, _, _ = app.wait_question("NAVQ", url, mark)
    app.send("NAVR %s allow" % qid)
    events, _ = wait_settled(app, mark)
    assert [(e["state"], e["filename"]) for e in events if e["state"] != "progress"] == [
        ("started", "data.zip"), ("done", "data.zip")]
    assert os.path.exists(os.path.join(dirs.downloads, "data.zip"))
    # The page stays; the interrupted load is no failure.
    assert not [e for e in app.events("NAV", mark) if e["kind"] in ("fail", "commit")]


def test_denied_downloads_write_nothing(dl_app, site, dirs):
    app = dl_app("deny")
    url = site.file("/files/report.pdf", REPORT, filename="report.pdf")
    fetch_in_frame(app, url)
    events, _ = wait_settled(app, 0)
    assert events == [{"id": 1, "url": url, "filename": "report.pdf", "path": None,
                       "state": "denied"}]
    assert os.listdir(dirs.downloads) == []


@pytest.mark.parametrize("answer", ["1", "cancel"])
def test_ask_lets_the_save_dialog_decide(dl_app, site, dirs, answer):
    app = dl_app("ask", KELOJS_TEST_AUTODLG=answer)
    url = site.file("/files/report.pdf", REPORT, filename="report.pdf")
    fetch_in_frame(app, url)
    events, _ = wait_settled(app, 0)
    path = os.path.join(dirs.downloads, "report.pdf")
    base = {"id": 1, "url": url, "filename": "report.pdf"}
    if answer == "cancel":
        assert events == [dict(base, path=None, state="cancelled")]
        assert os.listdir(dirs.downloads) == []
    else:
        assert events[0] == dict(base, path=path, state="started")
        assert events[-1] == dict(base, path=path, state="done")
        with open(path, "rb") as f:
            assert f.read() == REPORT
