"""SECRET, AUTH, OSA, COOKIES and SPOTLIGHT against the real keyring daemon, a PAM service of
the test's own, pages on a loopback server, a prepared home folder and a SPARQL endpoint
standing in for the desktop's file index."""

import json
import os
import subprocess
import time
import urllib.parse

import pytest
from Xlib import X, XK
from Xlib.ext import xtest

from harness import STEP, WINDOW, LoopbackServer, wait_for

MINER = "org.freedesktop.Tracker3.Miner.Files"


def answer(app, rid, timeout=STEP, start=0):
    """The parsed answer to request `rid`, once it arrives."""
    got = app.backend.wait_line("GOT %s " % rid, timeout, start)
    return json.loads(got[len("GOT %s " % rid):])


def ask(app, rid, line, timeout=STEP):
    """Sends a command (text or bytes) with request id `rid`; returns its parsed answer."""
    start = len(app.backend.lines)
    app.backend.send_raw((line.encode() if isinstance(line, str) else line) + b"\n")
    return answer(app, rid, timeout, start)


def bus_owned(env, name):
    out = subprocess.run(["gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o",
                          "/org/freedesktop/DBus", "-m", "org.freedesktop.DBus.NameHasOwner",
                          name], env=env, capture_output=True, text=True).stdout
    return "true" in out


def service_on_bus(argv, env, name, stdin=b""):
    """Starts a D-Bus service, gives it `stdin` and waits until it owns `name`."""
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    proc.stdin.write(stdin)
    proc.stdin.close()
    wait_for(lambda: bus_owned(env, name) or proc.poll() is not None, WINDOW, name)
    assert proc.poll() is None, "%s exited with %s" % (argv[0], proc.returncode)
    return proc


def new_window(x11, seen, wanted, what):
    """Waits for a viewable managed window, of any process, not in `seen` for which
    wanted(window) holds; adds it to `seen` and returns it."""
    def find():
        for wid in x11._prop(x11.root, "_NET_CLIENT_LIST") or []:
            win = x11.d.create_resource_object("window", wid)
            if wid not in seen and x11.is_viewable(win) and wanted(win):
                seen.add(wid)
                return win
        return None
    return wait_for(find, WINDOW, what)


def type_into(x11, win, *texts, key="Return"):
    """Focuses the window, then types each text (lower-case letters and blanks) and presses
    `key` after it."""
    x11.activate(win)
    x11.wait_until(lambda: x11._prop(x11.root, "_NET_ACTIVE_WINDOW")[0] == win.id,
                   "window 0x%x to be focused" % win.id)
    for text in texts:
        for name in [{" ": "space"}.get(c, c) for c in text] + [key]:
            code = x11.d.keysym_to_keycode(XK.string_to_keysym(name))
            xtest.fake_input(x11.d, X.KeyPress, code)
            xtest.fake_input(x11.d, X.KeyRelease, code)
    x11.d.sync()


@pytest.fixture(scope="module")
def keyring(desktop):
    """gnome-keyring's secrets component with an unlocked login collection as the default."""
    env = desktop.child_env()
    proc = service_on_bus(["gnome-keyring-daemon", "--foreground", "--components=secrets",
                           "--unlock"], env, "org.freedesktop.secrets", b"keyring-pass")
    yield env
    proc.terminate()
    proc.wait(STEP)


def test_secrets_round_trip_through_the_keyring(keyring, dev_app, x11):
    app = dev_app()
    rid = iter(range(1000))

    def secret(*fields):
        n = next(rid)
        return ask(app, n, "SECRET %d %s" % (n, "\t".join(fields)))

    assert secret("get", "kelo.test", "ann") == {"ok": True, "value": None}
    assert secret("set", "kelo.test", "ann", "first") == {"ok": True}
    assert secret("set", "kelo.test", "ann", "s\u00e9cret\\t\\\\") == {"ok": True}
    assert secret("get", "kelo.test", "ann") == {"ok": True, "value": "s\u00e9cret\t\\"}
    # Other programs of the desktop find it under the same attributes.
    lookup = subprocess.run(["secret-tool", "lookup", "service", "kelo.test", "account", "ann"],
                            env=keyring, capture_output=True, timeout=STEP)
    assert lookup.stdout == "s\u00e9cret\t\\".encode()
    assert secret("del", "kelo.test", "ann") == {"ok": True}
    assert secret("get", "kelo.test", "ann")["value"] is None
    assert secret("del", "kelo.test", "ann") == {"ok": True}
    big = "x" * (1 << 20)
    assert secret("set", "kelo.test", "big", big) == {"ok": True}
    assert secret("get", "kelo.test", "big")["value"] == big
    assert ask(app, "b", b"SECRET b set\tkelo.test\tbin\t\xff\xfe") == {"ok": True}
    assert secret("get", "kelo.test", "bin") == {"ok": True, "value": None}
    assert secret("list", "kelo.test") == {"ok": False, "error": "unknown secret op"}
    assert ask(app, "o1", "OSA o1 beep") == {
        "ok": False, "error": "AppleScript is not available on this platform"}

    # A locked keyring shows its own unlock prompt; dismissed, the item stays locked.
    subprocess.run(["gdbus", "call", "--session", "-d", "org.freedesktop.secrets", "-o",
                    "/org/freedesktop/secrets", "-m", "org.freedesktop.Secret.Service.Lock",
                    "['/org/freedesktop/secrets/collection/login']"], env=keyring, check=True,
                   capture_output=True)
    seen = set()
    for n, op in enumerate(["get", "del"]):
        app.backend.send("SECRET L%d %s\tkelo.test\tbig" % (n, op))
        prompt = new_window(x11, seen, lambda w: "Unlock" in (x11.title(w) or ""),
                            "the keyring's unlock prompt")
        assert ask(app, "g%d" % n, "GET g%d windows" % n) == ["main"]
        type_into(x11, prompt, "", key="Escape")
        assert answer(app, "L%d" % n) == {"ok": False, "error": "keychain error 2"}


