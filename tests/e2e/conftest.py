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
    """launch(*args, env=None, unset=(), exe=None) starts the launcher in the test desktop.

    `env` adds variables, `unset` removes some (DISPLAY, ...); KELOJS_ variables of the
    caller never leak in. Every process started here is killed at teardown.
    """
    runs = []

    def start(*args, env=None, unset=(), exe=None):
        exe = exe or launcher_bin
        run = LauncherRun([exe] + [str(a) for a in args],
                          harness.launcher_env(desktop.child_env(), env, unset), tmp)
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
