"""A dock on the session bus: follows the Update signals of com.canonical.Unity.LauncherEntry
and keeps what each app announced."""

from gi.repository import Gio

from . import Fake, START_TIMEOUT

INTERFACE = "com.canonical.Unity.LauncherEntry"


class LauncherEntryListener(Fake):
    def __init__(self, env):
        super().__init__(env)
        self.history = []  # (app URI, its properties merged over every Update so far)

    def start(self):
        super().start()
        self.run(lambda: self.connection.signal_subscribe(
            None, INTERFACE, "Update", None, None, Gio.DBusSignalFlags.NONE, self._on_update))
        return self

    def _on_update(self, conn, sender, path, iface, signal, params):
        uri, props = params.unpack()
        with self._cond:
            last = next((p for u, p in reversed(self.history) if u == uri), {})
            self.history.append((uri, dict(last, **props)))
            self._cond.notify_all()

    def wait_entry(self, check, start=0, timeout=START_TIMEOUT):
        """Waits for a state, from index `start` of the history on, for which
        check(uri, properties) holds; returns (its index, uri, properties)."""
        with self._cond:
            found = self._cond.wait_for(lambda: next(
                ((i, u, p) for i, (u, p) in enumerate(self.history) if i >= start and check(u, p)),
                None), timeout)
        assert found, "timed out waiting for a launcher entry; history: %r" % self.history
        return found
