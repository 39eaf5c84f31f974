"""The screen saver's Inhibit and UnInhibit on the session bus; `held` is the set of cookies
not yet given back."""

from gi.repository import GLib

from . import Fake

_XML = """<node><interface name="org.freedesktop.ScreenSaver">
<method name="Inhibit"><arg type="s"/><arg type="s"/><arg type="u" direction="out"/></method>
<method name="UnInhibit"><arg type="u"/></method>
</interface></node>"""


class ScreenSaver(Fake):
    NAME = "org.freedesktop.ScreenSaver"
    OBJECTS = {"/org/freedesktop/ScreenSaver": _XML}

    def __init__(self, env):
        super().__init__(env)
        self.held = set()

    def Inhibit(self, app, reason):
        cookie = len(self.calls_of("Inhibit"))
        self.held.add(cookie)
        return GLib.Variant("(u)", (cookie,))

    def UnInhibit(self, cookie):
        self.held.discard(cookie)
