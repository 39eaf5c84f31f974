"""The kelo-media scheme seen from pages: local files with byte ranges, refusals of files
outside the read-access root and of untrusted origins, the media proxy with an endless audio
stream from a loopback server, and requests the page stops.

The test page offers probe(name, url, headers), which fetches a URL whole, and
stream(name, url, headers, want), which reads at least `want` bytes and then aborts; both
report what they saw as the call "test.report" {name, value}. The test runs them with EVAL.
"""

import http.server
import json
import os
import socket
import threading

import pytest

from harness import STEP, WINDOW, QuietHTTPServer, wait_for

PAGE = """<!doctype html><meta charset=utf-8><title>media</title>
<script>
function report(name, value) {
  return window.__invoke(JSON.stringify({method: 'test.report', params: {name, value}}));
}
function hex(bytes) {
  return Array.from(bytes, b => b.toString(16).padStart(2, '0')).join('');
}
function headersOf(r) {
  return Object.fromEntries(r.headers.entries());
}
async function probe(name, url, headers) {
  let out;
  try {
    const r = await fetch(url, {headers: headers || {}, cache: 'no-store'});
    const body = new Uint8Array(await r.arrayBuffer());
    out = {status: r.status, headers: headersOf(r), length: body.length, body: hex(body)};
  } catch (e) {
    out = {error: String(e)};
  }
  report(name, out);
}
async function stream(name, url, headers, want) {
  const stop = new AbortController();
  let out;
  try {
    const r = await fetch(url, {headers: headers || {}, cache: 'no-store', signal: stop.signal});
    const reader = r.body.getReader();
    let got = 0, head = '';
    while (got < want) {
      const {done, value} = await reader.read();
      if (done) break;
      if (!head) head = hex(value.slice(0, 16));
      got += value.length;
    }
    stop.abort();
    out = {status: r.status, headers: headersOf(r), got, head};
  } catch (e) {
    out = {error: String(e)};
  }
  report(name, out);
}
window.addEventListener('load', () => report('ready', navigator.userAgent));
</script>
"""

SIZE = 1000
CONTENT = bytes(i % 251 for i in range(SIZE))
ENDLESS = "1099511627776"


def media_url(path):
    return "kelo-media://file" + path


class MediaPage:
    """A started launcher whose main window shows a page with probe() and stream()."""

    def __init__(self, app):
        self.app = app
        self.user_agent = self.wait("ready", WINDOW)

    def _report(self, line, name):
        if not line.startswith("CALL "):
            return None
        try:
            msg = json.loads(json.loads(line.split(" ", 2)[2])[0])
        except (ValueError, IndexError):
            return None
        if not isinstance(msg, dict) or msg.get("method") != "test.report":
            return None
        params = msg.get("params") or {}
        return params if params.get("name") == name else None

    def wait(self, name, timeout=STEP):
        line = self.app.backend.wait_line(lambda l: self._report(l, name) is not None, timeout)
        return self._report(line, name)["value"]

    def probe(self, name, url, headers=None):
        self.app.backend.send("EVAL probe(%s, %s, %s)" % (
            json.dumps(name), json.dumps(url), json.dumps(headers or {})))
        return self.wait(name)

    def stream(self, name, url, want, headers=None):
        self.app.backend.send("EVAL stream(%s, %s, %s, %d)" % (
            json.dumps(name), json.dumps(url), json.dumps(headers or {}), want))
        # A stream keeps the launcher busy until it hears of the stop: allow for a slow machine.
        return self.wait(name, WINDOW)

    def messages(self):
        return self.app.run.messages

    def wait_message(self, text):
        wait_for(lambda: text in self.messages(), STEP,
                 lambda: "%r on stderr; it has:\n%s" % (text, self.messages()))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


@pytest.fixture
def media_tree(tmp):
    """tmp/media (the read-access root) with a song, an empty file, a link in and a link out;
    tmp/secret.txt beside it; the page in tmp/page."""
    tmp = os.path.realpath(tmp)
    root = os.path.join(tmp, "media")
    write(os.path.join(root, "song.mp3"), CONTENT)
    write(os.path.join(root, "empty.wav"), b"")
    write(os.path.join(root, "sub", "page.html"), b"<p>not a page to open</p>")
    write(os.path.join(tmp, "secret.txt"), b"secret")
    os.symlink(os.path.join(tmp, "secret.txt"), os.path.join(root, "escape.mp3"))
    os.symlink(os.path.join(root, "song.mp3"), os.path.join(root, "sub", "alias.mp3"))
    page = os.path.join(tmp, "page", "index.html")
    write(page, PAGE.encode())
    return {"tmp": tmp, "root": root, "page": page}


