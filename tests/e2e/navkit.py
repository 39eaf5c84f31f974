"""Helpers of the navigation, popup and download tests: a loopback site that logs requests
and serves pages and files (slowly when asked), a desktop whose default handler for web and
mail links writes what it was given to a file, a Downloads folder of the test's own, and a
launcher run read as NAV, NAVQ, POPUPQ, POPUP and DOWNLOAD lines."""

import http.server
import json
import os
import stat
import threading
import time
import urllib.parse

from harness import STEP, WINDOW, QuietHTTPServer, wait_for

# ---- the site --------------------------------------------------------------------------------


class Site:
    """An HTTP server on 127.0.0.1. Pages are HTML texts; files are bytes with a type, an
    optional attachment name, and a number of chunks sent `pause` seconds apart."""

    def __init__(self):
        self._routes = {}
        self._lock = threading.Lock()
        self._requests = []
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                path = urllib.parse.urlsplit(self.path).path
                with site._lock:
                    site._requests.append(path)
                    route = site._routes.get(path)
                if route is None:
                    self.send_error(404)
                    return
                body, ctype, filename, chunks, pause = route
                self.send_response(200)
                self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                if filename:
                    self.send_header("Content-Disposition", 'attachment; filename="%s"' % filename)
                self.end_headers()
                step = max(1, -(-len(body) // chunks))
                for start in range(0, len(body), step):
                    if start:
                        time.sleep(pause)  # the server's pace, not a wait of the test
                    try:
                        self.wfile.write(body[start:start + step])
                        self.wfile.flush()
                    except OSError:
                        return

            def log_message(self, *args):
                pass

        self._server = QuietHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self._server.server_address[1]
        threading.Thread(target=self._server.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def page(self, path, html):
        with self._lock:
            self._routes[path] = (html.encode(), "text/html; charset=utf-8", None, 1, 0)
        return self.url(path)

    def file(self, path, body, ctype="application/octet-stream", filename=None, chunks=1,
             pause=0.0):
        with self._lock:
            self._routes[path] = (body, ctype, filename, chunks, pause)
        return self.url(path)

    def requests(self, path):
        with self._lock:
            return self._requests.count(path)

    def close(self):
        self._server.shutdown()
        self._server.server_close()


def page_html(title, body=""):
    return "<!doctype html><meta charset=utf-8><title>%s</title>\n%s\n" % (title, body)


# ---- the desktop's handlers and folders -------------------------------------------------------

OPENER = """#!/bin/sh
printf '%%s\\n' "$1" >> %(log)s
"""


class DesktopDirs:
    """XDG config and data folders of a launcher run: the default handler of http, https and
    mailto links records each URL it is given in `opened_log`; downloads go to `downloads`."""

    def __init__(self, root):
        self.config = os.path.join(root, "config")
        self.data = os.path.join(root, "data")
        self.downloads = os.path.join(root, "dl")
        self.opened_log = os.path.join(root, "opened.txt")
        apps = os.path.join(self.data, "applications")
        for d in (self.config, apps, self.downloads):
            os.makedirs(d, exist_ok=True)
        opener = os.path.join(root, "opener.sh")
        with open(opener, "w") as f:
            f.write(OPENER % {"log": self.opened_log})
        os.chmod(opener, os.stat(opener).st_mode | stat.S_IXUSR)
        schemes = ("http", "https", "mailto")
        with open(os.path.join(apps, "kelo-opener.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Opener\nExec=%s %%u\n"
                    "MimeType=%s\n" % (opener, "".join("x-scheme-handler/%s;" % s
                                                       for s in schemes)))
        with open(os.path.join(self.config, "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n")
            f.writelines("x-scheme-handler/%s=kelo-opener.desktop\n" % s for s in schemes)
        with open(os.path.join(self.config, "user-dirs.dirs"), "w") as f:
            f.write('XDG_DOWNLOAD_DIR="%s"\n' % self.downloads)

    @property
    def env(self):
        return {"XDG_CONFIG_HOME": self.config, "XDG_DATA_HOME": self.data}

    def opened(self):
        try:
            with open(self.opened_log) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def wait_opened(self, url, timeout=STEP):
        wait_for(lambda: url in self.opened(), timeout,
                 lambda: "%s to be opened by the desktop; opened: %r" % (url, self.opened()))


# ---- the launcher's lines ---------------------------------------------------------------------


def event(line, verb):
    """The JSON object of an event line "VERB {...}", or None for another line."""
    if not line.startswith(verb + " {"):
        return None
    return json.loads(line[len(verb) + 1:])


class NavRun:
    """A development run read as navigation lines."""

    def __init__(self, run, backend):
        self.run = run
        self.backend = backend

    @property
    def mark(self):
        return len(self.backend.lines)

    def send(self, *lines):
        self.backend.send(*lines)

    def eval(self, script, win=None):
        self.send(("EVAL@%s " % win if win else "EVAL ") + script.replace("\\", "\\\\"))

    def wait(self, pred, start=0, timeout=STEP):
        """The first line from `start` on that pred accepts, and its index."""
        line = self.backend.wait_line(pred, timeout, start)
        return line, self.backend.lines.index(line, start)

    def events(self, verb, start=0, end=None):
        found = []
        for line in self.backend.lines[start:end]:
            ev = event(line, verb)
            if ev is not None:
                found.append(ev)
        return found

    def wait_event(self, verb, start=0, timeout=STEP, **fields):
        """The first `verb` event from `start` on whose fields include `fields`; returns the
        event and its line index."""
        def match(line):
            ev = event(line, verb)
            return ev is not None and all(ev.get(k) == v for k, v in fields.items())
        line, index = self.wait(match, start, timeout)
        return event(line, verb), index

    def wait_nav(self, kind, url, start=0, timeout=WINDOW, window="main"):
        return self.wait_event("NAV", start, timeout, kind=kind, url=url, window=window)

    def wait_question(self, verb, url, start=0, timeout=WINDOW):
        """A NAVQ or POPUPQ line for `url`: (id, head fields, tab fields, index)."""
        def match(line):
            if not line.startswith(verb + " "):
                return False
            fields = line.split("\t")
            return len(fields) > 1 and (fields[1] == url if verb == "NAVQ" else fields[2] == url)
        line, index = self.wait(match, start, timeout)
        head, *rest = line.split("\t")
        qid, target = head[len(verb) + 1:].split(" ", 1)
        return qid, target, rest, index

    def questions(self, start=0):
        return [line for line in self.backend.lines[start:]
                if line.startswith(("NAVQ ", "POPUPQ "))]

    def arrival(self, index):
        return self.backend.arrival(index)

