"""logind's Inhibit on the system bus: each inhibitor is a pipe whose write end goes to the
caller; the inhibitor lasts until the caller closes it, which released(i) sees."""

import os
import select

from gi.repository import Gio, GLib

from . import DEFERRED, Fake

_XML = """<node><interface name="org.freedesktop.login1.Manager">
<method name="Inhibit"><arg type="s"/><arg type="s"/><arg type="s"/><arg type="s"/>
  <arg type="h" direction="out"/></method>
</interface></node>"""


class Logind(Fake):
    BUS = "system"
    NAME = "org.freedesktop.login1"
    OBJECTS = {"/org/freedesktop/login1": _XML}

    def __init__(self, env):
        super().__init__(env)
        self.inhibitors = []  # the read ends, one per Inhibit call

    def Inhibit(self, what, who, why, mode):
        read_end, write_end = os.pipe()
        self.inhibitors.append(read_end)
        fds = Gio.UnixFDList.new_from_array([write_end])  # the list owns the write end now
        self.invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
        return DEFERRED

    def released(self, index):
        """Whether the caller has closed inhibitor `index`."""
        poller = select.poll()
        poller.register(self.inhibitors[index], select.POLLIN)
        return bool(poller.poll(0))

    def stop(self):
        super().stop()
        for fd in self.inhibitors:
            os.close(fd)
        self.inhibitors = []