@pytest.fixture
def pam_service(tmp):
    """A PAM service accepting the password "open sesame", built like the system's password
    stack: the check's verdict, else a denial. The check logs every try."""
    check = os.path.join(tmp, "check")
    with open(check, "w") as f:
        f.write("#!/bin/sh\npw=$(tr -d '\\000')\necho try >> %s.log\n"
                "[ \"$pw\" = \"open sesame\" ]\n" % check)
    os.chmod(check, 0o755)
    os.mkdir(os.path.join(tmp, "pam.d"))
    path = os.path.join(tmp, "pam.d", "kelotest")
    with open(path, "w") as f:
        f.write("auth [success=1 default=ignore] pam_exec.so expose_authtok quiet %s\n"
                "auth requisite pam_deny.so\nauth required pam_permit.so\n"
                "account required pam_permit.so\n" % check)
    return path


def test_auth_dialog_checks_the_password_with_pam(pam_service, dev_app, x11):
    app = dev_app(env={"KELOJS_TEST_PAM_SERVICE": pam_service})

    seen = {app.win.id}

    def dialog(rid):
        app.backend.send("AUTH %s unlock the vault" % rid)
        return new_window(x11, seen, lambda w: w in x11.client_windows(app.run.pid),
                          "the password dialog")

    # A wrong password, then the right one typed ahead while the first is checked.
    win = dialog("a1")
    assert ask(app, "g1", "GET g1 windows") == ["main"]  # the wire keeps flowing
    type_into(x11, win, "nope", "open sesame")
    assert answer(app, "a1") == {"ok": True, "error": None}
    type_into(x11, dialog("a2"), "a", "b", "c")
    assert answer(app, "a2", STEP * 2) == {"ok": False, "error": "authentication failed"}
    type_into(x11, dialog("a3"), "", key="Escape")
    assert answer(app, "a3") == {"ok": False, "error": "canceled by user"}
    with open(pam_service.replace("pam.d/kelotest", "check.log")) as f:
        assert len(f.read().split()) == 5
    # A dialog still open when the launcher quits is answered then.
    dialog("a4")
    app.backend.send("QUIT")
    assert answer(app, "a4") == {"ok": False, "error": "the launcher is quitting"}


def test_auth_without_a_usable_pam_service_is_unavailable(tmp, dev_app):
    app = dev_app(env={"KELOJS_TEST_PAM_SERVICE": os.path.join(tmp, "none", "kelotest")})
    assert ask(app, "u1", "AUTH u1 ") == {"ok": False, "error": "authentication unavailable"}


