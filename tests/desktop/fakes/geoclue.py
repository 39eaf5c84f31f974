"""GeoClue2 on the system bus: a manager that hands out one client whose Start waits until the
test plays the desktop's agent with decide(granted)."""

from gi.repository import GLib

from . import DEFERRED, Fake

CLIENT = "/org/freedesktop/GeoClue2/Client/1"
_MANAGER = """<node><interface name="org.freedesktop.GeoClue2.Manager">
<property name="InUse" type="b" access="read"/>
<method name="GetClient"><arg type="o" direction="out"/></method>
<method name="DeleteClient"><arg type="o"/></method>
</interface></node>"""
_CLIENT = """<node><interface name="org.freedesktop.GeoClue2.Client">
<property name="DesktopId" type="s" access="readwrite"/>
<property name="RequestedAccuracyLevel" type="u" access="readwrite"/>
<method name="Start"/><method name="Stop"/>
</interface></node>"""


class GeoClue(Fake):
    BUS = "system"
    NAME = "org.freedesktop.GeoClue2"
    OBJECTS = {"/org/freedesktop/GeoClue2/Manager": _MANAGER, CLIENT: _CLIENT}

    def __init__(self, env):
        super().__init__(env)
        self.props[("/org/freedesktop/GeoClue2/Manager", "org.freedesktop.GeoClue2.Manager",
                    "InUse")] = GLib.Variant("b", False)
        self._starts = []

    def GetClient(self):
        return GLib.Variant("(o)", (CLIENT,))

    def DeleteClient(self, path):
        return None

    def Start(self):
        self._starts.append(self.invocation)
        return DEFERRED

    def Stop(self):
        return None

    def desktop_id(self):
        value = self.props.get((CLIENT, "org.freedesktop.GeoClue2.Client", "DesktopId"))
        return value.unpack() if value is not None else None

    def decide(self, granted):
        """Answers every waiting Start as the agent would."""
        def answer():
            starts, self._starts = self._starts, []
            for invocation in starts:
                if granted:
                    invocation.return_value(None)
                else:
                    invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied",
                                                 "the user said no")
        self.run(answer)