@pytest.fixture
def media_app(dev_app):
    """media_app(url, env) starts the launcher on the probe page."""
    return lambda url, env=None: MediaPage(dev_app(url, env=env))


# ---- local files ---------------------------------------------------------------------------

FIXED_HEADERS = {
    "accept-ranges": "bytes",
    "cache-control": "no-cache",
    "access-control-allow-origin": "*",
    "content-security-policy": "sandbox",
}


def test_local_files_with_byte_ranges(media_app, media_tree):
    page = media_app(media_tree["page"], {"KELOJS_READ_ACCESS": media_tree["root"]})
    song = media_url(media_tree["root"] + "/song.mp3")
    cases = [
        ("whole", None, 200, CONTENT, None),
        ("open-ended", "bytes=0-", 206, CONTENT, "bytes 0-999/1000"),
        ("middle", "bytes=10-19", 206, CONTENT[10:20], "bytes 10-19/1000"),
        ("suffix", "bytes=-100", 206, CONTENT[900:], "bytes 900-999/1000"),
        ("past-the-end", "bytes=2000-", 416, b"", "bytes */1000"),
        ("several", "bytes=0-1,5-6", 200, CONTENT, None),
    ]
    for name, rng, status, body, content_range in cases:
        got = page.probe(name, song, {"Range": rng} if rng else None)
        assert "error" not in got, (name, got)
        headers = got["headers"]
        assert (got["status"], got["body"], headers.get("content-range")) == (
            status, body.hex(), content_range), name
        assert headers.get("content-length") == str(len(body)), (name, headers)
        assert headers.get("content-type") == "audio/mpeg", (name, headers)
        assert FIXED_HEADERS.items() <= headers.items(), (name, headers)

    empty = page.probe("empty", media_url(media_tree["root"] + "/empty.wav"))
    assert (empty["status"], empty["length"], empty["headers"].get("content-length"),
            empty["headers"].get("content-type")) == (200, 0, "0", "audio/wav")

    # A link inside the root to a file inside it is served; the path is the link's.
    alias = page.probe("alias", media_url(media_tree["root"] + "/sub/alias.mp3"),
                       {"Range": "bytes=0-3"})
    assert (alias["status"], alias["body"]) == (206, CONTENT[:4].hex())


def test_files_outside_the_root_are_refused(media_app, media_tree):
    root, tmp = media_tree["root"], media_tree["tmp"]
    page = media_app(media_tree["page"], {"KELOJS_READ_ACCESS": root})
    escapes = {
        "outside": tmp + "/secret.txt",
        "dot-dot": root + "/../secret.txt",
        "encoded-dot-dot": root + "/%2e%2e/secret.txt",
        "encoded-slashes": root + "%2F..%2Fsecret.txt",
        "symlink-escape": root + "/escape.mp3",
    }
    for name, path in escapes.items():
        got = page.probe(name, media_url(path))
        assert set(got) == {"error"}, (name, got)
    outside_line = "kelojs: kelo-media file refused: %s/secret.txt is outside readAccess (%s)\n" % (
        tmp, root)
    wait_for(lambda: page.messages().count(outside_line) == len(escapes), STEP,
             lambda: "%d refusals on stderr; it has:\n%s" % (len(escapes), page.messages()))

    # Missing files and folders are not served either, and are not reported.
    for name, path in [("missing", root + "/none.mp3"), ("folder", root + "/sub"),
                       ("nul", root + "/song.mp3%00.txt")]:
        assert set(page.probe(name, media_url(path))) == {"error"}, name
    assert page.messages().count("kelo-media") == len(escapes)

    # Opening the scheme as a document is refused, whatever the page may read.
    page.app.backend.send("EVAL document.body.appendChild(document.createElement('iframe')).src"
                          " = %s" % json.dumps(media_url(root + "/sub/page.html")))
    page.wait_message("kelojs: kelo-media file refused for file:// (document load)\n")
    # The launcher still serves the page.
    assert page.probe("after", media_url(root + "/song.mp3"))["status"] == 200


