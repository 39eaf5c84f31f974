"""A notification server on the session bus: records Notify calls, answers with ids, and
emits what the user does. With hold=True it keeps the capability questions unanswered until
answer() is called; inline_reply=True announces "inline-reply"."""

import time

from gi.repository import GLib

from . import DEFERRED, Fake

PATH = "/org/freedesktop/Notifications"
IFACE = "org.freedesktop.Notifications"
_XML = """<node><interface name="org.freedesktop.Notifications">
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/>
  <arg type="s"/><arg type="as"/><arg type="a{sv}"/><arg type="i"/>
  <arg type="u" direction="out"/></method>
<signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
<signal name="NotificationReplied"><arg type="u"/><arg type="s"/></signal>
<signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
</interface></node>"""

FIELDS = ("app", "replaces", "icon", "summary", "body", "actions", "hints", "timeout")


class Notifications(Fake):
    NAME = IFACE
    OBJECTS = {PATH: _XML}

    def __init__(self, env, inline_reply=False, hold=False):
        super().__init__(env)
        self.caps = ["actions", "body", "body-markup"] + (["inline-reply"] if inline_reply else [])
        self._held = [] if hold else None
        self._last_id = 0

    def GetCapabilities(self):
        if self._held is not None:
            self._held.append(self.invocation)
            return DEFERRED
        return GLib.Variant("(as)", (self.caps,))

    def answer(self):
        def release():
            held, self._held = self._held or [], None
            for invocation in held:
                invocation.return_value(GLib.Variant("(as)", (self.caps,)))
        self.run(release)

    def Notify(self, *args):
        if not args[1]:
            self._last_id += 1
        return GLib.Variant("(u)", (args[1] or self._last_id,))

    def notes(self):
        """Every Notify call so far as a dict of its fields, with "id" the id it was given."""
        out, last = [], 0
        for args in self.calls_of("Notify"):
            if not args[1]:
                last += 1
            out.append(dict(zip(FIELDS, args), id=args[1] or last))
        return out

    def wait_notes(self, count, timeout=5.0):
        """Waits until `count` notifications have come; returns notes()."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while len([c for c in self.calls if c[1] == "Notify"]) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("%d notifications, not %d, within %.1f s: %r"
                                         % (len(self.notes()), count, timeout, self.calls))
                self._cond.wait(left)
        return self.notes()

    def invoke(self, nid, key):
        self.emit(PATH, IFACE, "ActionInvoked", GLib.Variant("(us)", (nid, key)))

    def reply(self, nid, text):
        self.emit(PATH, IFACE, "NotificationReplied", GLib.Variant("(us)", (nid, text)))
