"""Harness of the end-to-end tests: a fake backend on the wire, the launcher process,
package bundles with a fake backend runtime, and a page that reports its viewport.

Every wait here has a time-out; nothing sleeps a fixed time to let things settle.
"""

import http.server
import json
import os
import plistlib
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Time-outs in seconds. A slow machine can stretch all of them with KELOJS_TEST_TIMEOUT_SCALE.
SCALE = float(os.environ.get("KELOJS_TEST_TIMEOUT_SCALE", "1"))
STEP = 5.0 * SCALE      # the launcher reacting to one line, a process exiting
WINDOW = 20.0 * SCALE   # a window appearing (web engine start-up included)
POLL = 0.02


def launcher_path():
    return os.environ.get("KELOJS_LAUNCHER") or os.path.join(REPO, "build", "kelojs-launcher")


def short_tempdir(prefix="kelo-"):
    """A fresh directory with a short path: Unix socket paths must stay short."""
    return tempfile.mkdtemp(prefix=prefix, dir="/tmp")


def wait_for(check, timeout, what):
    """Polls check() until it returns a true value and returns that value.

    Raises AssertionError naming `what` (a text, or a callable giving one) on time-out.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            text = what() if callable(what) else what
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, text))
        time.sleep(POLL)


# ---- fake backend ------------------------------------------------------------------------

class FakeBackend:
    """The backend's end of the wire: listens on a Unix socket and accepts one connection.

    With relay=True the peer on the listening socket is not the launcher but the fake `tjs`
    of a package run, which hands over its connected wire socket (SCM_RIGHTS); from then on
    the backend talks to the launcher directly, exactly as in a development run.
    """

    def __init__(self, path, relay=False):
        self.path = path
        self.relay = relay
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(path)
        self._listener.listen(1)
        self._cond = threading.Condition()
        self._conn = None
        self._lines = []
        self._times = []  # time.monotonic() at the arrival of each line
        self._eof = False
        self._error = None
        self._stop = threading.Event()
        self._reading = threading.Event()  # cleared: the backend stops reading the wire
        self._reading.set()
        self._thread = threading.Thread(target=self._run, name="fake-backend", daemon=True)
        self._thread.start()

    # reader thread

    def _run(self):
        try:
            conn = self._accept()
            if conn is None:
                return
            with self._cond:
                self._conn = conn
                self._cond.notify_all()
            self._read(conn)
        except Exception as exc:  # surfaced by the waiting test
            with self._cond:
                self._error = exc
                self._cond.notify_all()

    def _accept(self):
        while not self._stop.is_set():
            ready, _, _ = select.select([self._listener], [], [], 0.1)
            if ready:
                break
        else:
            return None
        conn, _ = self._listener.accept()
        if not self.relay:
            return conn
        with conn:
            conn.settimeout(STEP)
            _, fds, _, _ = socket.recv_fds(conn, 16, 1)
        if not fds:
            raise RuntimeError("the fake tjs sent no wire socket")
        return socket.socket(fileno=fds[0])

    def _read(self, conn):
        pending = bytearray()
        while not self._stop.is_set():
            if not self._reading.wait(0.1):
                continue
            ready, _, _ = select.select([conn], [], [], 0.1)
            if not ready:
                continue
            try:
                data = conn.recv(65536)
            except OSError:
                data = b""
            if not data:
                break
            pending += data
            if b"\n" not in data:
                continue
            *complete, rest = pending.split(b"\n")
            pending = bytearray(rest)
            if complete:
                now = time.monotonic()
                with self._cond:
                    self._lines.extend(c.decode("utf-8", "surrogateescape") for c in complete)
                    self._times.extend([now] * len(complete))
                    self._cond.notify_all()
        with self._cond:
            self._eof = True
            self._cond.notify_all()

    # test side

    def _wait(self, check, timeout, what, run=None):
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                if self._error:
                    raise AssertionError("fake backend failed: %r" % self._error)
                value = check()
                if value is not None:
                    return value
                left = deadline - time.monotonic()
                if left <= 0 or (run is not None and not run.running):
                    raise AssertionError("%s waiting for %s; lines so far: %r%s" % (
                        "gave up" if left > 0 else "timed out after %.1f s" % timeout,
                        what, self._lines, "; " + run.describe() if run is not None else ""))
                # Short waits, so a launcher that dies is noticed early.
                self._cond.wait(min(left, 0.1))

    def wait_connected(self, timeout=WINDOW, run=None):
        """Waits for the connection; with `run`, fails as soon as that launcher ends."""
        return self._wait(lambda: self._conn, timeout, "the launcher to connect", run)

    @property
    def connected(self):
        with self._cond:
            return self._conn is not None

    @property
    def lines(self):
        """Every line received so far, without its line feed."""
        with self._cond:
            return list(self._lines)

    def arrival(self, index):
        """When line `index` arrived, in time.monotonic() seconds."""
        with self._cond:
            return self._times[index]

    def wait_line(self, match, timeout=STEP, start=0):
        """Returns the first received line (from index `start`) that matches.

        `match` is a prefix text or a predicate taking the line.
        """
        pred = match if callable(match) else (lambda line: line.startswith(match))

        def check():
            for line in self._lines[start:]:
                if pred(line):
                    return line
            return None
        return self._wait(check, timeout, "a line matching %r" % (match,))

    def wait_lines(self, count, timeout=STEP):
        """Returns the first `count` lines once that many have arrived."""
        return self._wait(lambda: list(self._lines[:count]) if len(self._lines) >= count
                          else None, timeout, "%d lines" % count)

    def wait_eof(self, timeout=STEP):
        """Waits until the launcher's end of the wire is closed."""
        self._wait(lambda: True if self._eof else None, timeout, "the launcher to close the wire")

    def pause_reading(self, paused=True):
        """Stops (or resumes) reading the wire, as a backend that is busy elsewhere."""
        (self._reading.clear if paused else self._reading.set)()

    def send(self, *lines):
        """Sends the lines, each followed by LF, in one write."""
        self.send_raw("".join(line + "\n" for line in lines).encode())

    def send_raw(self, data):
        self.wait_connected(STEP)
        self._conn.sendall(data)

    def close_wire(self):
        """Closes the backend's end of the wire, as a backend that ends does."""
        self.wait_connected(STEP)
        self._conn.shutdown(socket.SHUT_RDWR)

    def close(self):
        self._stop.set()
        self._thread.join(STEP)
        with self._cond:
            conn, self._conn = self._conn, None
        if conn is not None:
            conn.close()
        self._listener.close()
        try:
            os.unlink(self.path)
        except FileNotFoundError:
            pass