def test_no_read_access_root_serves_no_files(media_app, media_tree):
    page = media_app(media_tree["page"])
    got = page.probe("song", media_url(media_tree["root"] + "/song.mp3"))
    assert set(got) == {"error"}, got
    assert "kelo-media" not in page.messages()


def _fd_targets(pid):
    fds = "/proc/%d/fd" % pid
    out = set()
    for fd in os.listdir(fds):
        try:
            out.add(os.readlink(os.path.join(fds, fd)))
        except OSError:
            pass
    return out


def _bytes_read(pid):
    with open("/proc/%d/io" % pid) as f:
        return int(dict(line.split(": ") for line in f.read().splitlines())["rchar"])


def test_a_stream_keeps_pace_with_the_page_and_stops_with_it(media_app, media_tree):
    big = os.path.join(media_tree["root"], "big.webm")
    size = 4 << 30  # sparse: no disk space, but far more than the test could stream
    with open(big, "wb") as f:
        f.truncate(size)
    page = media_app(media_tree["page"], {"KELOJS_READ_ACCESS": media_tree["root"]})
    pid = page.app.run.pid
    before = _bytes_read(pid)
    want = 256 << 20
    page.app.backend.send("EVAL stream('big', %s, {}, %d)" % (json.dumps(media_url(big)), want))
    # The launcher reads little further ahead than the page takes in, so what it sends the page
    # meanwhile does not queue behind the file: these answers come back while it streams.
    wait_for(lambda: _bytes_read(pid) - before > 64 << 20, WINDOW, "the stream to be under way")
    for n in range(10):
        page.app.backend.send("EVAL report('tick%d', 0)" % n)
        page.wait("tick%d" % n, WINDOW)
    assert not any(page._report(line, "big") for line in page.app.backend.lines)
    got = page.wait("big", WINDOW)
    assert got["status"] == 200 and got["got"] >= want, got
    assert got["headers"]["content-length"] == str(size), got
    # The launcher lets go of the file, having read a little more than the page took.
    wait_for(lambda: big not in _fd_targets(pid), WINDOW, "the launcher to close " + big)
    assert _bytes_read(pid) - before < want + (64 << 20)
    # ... and goes on serving.
    assert page.probe("after", media_url(media_tree["root"] + "/song.mp3"))["status"] == 200
    assert page.app.run.running


# ---- origins ---------------------------------------------------------------------------------

class Upstream:
    """A loopback HTTP/1.1 server: /radio is an endless chunked audio/mpeg stream (with CORS,
    policy and range headers of its own), /missing a 404 and /page.html the probe page. Every
    request's headers are recorded; a radio listener that hangs up is counted."""

    CHUNK = bytes(range(256)) * 64  # 16 KiB

    def __init__(self):
        self.requests = []
        self.hangups = 0
        self._lock = threading.Lock()
        upstream = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                with upstream._lock:
                    upstream.requests.append((self.path, dict(self.headers.items())))
                if self.path == "/radio":
                    upstream._radio(self)
                elif self.path == "/page.html":
                    self._send(200, "text/html; charset=utf-8", PAGE.encode())
                else:
                    self._send(404, "text/plain", b"no such thing")

            def _send(self, status, ctype, body):
                self.send_response(status)
                self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self._server = QuietHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self._server.server_address[1]
        self.origin = "http://127.0.0.1:%d" % self.port
        threading.Thread(target=self._server.serve_forever, daemon=True).start()

    def _radio(self, handler):
        handler.send_response(200)
        for name, value in [("Content-Type", "audio/mpeg"), ("Transfer-Encoding", "chunked"),
                            ("Accept-Ranges", "bytes"),
                            ("Access-Control-Allow-Origin", "https://elsewhere.example"),
                            ("Content-Security-Policy", "default-src 'none'"),
                            ("icy-name", "Loopback FM")]:
            handler.send_header(name, value)
        handler.end_headers()
        chunk = b"%x\r\n%s\r\n" % (len(self.CHUNK), self.CHUNK)
        try:
            while True:
                handler.wfile.write(chunk)
                handler.wfile.flush()
        except (BrokenPipeError, ConnectionResetError, socket.timeout):
            with self._lock:
                self.hangups += 1
        handler.close_connection = True

    def request_headers(self, path):
        with self._lock:
            return [headers for p, headers in self.requests if p == path]

    def close(self):
        self._server.shutdown()
        self._server.server_close()


