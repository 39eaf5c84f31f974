"""Another application on the test desktop: a GTK program answering one command a line.

    own TARGET=BASE64...   owns CLIPBOARD with these targets        -> "ok"
    primary TEXT           owns PRIMARY with this text             -> "ok"
    read TARGET            the CLIPBOARD's TARGET                  -> "data BASE64" or "none"
    window TITLE           shows a window taking file drops        -> "window XID"
Drags the window has answered print "over", drops "drop URI...". Its WM_CLASS is "kelopeer".
"""

import base64
import os
import queue
import subprocess
import sys
import threading

from harness import STEP, WINDOW

if __name__ == "__main__":
    import gi
    gi.require_version("Gtk", "3.0")
    gi.require_version("Gdk", "3.0")
    gi.require_version("GdkX11", "3.0")
    from gi.repository import GLib
    GLib.set_prgname("kelopeer")
    from gi.repository import Gdk, GdkX11, Gtk  # noqa: F401 (GdkX11 gives get_xid)


def say(line):
    print(line, flush=True)


def main():
    owner = Gtk.Invisible()
    owned = {}  # selection atom -> {target atom: bytes}
    drop = Gtk.Window(title="peer")
    drop.drag_dest_set(Gtk.DestDefaults.ALL, [Gtk.TargetEntry.new("text/uri-list", 0, 0)],
                       Gdk.DragAction.COPY)
    drop.connect("drag-data-received",
                 lambda w, ctx, x, y, data, info, t: say("drop " + " ".join(data.get_uris())))
    drop.connect("map-event", lambda *a: say("window %d" % drop.get_window().get_xid()))
    # A source sends its next position only once it has the answer to the last one: a second
    # position means the source knows the window takes the drop.
    motions = []
    drop.connect("drag-motion", lambda *a: motions.append(1) or len(motions) != 2 or say("over"))

    def serve(widget, data, info, time):
        offers = owned.get(data.get_selection(), {})
        target = data.get_target()
        if target in offers:
            data.set(target, 16 if target.name() == "application/x-color" else 8, offers[target])

    owner.connect("selection-get", serve)

    def own(selection, offers):
        Gtk.selection_clear_targets(owner, selection)
        owned[selection] = {}
        for name, data in offers.items():
            atom = Gdk.Atom.intern(name, False)
            owned[selection][atom] = data
            Gtk.selection_add_target(owner, selection, atom, 0)
        Gtk.selection_owner_set(owner, selection, Gdk.CURRENT_TIME)
        say("ok")

    def command(line):
        verb, _, rest = line.partition(" ")
        if verb == "own":
            own(Gdk.SELECTION_CLIPBOARD, {k: base64.b64decode(v) for k, v in
                                          (item.split("=", 1) for item in rest.split())})
        elif verb == "primary":
            own(Gdk.SELECTION_PRIMARY, {"UTF8_STRING": rest.encode()})
        elif verb == "read":
            clip = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)
            data = clip.wait_for_contents(Gdk.Atom.intern(rest, False))
            raw = data.get_data() if data is not None and data.get_length() >= 0 else None
            say("none" if raw is None else "data " + base64.b64encode(raw).decode())
        elif verb == "window":
            drop.set_title(rest)
            drop.show_all()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            Gtk.main_quit()
            return False
        command(line.rstrip("\n"))
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    say("ready")
    Gtk.main()


class Peer:
    """The test's handle on a running peer."""

    def __init__(self, env):
        self.proc = subprocess.Popen([sys.executable, os.path.abspath(__file__)], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.pid = self.proc.pid
        self._lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.expect("ready", WINDOW)

    def _read(self):
        for line in self.proc.stdout:
            self._lines.put(line.rstrip("\n"))
        self._lines.put("(the peer ended)")

    def expect(self, prefix, timeout=STEP, required=True):
        """The next output line, which must start with `prefix` (None after the time-out when
        it is not required)."""
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            if not required:
                return None
            line = "(nothing within %.1f s)" % timeout
        assert line.startswith(prefix), "peer said %r, expected %r" % (line, prefix)
        return line[len(prefix):].strip()

    def ask(self, line, prefix="ok"):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        return self.expect(prefix)

    def own(self, offers):
        self.ask("own " + " ".join("%s=%s" % (k, base64.b64encode(v).decode())
                                   for k, v in offers.items()))

    def read(self, target):
        out = self.ask("read " + target, "")
        return None if out == "none" else base64.b64decode(out.split(" ", 1)[1])

    def close(self):
        self.proc.kill()
        self.proc.wait(STEP)


if __name__ == "__main__":
    main()