# ---- the launcher process ----------------------------------------------------------------

class LauncherRun:
    """One started launcher. Its stdout and stderr go to files, read on demand."""

    def __init__(self, argv, env, logdir, executable=None, cwd=None):
        self.argv = argv
        fd, self.stderr_path = tempfile.mkstemp(prefix="stderr-", dir=logdir)
        os.close(fd)
        with open(self.stderr_path, "wb") as err:
            # A session of its own, so teardown can stop the web engine's helpers with it.
            self.proc = subprocess.Popen(argv, executable=executable, env=env,
                                         stdin=subprocess.DEVNULL, stdout=err, stderr=err,
                                         start_new_session=True, cwd=cwd)
        self.pid = self.proc.pid

    @property
    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    @property
    def messages(self):
        """The launcher's own lines on stderr ("launcher: ", "kelojs: ", "usage: "), without
        what libraries print there (GLib, GTK, EGL warnings), joined as printed."""
        own = ("launcher: ", "kelojs: ", "usage: ")
        return "".join(line for line in self.stderr.splitlines(keepends=True)
                       if line.startswith(own))

    @property
    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=STEP):
        """Returns the exit status; fails with the captured output when it does not end."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("launcher still running after %.1f s; its output:\n%s"
                                 % (timeout, self.stderr)) from None

    def kill(self):
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            self.proc.wait(STEP)
        except subprocess.TimeoutExpired:
            pass

    def describe(self):
        status = self.proc.poll()
        state = "running" if status is None else "exited with %s" % status
        return "launcher %s; its output:\n%s" % (state, self.stderr)


def launcher_env(base, extra=None, unset=()):
    """The launcher's environment: `base` without any KELOJS_ setting of the caller's, plus
    `extra`, minus the names in `unset`."""
    env = {k: v for k, v in base.items() if not k.startswith("KELOJS_")}
    env.update(extra or {})
    for name in unset:
        env.pop(name, None)
    return env


# ---- package bundles ---------------------------------------------------------------------

FAKE_TJS = r'''#!{python}
# Fake backend runtime of a package run: records how it was started, connects to the
# launcher's socket and hands the connection to the test through the relay socket (or, when
# told to hang up, closes it at once).
import json, os, socket, sys
record = {{"argv": sys.argv, "env": dict(os.environ), "cwd": os.getcwd()}}
with open({record!r} + ".part", "w") as f:
    json.dump(record, f)
os.rename({record!r} + ".part", {record!r})
wire = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
wire.connect(os.environ["KELOJS_SOCKET"])
if {hang_up!r}:
    sys.exit(0)
relay = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
relay.connect({relay!r})
socket.send_fds(relay, [b"W"], [wire.fileno()])
'''


class Bundle:
    """An app bundle `Name.app` with a copy of the launcher and a fake `tjs` beside it.

    tjs="relay": the fake tjs hands its wire to `self.backend`, a FakeBackend;
    tjs="hang-up": it connects and closes the connection at once; tjs=None: no tjs at all.
    """

    def __init__(self, root, launcher, name="Demo App", plist=None, index_html=None,
                 tjs="relay"):
        self.root = os.path.realpath(root)
        self.path = os.path.join(self.root, name + ".app")
        self.macos = os.path.join(self.path, "Contents", "MacOS")
        self.app = os.path.join(self.path, "Contents", "Resources", "app")
        os.makedirs(self.macos)
        os.makedirs(os.path.join(self.app, "frontend"))
        self.exe = os.path.join(self.macos, os.path.basename(launcher))
        # The launcher finds its bundle through its own executable's path, so the binary
        # must really live inside it: a hard link or a copy, never a symbolic link.
        try:
            os.link(launcher, self.exe)
        except OSError:
            shutil.copy2(launcher, self.exe)
        # The web process extension lives in "webext" beside the launcher; a link will do.
        webext = os.path.join(os.path.dirname(os.path.realpath(launcher)), "webext")
        if os.path.isdir(webext):
            os.symlink(webext, os.path.join(self.macos, "webext"))
        info = {"CFBundleName": name, "CFBundleVersion": "1.0.0"}
        info.update(plist or {})
        with open(os.path.join(self.path, "Contents", "Info.plist"), "wb") as f:
            plistlib.dump(info, f, fmt=plistlib.FMT_XML)
        if index_html is not None:
            with open(os.path.join(self.app, "frontend", "index.html"), "w") as f:
                f.write(index_html)
        with open(os.path.join(self.app, "entry.js"), "w") as f:
            f.write("// the fake tjs never runs this\n")
        self.tjs = os.path.join(self.macos, "tjs")
        self.record_path = os.path.join(self.root, "tjs-record.json")
        self.backend = None
        if tjs is not None:
            relay = os.path.join(self.root, "relay.sock")
            if tjs == "relay":
                self.backend = FakeBackend(relay, relay=True)
            with open(self.tjs, "w") as f:
                f.write(FAKE_TJS.format(python=sys.executable, record=self.record_path,
                                        relay=relay, hang_up=(tjs == "hang-up")))
            os.chmod(self.tjs, 0o755)

    def tjs_record(self, timeout=WINDOW):
        """How the fake tjs was started: {"argv": [...], "env": {...}, "cwd": ...}."""
        wait_for(lambda: os.path.exists(self.record_path), timeout, "the backend to be spawned")
        with open(self.record_path) as f:
            return json.load(f)

    def close(self):
        if self.backend is not None:
            self.backend.close()


# ---- a page that reports its viewport -------------------------------------------------------

PROBE_COLOUR = (0x2a, 0x6f, 0x97)  # the probe page's background, for X11.wait_painted

PROBE_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>probe</title>
<style>html, body { margin: 0; height: 100%; overflow: hidden; background: #2a6f97; }</style>
</head><body>
<script>
function report(kind) {
  var q = "kind=" + kind + "&w=" + window.innerWidth + "&h=" + window.innerHeight +
          "&ua=" + encodeURIComponent(navigator.userAgent);
  fetch("/report?" + q, {cache: "no-store"}).catch(function () {});
}
window.addEventListener("resize", function () { report("resize"); });
report("load");
</script>
</body></html>
"""


