"""File drops on the launcher's web views, made by an XDND drag source over the real
windows: files dropped give one DROP line with their paths, anything else gives none."""

import itertools
import json
import os
import pathlib

import pytest

from harness import STEP, WINDOW, wait_for
from xdnd import DragSource, file_offer, file_uri, uri_list

_marks = itertools.count(77)


@pytest.fixture
def source(desktop):
    src = DragSource(desktop.display)
    yield src
    src.close()


def make_files(tmp, *names):
    paths = []
    for name in names:
        path = os.path.join(tmp, name)
        pathlib.Path(path).write_text("content of %s\n" % name, encoding="utf-8")
        paths.append(path)
    return paths


def centre(x11, win):
    rect = x11.geometry(win)
    return rect.x + rect.width // 2, rect.y + rect.height // 2


def lines_until_marker(backend, start=0):
    """Sends a RET the launcher answers with GOT and returns the lines received from index
    `start` up to that GOT: anything a drop caused before that point is among them."""
    n = next(_marks)
    backend.send("RET q%d 0 {}" % n)
    got = "GOT %d {}" % n
    backend.wait_line(lambda line: line == got, start=start)
    lines = backend.lines[start:]
    return lines[:lines.index(got)]


def drops(lines):
    return [json.loads(line[len("DROP "):]) for line in lines if line.startswith("DROP ")]


def drag_files(source, x11, win, offers):
    """Drags `offers` over the middle of `win` and drops; returns the Drag."""
    drag = source.enter(win.id, offers)
    assert drag.hover(*centre(x11, win)), "drop refused: " + drag.describe()
    success, _ = drag.drop()
    assert success, drag.describe()
    return drag


def test_dropped_files_give_one_drop_with_their_paths_in_order(dev_app, x11, source, tmp):
    app = dev_app()
    paths = make_files(tmp, "notes for today.txt", 'Größe "draft" été.md')
    start = len(app.backend.lines)

    # Four types: offered through XdndTypeList.
    drag = drag_files(source, x11, app.win, file_offer(paths))

    assert "text/uri-list" in drag.requests, drag.describe()
    line = app.backend.wait_line("DROP ", start=start)
    assert json.loads(line[len("DROP "):]) == paths
    # Compact: no blanks but those inside the paths (letters beyond ASCII as text or as \u).
    assert line[len("DROP "):] in {json.dumps(paths, ensure_ascii=a, separators=(",", ":"))
                                   for a in (False, True)}
    assert drops(lines_until_marker(app.backend, start)) == [paths]


def test_a_drop_on_a_secondary_window_gives_drop_too(dev_app, x11, source, tmp, page):
    app = dev_app()
    app.backend.send("WINOPEN side\t%s\tSide\t500x400" % file_uri(page))

    def side_window():
        for win in x11.client_windows(app.run.pid):
            if win.id != app.win.id and x11.is_viewable(win):
                return win
        return None
    side = wait_for(side_window, WINDOW, "the secondary window")
    wait_for(lambda: source.xdnd_version(side.id), STEP, "the secondary window to take drops")
    (path,) = make_files(tmp, "side file.txt")
    start = len(app.backend.lines)

    # One type: offered in XdndEnter itself.
    drag_files(source, x11, side, {"text/uri-list": uri_list([file_uri(path)])})

    assert drops(lines_until_marker(app.backend, start)) == [[path]]


@pytest.mark.parametrize("kind", ["plain-text", "web-url"])
def test_a_drop_of_no_files_gives_no_drop(dev_app, x11, source, tmp, kind):
    app = dev_app()
    (path,) = make_files(tmp, "looks like a file.txt")
    if kind == "plain-text":
        # Text that reads like a file URI, then a path: it still is only text.
        text = (file_uri(path) + "\r\n" + path + "\n").encode()
        offers = {"text/plain;charset=utf-8": text, "text/plain": text}
    else:
        offers = {"text/uri-list": uri_list(["https://example.invalid/report.pdf"])}
    start = len(app.backend.lines)

    drag = source.enter(app.win.id, offers)
    drag.move(*centre(x11, app.win))
    drag.drop(require_finished=False)

    # The launcher did read what was dragged, so nothing below passes by default.
    assert set(drag.requests) & set(offers), drag.describe()
    assert drops(lines_until_marker(app.backend, start)) == [], drag.describe()


def test_files_dragged_over_and_away_give_no_drop(dev_app, x11, source, tmp):
    app = dev_app()
    passing = make_files(tmp, "only passing by.txt")
    dropped = make_files(tmp, "dropped at last.txt")
    start = len(app.backend.lines)

    # Over the window and away again, twice, as a user on the way elsewhere does.
    for _ in range(2):
        drag = source.enter(app.win.id, file_offer(passing))
        assert drag.hover(*centre(x11, app.win)), drag.describe()
        drag.leave()
    assert drops(lines_until_marker(app.backend, start)) == []

    # A later drag that drops reports just its own files, once.
    start = len(app.backend.lines)
    drag_files(source, x11, app.win, file_offer(dropped))
    assert drops(lines_until_marker(app.backend, start)) == [dropped]