def test_cookies_of_pages_and_of_the_backend(dev_app):
    seen = []

    def respond(url, request):
        seen.append((url.path, request.headers.get("Cookie") or ""))
        if url.path == "/":
            return (b"<!doctype html><script>document.cookie='page=1; path=/';"
                    b"fetch('/set')</script>", "text/html")
        return b"", "text/plain"
    server = LoopbackServer(respond)
    try:
        app = dev_app("http://127.0.0.1:%d/" % server.port)
        wait_for(lambda: any(p == "/set" for p, _ in seen), WINDOW, "the page's cookie")
        page = [c for c in ask(app, "c1", "COOKIES c1 get")["cookies"] if c["name"] == "page"]
        assert page and page[0]["domain"] == "127.0.0.1" and page[0]["expires"] is None
        expires = (int(time.time()) + 86400) * 1000
        assert ask(app, "c2", "COOKIES c2 set\tsid\tv1\t127.0.0.1\t/\t%d\t0\t1\tstrict"
                   % expires) == {"ok": True}
        assert ask(app, "c3", "COOKIES c3 set\ttok\tt\t127.0.0.1\t/app\t\t0\t0\tnone") == {
            "ok": True}
        app.backend.send("RELOAD")
        wait_for(lambda: any("sid=" in c for _, c in seen), WINDOW, "the cookie sent to a page")
        sent = next(c for _, c in seen if "sid=" in c)
        assert "sid=v1" in sent and "page=1" in sent
        mine = {c["name"]: c for c in ask(app, "c4", "COOKIES c4 get")["cookies"]}
        assert mine["sid"] == {"name": "sid", "value": "v1", "domain": "127.0.0.1",
                               "path": "/", "expires": expires, "secure": False,
                               "httpOnly": True, "sameSite": "strict"}
        assert mine["tok"]["sameSite"] == "none" and mine["tok"]["expires"] is None
        assert ask(app, "c5", "COOKIES c5 delete\ttok\t127.0.0.1\t/app/") == {
            "ok": True, "removed": 0}
        assert ask(app, "c6", "COOKIES c6 delete\ttok\t127.0.0.1\t/app") == {
            "ok": True, "removed": 1}
        assert "tok" not in {c["name"] for c in ask(app, "c7", "COOKIES c7 get")["cookies"]}
        for n, rest in enumerate(["\tv\t127.0.0.1", "a\tb\t127.0.0.1\t/\ttomorrow",
                                  "a\tb;c=d\t127.0.0.1"]):
            assert ask(app, "i%d" % n, "COOKIES i%d set\t%s" % (n, rest)) == {
                "ok": False, "error": "invalid cookie"}
        assert ask(app, "b1", "COOKIES b1 list") == {"ok": False, "error": "bad cookies op"}
    finally:
        server.close()


def test_spotlight_walks_the_home_or_asks_the_index(tmp, dev_app, desktop):
    home = os.path.join(tmp, "home")
    for name in ["Documents/R\u00e9sum\u00e9.txt", "resume-notes.md", ".cache/resume.txt",
                 "Music/RESUMEN.mp3", "other.txt"] + ["many/match-%03d" % i for i in range(150)]:
        os.makedirs(os.path.dirname(os.path.join(home, name)), exist_ok=True)
        open(os.path.join(home, name), "w").close()
    app = dev_app(env={"HOME": home})

    def search(rid, query):
        return ask(app, rid, "SPOTLIGHT %s %s" % (rid, query), timeout=STEP * 2)

    found = {os.path.relpath(p, home) for p in search("s1", "resume")["paths"]}
    assert found == {"Documents/R\u00e9sum\u00e9.txt", "resume-notes.md", "Music/RESUMEN.mp3"}
    assert {os.path.relpath(p, home) for p in search("s2", "R\u00c9SUM\u00c9")["paths"]} == found
    assert len(search("s3", "match")["paths"]) == 100
    assert search("s4", "")["paths"] == [] and search("s5", "q" * 10240)["paths"] == []

    env = desktop.child_env()
    index = service_on_bus(["tracker3", "endpoint", "--dbus-service", MINER, "--ontology",
                            "nepomuk", "--database", os.path.join(tmp, "index"), "--session"],
                           env, MINER)
    try:
        def uri(path):
            return "file://" + urllib.parse.quote(path)
        zebra, report = uri(home + "/indexed/Zebra notes.txt"), uri(home + "/indexed/r.odt")
        update = ("INSERT DATA { <%s> a nfo:FileDataObject ; nfo:fileName 'Zebra notes.txt' ;"
                  " nie:url '%s' . <file:///elsewhere/zebra.txt> a nfo:FileDataObject ;"
                  " nfo:fileName 'zebra.txt' ; nie:url 'file:///elsewhere/zebra.txt' ."
                  " <%s> a nfo:FileDataObject ; nie:url '%s' . _:d a nfo:Document ;"
                  " nie:isStoredAs <%s> ; nie:plainTextContent 'quarterly figures' . }"
                  % (zebra, zebra, report, report, report))
        subprocess.run(["tracker3", "sparql", "-b", MINER, "-u", "-q", update], env=env,
                       check=True, capture_output=True, timeout=WINDOW)
        assert search("t1", "ZEBRA")["paths"] == [home + "/indexed/Zebra notes.txt"]
        assert search("t2", "quart")["paths"] == [home + "/indexed/r.odt"]
    finally:
        index.terminate()
        index.wait(STEP)
