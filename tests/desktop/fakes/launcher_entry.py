"""A dock on the session bus: follows the Update signals of com.canonical.Unity.LauncherEntry
and keeps the latest properties each app announced."""

from gi.repository import Gio

from . import Fake, START_TIMEOUT

INTERFACE = "com.canonical.Unity.LauncherEntry"


class LauncherEntryListener(Fake):
    def __init__(self, env):
        super().__init__(env)
        self.entries = {}  # app URI -> properties, merged over every Update

    def start(self):
        super().start()
        self.run(lambda: self.connection.signal_subscribe(
            None, INTERFACE, "Update", None, None, Gio.DBusSignalFlags.NONE, self._on_update))
        return self

    def _on_update(self, conn, sender, path, iface, signal, params):
        uri, props = params.unpack()
        with self._cond:
            self.entries.setdefault(uri, {}).update(props)
            self._cond.notify_all()

    def wait_entry(self, check, timeout=START_TIMEOUT):
        """Waits until check(uri, properties) holds for an entry; returns (uri, properties)."""
        with self._cond:
            found = self._cond.wait_for(lambda: next(
                ((u, dict(p)) for u, p in self.entries.items() if check(u, p)), None), timeout)
        assert found, "timed out waiting for a launcher entry; entries: %r" % self.entries
        return found
