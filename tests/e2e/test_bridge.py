"""The page bridge seen from pages and from the wire: CALL lines and the frames and origins
they name, RET settling the page's promises, the loop-back form of RET, EVAL, the start-up
calls of the client script, the inject script and call numbers per document.

Pages talk back to the test by calling the backend: `report(name, value)` in a page sends the
call "test.report" with { name, value }, which the test reads from the CALL line.
"""

import json
import os
import re
import urllib.parse

import pytest

from harness import STEP, WINDOW, LoopbackServer, wait_for

CALL_LINE = re.compile(r"CALL ([^:\s]+):(s?)(\d+) (.*)", re.S)
SUBFRAME = "kelo:subframe"

# Every test page starts with this: report() goes through the bootstrap's __invoke, so it is
# an ordinary numbered call of the main frame.
REPORT_JS = """<script>
function report(name, value) {
  var params = {name: name, value: value};
  return window.__invoke(JSON.stringify({method: 'test.report', params: params}));
}
</script>
"""


def html(body, title="bridge"):
    return "<!doctype html><meta charset=utf-8><title>%s</title>\n%s%s\n" % (
        title, REPORT_JS, body)


def frame_html(body):
    """A subframe page: no bootstrap there, so it posts to the message handler itself."""
    return ("<!doctype html><meta charset=utf-8><script>\n"
            "function post(b) { window.webkit.messageHandlers.kelo.postMessage(b); }\n"
            "%s\n</script>\n" % body)


class Call:
    """One CALL line taken apart."""

    def __init__(self, line):
        m = CALL_LINE.fullmatch(line)
        assert m, "not a CALL line: %r" % line
        self.line = line
        self.win = m.group(1)
        self.subframe = m.group(2) == "s"
        self.number = m.group(3)
        self.args = json.loads(m.group(4))
        assert isinstance(self.args, list) and all(isinstance(a, str) for a in self.args), line

    @property
    def id(self):
        return "%s:%s%s" % (self.win, "s" if self.subframe else "", self.number)

    @property
    def payload(self):
        return self.args[0]

    @property
    def origin(self):
        return self.args[-1]

    @property
    def message(self):
        try:
            msg = json.loads(self.payload)
        except ValueError:
            return None
        return msg if isinstance(msg, dict) else None

    @property
    def method(self):
        return (self.message or {}).get("method")

    @property
    def params(self):
        return (self.message or {}).get("params")

    def __repr__(self):
        return "Call(%r)" % self.line


class Bridge:
    """A launcher with a fake backend, read as CALL lines."""

    def __init__(self, backend, run):
        self.backend = backend
        self.run = run

    def send(self, *lines):
        self.backend.send(*lines)

    @property
    def mark(self):
        """Index of the next line to arrive, for waits that look only at later lines."""
        return len(self.backend.lines)

    def calls(self, start=0, end=None):
        return [Call(line) for line in self.backend.lines[start:end] if line.startswith("CALL ")]

    def wait_call(self, pred, start=0, timeout=STEP):
        """The first CALL from line index `start` on for which pred(Call) holds, and the
        index of the line after it."""
        def match(line):
            return line.startswith("CALL ") and pred(Call(line))
        try:
            line = self.backend.wait_line(match, timeout, start)
        except AssertionError:
            # The start-up call's list of names is long and says nothing here.
            seen = "\n".join(line[:300] for line in self.backend.lines)
            state = "" if self.run.running else "\n" + self.run.describe()
            raise AssertionError("no matching CALL line; lines so far:\n%s%s"
                                 % (seen, state)) from None
        return Call(line), self.backend.lines.index(line, start) + 1

    def wait_method(self, method, start=0, timeout=STEP):
        return self.wait_call(lambda c: c.method == method, start, timeout)

    def wait_report(self, name, start=0, timeout=STEP):
        """The params.value of the page's report `name`, and the index after its line."""
        call, after = self.wait_call(
            lambda c: c.method == "test.report" and (c.params or {}).get("name") == name,
            start, timeout)
        return call.params.get("value"), after

    def reports(self, start=0, end=None):
        return [c.params.get("name") for c in self.calls(start, end)
                if c.method == "test.report"]


