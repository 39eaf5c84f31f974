"""Fixtures of the end-to-end tests.

Run with the system Python, which has pytest and python-xlib:

    /usr/bin/python3 -m pytest tests/e2e -q

The launcher is `build/kelojs-launcher` unless KELOJS_LAUNCHER names another one; without it
the tests skip. The tests start their own test desktop (tests/desktop) unless they already
run inside one (`tests/desktop/run /usr/bin/python3 -m pytest tests/e2e`).
"""

import os
import shutil
import sys
from types import SimpleNamespace

import pytest

import harness
from harness import WINDOW, Bundle, FakeBackend, LauncherRun, ProbeServer
from navkit import DesktopDirs, NavRun, Site, page_html
from xwin import X11

sys.path.insert(0, os.path.join(harness.REPO, "tests", "desktop"))
import desktop as test_desktop  # noqa: E402


class _OuterDesktop:
    """The test desktop this run was started in (by tests/desktop/run or start)."""

    def __init__(self):
        self.display = os.environ["DISPLAY"]

    def child_env(self, extra=None):
        env = dict(os.environ)
        env.update(extra or {})
        return env


@pytest.fixture(scope="session")
def launcher_bin():
    path = harness.launcher_path()
    if not (os.path.isfile(path) and os.access(path, os.X_OK)):
        pytest.skip("launcher binary not found at %s (build it, or set KELOJS_LAUNCHER)" % path)
    return path


@pytest.fixture(scope="session")
def desktop():
    if os.environ.get("KELOJS_TEST_DESKTOP") and os.environ.get("DISPLAY"):
        yield _OuterDesktop()
        return
    d = test_desktop.Desktop().start()
    try:
        yield d
    finally:
        d.stop()


@pytest.fixture
def tmp():
    """A fresh directory with a short path (socket paths live in it)."""
    path = harness.short_tempdir()
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def launch(launcher_bin, desktop, tmp):
    """launch(*args, env=None, unset=(), exe=None, cwd=None) starts the launcher in the test
    desktop.

    `env` adds variables, `unset` removes some (DISPLAY, ...); KELOJS_ variables of the
    caller never leak in. Every process started here is killed at teardown.
    """
    runs = []

    def start(*args, env=None, unset=(), exe=None, cwd=None):
        exe = exe or launcher_bin
        run = LauncherRun([exe] + [str(a) for a in args],
                          harness.launcher_env(desktop.child_env(), env, unset), tmp, cwd=cwd)
        runs.append(run)
        return run

    yield start
    for run in runs:
        run.kill()


@pytest.fixture
def backend(tmp):
    """A fake backend listening on a fresh socket in `tmp`."""
    made = []

    def make(name="wire.sock"):
        b = FakeBackend(os.path.join(tmp, name))
        made.append(b)
        return b

    yield make
    for b in made:
        b.close()


@pytest.fixture
def x11(desktop):
    conn = X11(desktop.display)
    yield conn
    conn.close()


@pytest.fixture
def page(tmp):
    """A small local page for development runs."""
    path = os.path.join(tmp, "page.html")
    with open(path, "w") as f:
        f.write("<!doctype html><meta charset=utf-8><title>page</title><p>kelojs e2e</p>\n")
    return path


@pytest.fixture
def probe():
    server = ProbeServer()
    yield server
    server.close()


@pytest.fixture
def dev_app(launch, backend, x11, page):
    """dev_app(url=page, *extra_args, env=None) starts a development run against a fresh
    fake backend and waits for the connection and the main window.

    Returns a namespace with run, backend and win.
    """
    def start(url=None, *extra, env=None):
        b = backend()
        run = launch(url or page, b.path, *extra, env=env)
        b.wait_connected(WINDOW, run)
        win = x11.wait_window(run)
        return SimpleNamespace(run=run, backend=b, win=win)

    return start


@pytest.fixture
def bundle(launcher_bin, tmp):
    """bundle(name=..., plist={...}, index_html=...) builds an app bundle in `tmp`."""
    made = []

    def make(**kw):
        kw.setdefault("index_html", "<!doctype html><meta charset=utf-8><title>app</title>\n")
        b = Bundle(tmp, launcher_bin, **kw)
        made.append(b)
        return b

    yield make
    for b in made:
        b.close()


# ---- fixtures shared by the navigation, popup and download tests ----------------------------


@pytest.fixture
def site():
    s = Site()
    yield s
    s.close()


@pytest.fixture
def dirs(tmp):
    return DesktopDirs(os.path.join(tmp, "desk"))


@pytest.fixture
def nav_app(launch, backend, dirs):
    """nav_app(url, env=None) starts a development run on `url` in the test's own desktop
    folders and waits for its connection."""
    def start(url, env=None):
        b = backend()
        run = launch(url, b.path, env=dict(dirs.env, **(env or {})))
        b.wait_connected(WINDOW, run)
        return NavRun(run, b)
    return start


@pytest.fixture
def local_app(nav_app, tmp):
    """local_app(name, **env) starts a development run on a local page titled `name` and
    waits until the page has loaded."""
    def start(name, **env):
        page = os.path.join(tmp, name + ".html")
        with open(page, "w") as f:
            f.write(page_html(name))
        app = nav_app(page, env)
        app.wait_nav("finish", "file://" + page)
        return app
    return start


def two_monitors():
    """A test desktop on the dummy X driver with a 1280x1024 monitor right of the first one
    (yielded; stopped afterwards)."""
    d = test_desktop.Desktop(server="xorg-dummy").start()
    try:
        d.xrandr("--addmode", "DUMMY1", "1280x1024")
        d.xrandr("--output", "DUMMY1", "--mode", "1280x1024", "--right-of", "DUMMY0")
        yield d
    finally:
        d.stop()