@pytest.fixture
def upstream():
    server = Upstream()
    yield server
    server.close()


def test_local_pages_proxy_an_endless_stream(media_app, media_tree, upstream):
    page = media_app(media_tree["page"])
    radio = "kelo-media://proxy/?u=" + upstream.origin + "/radio"
    got = page.stream("radio", radio, 200000, {"Range": "bytes=0-", "X-Page": "1"})
    assert "error" not in got, got
    headers = got["headers"]
    assert got["status"] == 200 and got["got"] >= 200000, got
    assert got["head"] == upstream.CHUNK[:16].hex()
    assert headers.get("content-length") == ENDLESS, headers
    for dropped in ("transfer-encoding", "accept-ranges", "content-range"):
        assert dropped not in headers, headers
    assert headers.get("access-control-allow-origin") == "*", headers
    assert headers.get("content-security-policy") == "sandbox", headers
    assert headers.get("icy-name") == "Loopback FM", headers
    # Only Range and User-Agent travel upstream, as the page sent them.
    sent = upstream.request_headers("/radio")[0]
    assert sent.get("Range") == "bytes=0-" and sent.get("User-Agent") == page.user_agent, sent
    assert "X-Page" not in sent, sent
    # The page stopped listening: so does the launcher.
    wait_for(lambda: upstream.hangups == 1, STEP, "the proxy to hang up on the radio")

    # Upstream errors pass through as they are.
    missing = page.probe("missing", "kelo-media://proxy/?u=" + upstream.origin + "/missing")
    assert (missing["status"], bytes.fromhex(missing["body"])) == (404, b"no such thing"), missing
    assert missing["headers"].get("content-length") == "13", missing


def test_pages_of_other_origins_need_a_rule(media_app, media_tree, upstream):
    # Rules for other capabilities and other origins do not count.
    rules = "camera %s\nfile http://localhost:*\nproxy http://localhost:*\nfile" % upstream.origin
    page = media_app(upstream.origin + "/page.html",
                     {"KELOJS_READ_ACCESS": media_tree["root"], "KELOJS_MEDIA_ORIGINS": rules})
    song = page.probe("file", media_url(media_tree["root"] + "/song.mp3"))
    radio = page.probe("proxy", "kelo-media://proxy/?u=" + upstream.origin + "/missing")
    assert set(song) == {"error"} and set(radio) == {"error"}, (song, radio)
    page.wait_message("kelojs: kelo-media file refused for %s (not one of the app's own pages)\n"
                      % upstream.origin)
    page.wait_message("kelojs: kelo-media proxy refused for %s (not trusted: allow media.proxy in"
                      " kelojs.json \"api\".origins)\n" % upstream.origin)
    assert upstream.request_headers("/missing") == []


def test_a_rule_lets_a_web_page_use_both(media_app, media_tree, upstream):
    rules = "file http://127.0.0.1:*\nproxy http://127.0.0.1:*"
    page = media_app(upstream.origin + "/page.html",
                     {"KELOJS_READ_ACCESS": media_tree["root"], "KELOJS_MEDIA_ORIGINS": rules})
    song = page.probe("file", media_url(media_tree["root"] + "/song.mp3"), {"Range": "bytes=-4"})
    assert (song.get("status"), song.get("body")) == (206, CONTENT[-4:].hex()), song
    missing = page.probe("proxy", "kelo-media://proxy/?u=" + upstream.origin + "/missing")
    assert missing.get("status") == 404, missing
    # Only http and https can be proxied; the rule changes nothing there.
    for name, target in [("ftp", "ftp://127.0.0.1/x"), ("none", "")]:
        got = page.probe(name, "kelo-media://proxy/?u=" + target)
        assert set(got) == {"error"}, (name, got)
    assert "kelo-media" not in page.messages()