class QuietHTTPServer(http.server.ThreadingHTTPServer):
    """A threading HTTP server that does not print a traceback when a client drops its
    connection (the web engine does that whenever it stops a load); other errors still show."""

    daemon_threads = True

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class LoopbackServer:
    """An HTTP server on 127.0.0.1 (port 0: any free one) in a thread of its own.

    respond(url, request) gets the request's split URL and the request handler (for its
    headers and body) and returns (body bytes, content type), or None for a 404. GET and POST
    are both answered that way. Answers are never cached."""

    def __init__(self, respond, port=0):
        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                answer = respond(urllib.parse.urlsplit(self.path), self)
                if answer is None:
                    self.send_error(404)
                    return
                body, ctype = answer
                self.send_response(200)
                self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

            do_POST = do_GET

            def log_message(self, *args):
                pass

        self._server = QuietHTTPServer(("127.0.0.1", port), Handler)
        self.port = self._server.server_address[1]
        threading.Thread(target=self._server.serve_forever, daemon=True).start()

    def close(self):
        self._server.shutdown()
        self._server.server_close()


class ProbeServer:
    """Serves a page on 127.0.0.1 that reports its viewport size (and the user agent it
    sees) on load and on every resize, so a test can read the web view's own size from
    inside the page. Every request is recorded too, with its User-Agent header."""

    def __init__(self):
        self._cond = threading.Condition()
        self._reports = []
        self._requests = []
        self._server = LoopbackServer(self._respond)
        self.origin = "http://127.0.0.1:%d" % self._server.port
        self.url = self.origin + "/probe.html"

    def _respond(self, url, request):
        with self._cond:
            self._requests.append({"path": url.path,
                                   "user_agent": request.headers.get("User-Agent")})
            self._cond.notify_all()
        if url.path == "/report":
            with self._cond:
                self._reports.append(dict(urllib.parse.parse_qsl(url.query)))
                self._cond.notify_all()
            return b"", "text/plain"
        if url.path == "/probe.html":
            return PROBE_PAGE.encode(), "text/html; charset=utf-8"
        return None

    @property
    def reports(self):
        with self._cond:
            return list(self._reports)

    def requests(self, path="/probe.html"):
        """The requests for `path` so far: [{"path": ..., "user_agent": ...}, ...]."""
        with self._cond:
            return [r for r in self._requests if r["path"] == path]

    def wait_reports(self, count, timeout=WINDOW):
        """Waits until the page has reported `count` times; returns all reports."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while len(self._reports) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("the page reported %d times within %.1f s, not %d; "
                                         "reports: %r" % (len(self._reports), timeout, count,
                                                          self._reports))
                self._cond.wait(left)
            return list(self._reports)

    def wait_size(self, width, height, timeout=STEP, start=0):
        """Waits for the page to report a viewport of width x height (looking at reports
        from index `start` on); returns the report."""
        want = (str(width), str(height))
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                for r in self._reports[start:]:
                    if (r.get("w"), r.get("h")) == want:
                        return r
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("the page never reported %dx%d within %.1f s; "
                                         "reports: %r" % (width, height, timeout, self._reports))
                self._cond.wait(left)

    def wait_report(self, timeout=WINDOW):
        """Waits for the first report (the page has loaded); returns it."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while not self._reports:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("the page never reported within %.1f s" % timeout)
                self._cond.wait(left)
            return self._reports[0]

    def close(self):
        self._server.close()