@pytest.fixture
def app(launch, backend):
    """app(url, env=None) starts a development run on `url` and waits for its connection."""
    def start(url, env=None):
        b = backend()
        run = launch(url, b.path, env=env)
        b.wait_connected(WINDOW, run)
        return Bridge(b, run)
    return start


class Site:
    """Pages served on 127.0.0.1 from a dict of path -> HTML text."""

    def __init__(self, port=0):
        self.pages = {}
        self._server = LoopbackServer(self._respond, port)
        self.port = self._server.port
        self.origin = "http://127.0.0.1" + ("" if self.port == 80 else ":%d" % self.port)

    def _respond(self, url, request):
        text = self.pages.get(url.path)
        return None if text is None else (text.encode(), "text/html; charset=utf-8")

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def close(self):
        self._server.close()


@pytest.fixture
def site():
    """site(port=0) starts a page server on loopback; port 80 skips the test when taken."""
    made = []

    def make(port=0):
        try:
            s = Site(port)
        except OSError as exc:
            pytest.skip("cannot serve on 127.0.0.1:%d: %s" % (port, exc))
        made.append(s)
        return s

    yield make
    for s in made:
        s.close()


def write_page(tmp, name, text):
    path = os.path.join(tmp, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def js(value):
    """A JavaScript literal of `value` that can stand inside an inline script."""
    return json.dumps(value).replace("</", "<\\/")


# ---- calls and answers ---------------------------------------------------------------------

ANSWER_PAGE = html("""<script>
function settle(name, promise) {
  promise.then(function (v) { report(name, {ok: true, value: v}); },
               function (e) { report(name, {ok: false, value: e}); });
}
settle('nested', kelo.api.call('test.nested', {q: 1}));
settle('rejected', kelo.api.call('test.rejected'));
settle('rejected-unparsed', kelo.api.call('test.rejected-unparsed'));
settle('resolved-unparsed', kelo.api.call('test.resolved-unparsed'));
</script>""")

# Texts that would break out of a string literal or a line on their way into the page.
AWKWARD = "</script>'\"\\\n\u2028\u2029 ☕ é"


def test_ret_settles_the_page_promise_with_the_parsed_answer(app, tmp):
    bridge = app(write_page(tmp, "answers.html", ANSWER_PAGE))
    numbers = {}
    for method in ("test.nested", "test.rejected", "test.rejected-unparsed",
                   "test.resolved-unparsed"):
        call, _ = bridge.wait_method(method, timeout=WINDOW)
        assert not call.subframe and call.win == "main"
        numbers[method] = call.number
    nested = {"list": [1, 2.5, None, True, {"deep": [AWKWARD]}], "text": AWKWARD, "empty": {}}

    # Answered out of order: the numbers, not the order, pick the promises. The answer is the
    # rest of the line, blanks included.
    mark = bridge.mark
    bridge.send(
        "RET main:%s 5 not json at all" % numbers["test.rejected-unparsed"],
        "RET main:%s 5 {\"code\": \"E_NOPE\", \"n\": [1, 2]}" % numbers["test.rejected"],
        "RET main:%s 0 %s" % (numbers["test.nested"], json.dumps(nested, ensure_ascii=False)),
        "RET main:%s 0 {broken" % numbers["test.resolved-unparsed"])

    got = {}
    for name in ("nested", "rejected", "rejected-unparsed", "resolved-unparsed"):
        got[name], _ = bridge.wait_report(name, mark)
    assert got == {
        "nested": {"ok": True, "value": nested},
        "rejected": {"ok": False, "value": {"code": "E_NOPE", "n": [1, 2]}},
        "rejected-unparsed": {"ok": False, "value": None},
        "resolved-unparsed": {"ok": True, "value": None},
    }


def _posted(bridge_start, tmp, name, bodies):
    """Starts a page that posts the JavaScript expressions `bodies` straight to the message
    handler between two marker calls; returns the CALL lines posted between the markers."""
    posts = "\n".join("try { post(%s); } catch (e) {}" % expr for expr in bodies)
    page = html("""<script>
function post(b) { window.webkit.messageHandlers.kelo.postMessage(b); }
post('90:begin');
%s
post('99:end');
</script>""" % posts)
    bridge = bridge_start(write_page(tmp, name, page))
    _, begin = bridge.wait_call(lambda c: c.payload == "begin", timeout=WINDOW)
    _, end = bridge.wait_call(lambda c: c.payload == "end", begin)
    assert all(c.origin == "file://" and len(c.args) == 2 for c in bridge.calls(0, end))
    return bridge.calls(begin, end - 1)


# Bodies posted straight to the message handler, each with the call number it must give, or
# None when it must be dropped.
BODIES = [
    ("'123456789012345:fifteen digits'", "123456789012345"),
    ("'1234567890123456:sixteen digits'", None),
    ("'007:leading zeros'", "007"),
    ("12345", None),
    ("12.5", None),
    ("true", None),
    ("null", None),
    ("undefined", None),
    ("{toString: function () { return '11:object'; }}", None),
    ("['11:array']", None),
    ("new String('11:boxed')", None),
    ("'no colon'", None),
    ("'12345'", None),
    ("''", None),
    ("':no number'", None),
    ("'x1:letter first'", None),
    ("'1x:letter last'", None),
    ("'-1:sign'", None),
    ("'+1:sign'", None),
    ("' 1:blank'", None),
    ("'1 :blank'", None),
    ("'1.5:dot'", None),
    ("'\\u0661:arabic-indic digit'", None),
    ("'\\uff11:fullwidth digit'", None),
    ("'8:last'", "8"),
]


def test_posted_bodies_need_a_string_with_1_to_15_digits_before_the_colon(app, tmp):
    calls = _posted(app, tmp, "bodies.html", [expr for expr, _ in BODIES])
    assert [c.id for c in calls] == ["main:" + n for _, n in BODIES if n]


# Payloads that must reach the wire whole, inside one line.
PAYLOADS = [
    "a:b::c",
    "",
    AWKWARD + "\t\r\x01\x1f\x7f",
    'x"],"kelo:subframe","https://bank.example',
    "\x00 and after",
]


def test_payloads_reach_the_wire_whole(app, tmp):
    calls = _posted(app, tmp, "payloads.html",
                    ["'%d:' + %s" % (n, js(p)) for n, p in enumerate(PAYLOADS, 1)])
    assert [(c.id, c.payload) for c in calls] == [
        ("main:%d" % n, p) for n, p in enumerate(PAYLOADS, 1)]


@pytest.mark.parametrize("kind", ["http", "http-port-80", "file"])
def test_calls_carry_the_origin_of_the_page(app, site, tmp, kind):
    page = html("<script>report('here', location.href);</script>")
    if kind == "file":
        url = write_page(tmp, "origin.html", page)
        origin = "file://"
    else:
        s = site(80 if kind == "http-port-80" else 0)
        s.pages["/origin.html"] = page
        url = s.url("/origin.html")
        origin = "http://127.0.0.1" if kind == "http-port-80" else "http://127.0.0.1:%d" % s.port
    bridge = app(url)
    _, after = bridge.wait_report("here", timeout=WINDOW)
    calls = bridge.calls(0, after)
    assert [c.origin for c in calls] == [origin] * len(calls)
    assert all(len(c.args) == 2 and not c.subframe for c in calls)


# ---- subframes and forged calls --------------------------------------------------------------

def test_subframe_calls_are_marked_and_their_answers_reach_no_page(app, site):
    a, b = site(), site()
    a.pages["/frame.html"] = b.pages["/frame.html"] = frame_html("""
post('3:x');
post('4:' + JSON.stringify({invoke: typeof window.__invoke, kelo: typeof window.kelo,
                            shim: typeof window.__keloShim}));""")
    a.pages["/main.html"] = html("""
<iframe src="/frame.html"></iframe>
<iframe src="%s"></iframe>
<script>
var settled = null;
kelo.api.call('test.pending').then(
  function (v) { settled = {ok: true, value: v}; report('pending', settled); },
  function (e) { settled = {ok: false, value: e}; report('pending', settled); });
kelo.api.call('test.barrier').then(function () { report('barrier', settled); });
</script>""" % b.url("/frame.html"))
    bridge = app(a.url("/main.html"))

    pending, start = bridge.wait_method("test.pending", timeout=WINDOW)
    barrier, _ = bridge.wait_method("test.barrier", start)
    assert (pending.id, barrier.id) == ("main:3", "main:4")
    framed = {}
    for origin in (a.origin, b.origin):
        for number in ("3", "4"):
            call, _ = bridge.wait_call(lambda c: c.subframe and c.origin == origin
                                       and c.number == number)
            framed[origin, number] = call
    for origin in (a.origin, b.origin):
        assert framed[origin, "3"].line == "CALL main:s3 %s" % json.dumps(
            ["x", SUBFRAME, origin], separators=(",", ":"))
        # Neither the bootstrap nor the client script runs in a subframe.
        assert json.loads(framed[origin, "4"].payload) == {
            "invoke": "undefined", "kelo": "undefined", "shim": "undefined"}

    # An answer to the subframe's call 3 must not settle the main frame's call 3: the barrier,
    # answered after it, still finds that call pending ...
    mark = bridge.mark
    bridge.send("RET main:s3 0 {\"from\":\"subframe\"}", "RET main:s3 5 {\"from\":\"subframe\"}",
                "RET main:4 0 {}")
    value, after = bridge.wait_report("barrier", mark)
    assert value is None
    # ... and it settles with its own answer later.
    bridge.send("RET main:3 0 {\"from\":\"main\"}")
    value, _ = bridge.wait_report("pending", after)
    assert value == {"ok": True, "value": {"from": "main"}}
    assert bridge.reports(mark) == ["barrier", "pending"]


# Tries to pass a main-frame call off as another origin or as a subframe's, and a subframe's
# as the main frame's. All attempts that could fool a naive bridge are made before posting.
FORGE_MAIN = """<script>
var lie = 'https://bank.example';
function https() { return 'https:'; }
var tries = [
  function () { Object.defineProperty(window, 'origin', {value: lie, configurable: true}); },
  function () { self.origin = lie; },
  function () { Object.defineProperty(document, 'origin', {value: lie}); },
  function () { Object.defineProperty(location, 'protocol', {get: https}); },
  function () { Object.defineProperty(location, 'origin', {get: function () { return lie; }}); },
  function () { Object.defineProperty(Location.prototype, 'protocol', {get: https}); },
  function () { Object.defineProperty(window, 'location', {value: {origin: lie}}); },
  function () { history.replaceState(null, '', '/elsewhere/page.html'); },
];
tries.forEach(function (t) { try { t(); } catch (e) {} });
var real = window.webkit.messageHandlers.kelo.postMessage;
// A wrapper on the page's own handler, called with another `this`.
window.webkit.messageHandlers.kelo.postMessage = function (body) {
  return real.call(window.frames[0] || {}, body + '","' + 'kelo:subframe' + '","' + lie);
};
report('main-wrapped', {origin: self.origin});
// A handler object of the page's own making around the real function.
window.webkit = {messageHandlers: {kelo: {postMessage: function (body) { real('21:' + lie); }}}};
report('main-replaced', 1);
</script>"""

FORGE_FRAME = """
var lie = %(main)s, outcome;
try { Object.defineProperty(window, 'origin', {value: lie}); } catch (e) {}
try { Object.defineProperty(location, 'host', {get: function () { return 'x'; }}); } catch (e) {}
try {
  parent.webkit.messageHandlers.kelo.postMessage('30:from parent handler');
  outcome = 'reached';
} catch (e) { outcome = e.name; }
try {
  top.webkit.messageHandlers.kelo.postMessage('31:from top handler');
} catch (e) {}
post.call(parent, '32:' + JSON.stringify({parent: outcome}));
post('33:x","' + lie);
"""


def _subframe_calls(bridge, count, start=0):
    """Waits for `count` subframe calls and returns the sorted (call id, payload, origin) of
    all subframe calls received by then."""
    def framed():
        return sorted((c.id, c.payload, c.origin) for c in bridge.calls(start) if c.subframe)
    wait_for(lambda: len(framed()) >= count, STEP,
             lambda: "%d subframe calls; got %r" % (count, framed()))
    return framed()


def test_pages_and_frames_cannot_forge_where_a_call_comes_from(app, site):
    a, b = site(), site()
    frame = frame_html(FORGE_FRAME % {"main": js(a.origin)})
    a.pages["/frame.html"] = b.pages["/frame.html"] = frame
    srcdoc = ("<script>webkit.messageHandlers.kelo.postMessage('40:' + "
              "(function () { try { return String(parent.document.title); }"
              " catch (e) { return e.name; } })())</script>")
    a.pages["/main.html"] = html("""
<iframe src="%(cross)s"></iframe>
<iframe src="/frame.html" sandbox="allow-scripts"></iframe>
<iframe srcdoc="%(srcdoc)s"></iframe>
<iframe srcdoc="%(srcdoc)s" sandbox="allow-scripts"></iframe>
<iframe src="data:text/html,%(data)s"></iframe>
<iframe id="blank"></iframe>
<script>
document.getElementById('blank').contentWindow.webkit.messageHandlers.kelo.postMessage('50:blank');
</script>
%(forge)s""" % {"cross": b.url("/frame.html"), "srcdoc": srcdoc.replace('"', "&quot;"),
                "data": urllib.parse.quote(srcdoc), "forge": FORGE_MAIN})
    bridge = app(a.url("/main.html"))

    # The page's own wrapper and handler object change the payload, never the frame or origin.
    lie = "https://bank.example"
    wrapped, _ = bridge.wait_call(lambda c: "main-wrapped" in c.payload, timeout=WINDOW)
    suffix = '","kelo:subframe","%s' % lie
    assert (wrapped.id, wrapped.args[1:]) == ("main:3", [a.origin])
    assert wrapped.payload.endswith(suffix)
    # The page did get to change what it sees as its own origin.
    assert json.loads(wrapped.payload[:-len(suffix)])["params"] == {
        "name": "main-wrapped", "value": {"origin": lie}}
    replaced, _ = bridge.wait_call(lambda c: c.number == "21")
    assert replaced.line == "CALL main:21 %s" % json.dumps([lie, a.origin],
                                                          separators=(",", ":"))

    refused = '{"parent":"SecurityError"}'
    expected = [
        ("main:s32", refused, b.origin),            # cross-origin frame
        ("main:s33", 'x","' + a.origin, b.origin),
        ("main:s32", refused, "null"),              # sandboxed frame of the page's own site
        ("main:s33", 'x","' + a.origin, "null"),
        ("main:s40", "bridge", a.origin),           # srcdoc: the parent's origin
        ("main:s40", "SecurityError", "null"),      # sandboxed srcdoc
        ("main:s40", "SecurityError", "null"),      # data: URL
        ("main:s50", "blank", a.origin),            # about:blank, posted into by its parent
    ]
    assert _subframe_calls(bridge, len(expected)) == sorted(expected)
    assert all(c.args[1] == SUBFRAME and len(c.args) == 3 for c in bridge.calls() if c.subframe)
    # Nothing a frame tried reached the main frame's handler.
    assert [c.id for c in bridge.calls() if not c.subframe] == [
        "main:1", "main:2", "main:3", "main:21"]


def test_frames_of_a_local_page_report_their_own_origin(app, tmp):
    def srcdoc(label):
        return ("<script>webkit.messageHandlers.kelo.postMessage('41:%s')</script>"
                % label).replace('"', "&quot;")
    write_page(tmp, "frame.html", frame_html("post('41:' + location.search.slice(1));"))
    page = write_page(tmp, "local.html", html("""
<iframe src="frame.html?file"></iframe>
<iframe src="frame.html?sandboxed-file" sandbox="allow-scripts"></iframe>
<iframe srcdoc="%s"></iframe>
<iframe srcdoc="%s" sandbox="allow-scripts"></iframe>
<iframe id="blank"></iframe>
<script>
document.getElementById('blank').contentWindow.webkit.messageHandlers.kelo.postMessage('41:blank');
</script>""" % (srcdoc("srcdoc"), srcdoc("sandboxed-srcdoc"))))
    bridge = app(page)
    bridge.wait_call(lambda c: c.number == "2", timeout=WINDOW)

    # A sandboxed frame has an opaque origin; srcdoc and about:blank frames have their
    # parent's.
    expected = {"file": "file://", "sandboxed-file": "null", "srcdoc": "file://",
                "sandboxed-srcdoc": "null", "blank": "file://"}
    _subframe_calls(bridge, len(expected))
    assert {c.payload: c.origin for c in bridge.calls() if c.subframe} == expected


# A frame's function kept across the frame's navigation, the opener's function kept by a popup
# across the opener's navigation, and the page's own function kept across pushState.
KEPT_MAIN = """<iframe id="f" src="/still.html"></iframe>
<script>
var mine = window.webkit.messageHandlers.kelo.postMessage, kept;
history.pushState(null, '', '/moved.html');
mine('62:same document');
var f = document.getElementById('f');
f.onload = function () {
  if (kept) { kept('61:after the frame left'); report('frame-left', 1); return; }
  kept = f.contentWindow.webkit.messageHandlers.kelo.postMessage;
  kept('60:before');
  f.src = %(landing)s;
};
function openPopup() { window.open('/popup.html'); }
</script>"""

KEPT_POPUP = """<script>
var kept = opener.webkit.messageHandlers.kelo.postMessage;
kept('70:opener here');
opener.location = %(landing)s;
var timer = setInterval(function () {
  try { opener.document; return; } catch (e) {}
  clearInterval(timer);
  kept('71:after the opener left');
  report('opener-left', 1);
}, 20);
</script>"""


def test_functions_kept_from_a_document_that_is_gone_are_refused(app, site):
    a, b = site(), site()
    landing = js(b.url("/landing.html"))
    b.pages["/landing.html"] = "<!doctype html><title>landing</title>"
    a.pages["/still.html"] = "<!doctype html><title>frame</title>"
    a.pages["/main.html"] = html(KEPT_MAIN % {"landing": landing})
    a.pages["/popup.html"] = html(KEPT_POPUP % {"landing": landing})
    bridge = app(a.url("/main.html"), env={"KELOJS_POPUPS": "window"})

    _, mark = bridge.wait_report("frame-left", timeout=WINDOW)
    bridge.send("EVAL openPopup()")
    _, end = bridge.wait_report("opener-left", mark, timeout=WINDOW)
    kept = [(c.id, c.payload, c.origin) for c in bridge.calls(0, end)
            if c.number in ("60", "61", "62", "70", "71")]
    assert sorted(kept) == [("main:62", "same document", a.origin),
                            ("main:70", "opener here", a.origin),
                            ("main:s60", "before", a.origin)]
    assert bridge.run.messages.count("launcher: dropped a page call") == 2


# The page is trusted with the camera; a frame of another site inside it is not.
CAPTURE_FRAME = """<!doctype html><script>
navigator.mediaDevices.getUserMedia({video: true}).then(
  function () { post('80:granted'); }, function (e) { post('80:' + e.name); });
function post(b) { window.webkit.messageHandlers.kelo.postMessage(b); }
</script>"""


def test_the_camera_trust_of_a_page_does_not_extend_to_frames_of_other_sites(app, site, x11):
    a, b = site(), site()
    b.pages["/cam.html"] = CAPTURE_FRAME
    a.pages["/main.html"] = html("""<script>
navigator.mediaDevices.getUserMedia({video: true}).then(
  function () { report('page', 'granted'); }, function (e) { report('page', e.name); });
</script>
<iframe src="%s" allow="camera"></iframe>""" % b.url("/cam.html"))
    bridge = app(a.url("/main.html"), env={"KELOJS_TEST_MOCK_MEDIA": "1",
                                           "KELOJS_MEDIA_ORIGINS": "camera " + a.origin})
    value, _ = bridge.wait_report("page", timeout=WINDOW)
    assert value == "granted"

    # The frame's request is put to the user, who says no.
    def dialog():
        return next((w for w in x11.client_windows(bridge.run.pid)
                     if "_NET_WM_WINDOW_TYPE_DIALOG" in x11.window_type(w)), None)
    x11.request_close(wait_for(dialog, WINDOW, "a permission dialog"))
    framed, _ = bridge.wait_call(lambda c: c.number == "80" and c.subframe)
    assert (framed.payload, framed.origin) == ("NotAllowedError", b.origin)


# ---- answers without a page, scripts from the backend ----------------------------------------

def test_ret_with_a_q_id_writes_the_answer_back_as_got(app, tmp):
    bridge = app(write_page(tmp, "idle.html", html("<script>report('ready', 1);</script>")))
    bridge.wait_report("ready", timeout=WINDOW)
    mark = bridge.mark
    bridge.send('RET q42 0 {"a":1}',
                "RET q 0 {}", "RET qx1 0 {}", "RET q4x 0 {}", "RET q-1 0 {}", "RET Q7 0 {}",
                "RET q1:2 0 {}",
                # The status plays no part; the answer is the rest of the line as it is.
                "RET q0043 7 [1, \"two three\"]")
    bridge.backend.wait_line("GOT 0043 ", start=mark)
    # Navigation events of the page may interleave; nothing else may.
    written = [l for l in bridge.backend.lines[mark:] if not l.startswith("NAV ")]
    assert written == ['GOT 42 {"a":1}', 'GOT 0043 [1, "two three"]']


EVAL_PAGE = html("""<script>
kelo.api.on('ping', function (data) { report('ping', data); });
report('ready', location.protocol);
</script>""")


def test_eval_runs_backend_scripts_in_the_main_window(app, tmp):
    bridge = app(write_page(tmp, "eval.html", EVAL_PAGE))
    _, mark = bridge.wait_report("ready", timeout=WINDOW)
    bridge.send(
        "EVAL report('plain', location.protocol)",
        "EVAL@main report('at-main', window.__KELO_WIN)",
        "EVAL@* report('everywhere', 1)",
        "EVAL@nosuch report('nosuch', 1)",
        "EVALreport('glued', 1)",
        "EVAL@main",
        # Wire escapes: a line break ends the comment, backslash-t is a tab, a doubled
        # backslash is one, and a backslash before anything else stands for that byte.
        r"EVAL // only a comment\nreport('escaped', ['\\t', '\t', '\\\\', '\q'])",
        "EVAL window.__emit({event: 'ping', data: {n: [1, 2]}})",
        "EVAL report('end', 1)")
    _, end = bridge.wait_report("end", mark)
    assert bridge.reports(mark, end) == ["plain", "at-main", "everywhere", "escaped", "ping",
                                        "end"]
    values = {c.params["name"]: c.params.get("value") for c in bridge.calls(mark, end)}
    assert values["plain"] == "file:"
    assert values["at-main"] == "main"
    assert values["escaped"] == ["\t", "\t", "\\", "q"]
    assert values["ping"] == {"n": [1, 2]}


# ---- documents: start-up calls, numbering, the inject script ---------------------------------

def _start_up_calls(calls):
    """Checks that `calls` begin with the client script's two start-up calls."""
    caps, hello = calls[0], calls[1]
    assert (caps.id, caps.method) == ("main:1", "client.capabilities")
    assert isinstance(caps.params["calls"], list) and isinstance(caps.params["events"], list)
    assert {"win.setTitle", "fetch"} <= set(caps.params["calls"])
    assert all(isinstance(name, str) for name in caps.params["calls"] + caps.params["events"])
    assert (hello.id, hello.payload) == ("main:2", '{"method":"client.hello"}')


def test_every_document_starts_with_the_start_up_calls_and_call_1(app, tmp):
    page = html("""<script>
kelo.api.call('test.ask').then(function (v) { report('answer', v); });
</script>""")
    bridge = app(write_page(tmp, "reload.html", page))
    _, after = bridge.wait_method("test.ask", timeout=WINDOW)
    calls = bridge.calls(0, after)
    _start_up_calls(calls)
    assert [c.id for c in calls] == ["main:1", "main:2", "main:3"]

    # Left unanswered; the reloaded document numbers its calls from 1 again, and an answer to
    # its call 3 settles its own promise.
    mark = bridge.mark
    bridge.send("RELOAD")
    ask, after = bridge.wait_method("test.ask", mark)
    calls = bridge.calls(mark, after)
    _start_up_calls(calls)
    assert ask.id == "main:3"
    assert [c.method for c in calls] == ["client.capabilities", "client.hello", "test.ask"]
    bridge.send('RET main:3 0 {"document":2}')
    value, _ = bridge.wait_report("answer", after)
    assert value == {"document": 2}


INJECT_JS = """(function () {
  var info = {kelo: typeof window.kelo, page: location.pathname.split('/').pop()};
  var body = JSON.stringify({method: 'test.inject', params: info});
  if (typeof window.__invoke === 'function') window.__invoke(body);
  else window.webkit.messageHandlers.kelo.postMessage('77:' + body);
})();"""


def test_inject_script_runs_after_the_client_script_in_every_main_frame_document(app, tmp):
    write_page(tmp, "frame.html", frame_html("post('5:frame loaded');"))
    write_page(tmp, "second.html", html("<script>report('second', 1);</script>"))
    first = write_page(tmp, "first.html", html("""
<script>report('first', 1);</script>
<iframe src="frame.html" onload="location.href = 'second.html'"></iframe>"""))
    bridge = app(first, env={"KELOJS_INJECT": INJECT_JS})
    _, end = bridge.wait_report("second", timeout=WINDOW)

    # A navigation starts the numbering afresh, and the inject script runs once per
    # main-frame document, after the client script's start-up calls.
    calls = bridge.calls(0, end)
    main = [(c.id, c.method, (c.params or {}).get("page") or (c.params or {}).get("name"))
            for c in calls if not c.subframe]
    assert main == [
        ("main:1", "client.capabilities", None), ("main:2", "client.hello", None),
        ("main:3", "test.inject", "first.html"), ("main:4", "test.report", "first"),
        ("main:1", "client.capabilities", None), ("main:2", "client.hello", None),
        ("main:3", "test.inject", "second.html"), ("main:4", "test.report", "second"),
    ]
    assert all(c.params["kelo"] == "object" for c in calls if c.method == "test.inject")
    assert [(c.id, c.payload) for c in calls if c.subframe] == [("main:s5", "frame loaded")]
