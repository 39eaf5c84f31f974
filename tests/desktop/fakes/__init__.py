"""Small fakes of desktop services, on the test desktop's session bus or its private system bus.

A fake lives in the process that uses it (the test), on a GLib main loop of its own thread, so
a test reads what the fake saw and changes what it answers directly:

    class Battery(Fake):
        BUS = "system"
        NAME = "org.freedesktop.UPower"
        OBJECTS = {"/org/freedesktop/UPower/devices/DisplayDevice": DEVICE_XML}

        def Refresh(self):            # a D-Bus method: arguments unpacked, returns a
            return None               # GLib.Variant tuple, None (no values) or raises DBusError

    with Battery(env) as fake:        # env: the desktop's environment (bus addresses)
        fake.set_prop(path, iface, "Percentage", GLib.Variant("d", 50.0))
        fake.wait_call("Refresh")

Every method call is recorded in `calls` as (interface, method, unpacked arguments). Properties
live in `props` keyed by (path, interface, name); Get, GetAll and Set are answered from there,
and set_prop() emits PropertiesChanged.
"""

import threading
import time

from gi.repository import Gio, GLib

START_TIMEOUT = 10.0

_BUS_VARS = {"session": "DBUS_SESSION_BUS_ADDRESS", "system": "DBUS_SYSTEM_BUS_ADDRESS"}


class DBusError(Exception):
    """Raised by a fake method to answer with a D-Bus error."""

    def __init__(self, name, message=""):
        super().__init__(message)
        self.name = name
        self.message = message


class _Loop:
    """A GLib main loop on a thread of its own; run(fn) calls fn there and returns its value."""

    def __init__(self):
        self.context = GLib.MainContext.new()
        self._loop = GLib.MainLoop.new(self.context, False)
        started = threading.Event()

        def body():
            self.context.push_thread_default()
            started.set()
            self._loop.run()
            self.context.pop_thread_default()

        self._thread = threading.Thread(target=body, name="fake-bus", daemon=True)
        self._thread.start()
        started.wait(START_TIMEOUT)

    def run(self, fn):
        if threading.current_thread() is self._thread:
            return fn()
        done = threading.Event()
        box = {}

        def call():
            try:
                box["value"] = fn()
            except BaseException as exc:  # handed to the caller
                box["error"] = exc
            done.set()
            return False

        self.context.invoke_full(GLib.PRIORITY_DEFAULT, call)
        if not done.wait(START_TIMEOUT):
            raise TimeoutError("the fake's main loop did not answer")
        if "error" in box:
            raise box["error"]
        return box.get("value")

    def quit(self):
        self._loop.quit()
        self._thread.join(START_TIMEOUT)


def connect(env, bus="session", loop=None):
    """A new connection to the desktop's bus, its callbacks dispatched on `loop`'s thread."""
    address = env[_BUS_VARS[bus]]
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
             Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)

    def make():
        return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
    return loop.run(make) if loop else make()


class Fake:
    """Base of every fake service. Subclasses set BUS, NAME and OBJECTS and define methods."""

    BUS = "session"
    NAME = None
    OBJECTS = {}  # object path -> introspection XML of the interfaces it offers

    def __init__(self, env):
        self.env = env
        self.calls = []
        self.props = {}
        self._cond = threading.Condition()
        self._loop = None
        self._conn = None
        self._registrations = []
        self._owner = 0

    # ---- life ----------------------------------------------------------------------------

    def start(self):
        self._loop = _Loop()
        self._conn = connect(self.env, self.BUS, self._loop)
        self._loop.run(self._register)
        if self.NAME:
            acquired = threading.Event()
            lost = threading.Event()

            def own():
                self._owner = Gio.bus_own_name_on_connection(
                    self._conn, self.NAME, Gio.BusNameOwnerFlags.NONE,
                    lambda *a: acquired.set(), lambda *a: lost.set())
            self._loop.run(own)
            deadline = time.monotonic() + START_TIMEOUT
            while not acquired.is_set():
                if lost.is_set() or time.monotonic() > deadline:
                    self.stop()
                    raise RuntimeError("could not own %s on the %s bus" % (self.NAME, self.BUS))
                acquired.wait(0.05)
        return self

    def stop(self):
        if self._loop is None:
            return

        def release():
            if self._owner:
                Gio.bus_unown_name(self._owner)
                self._owner = 0
            for rid in self._registrations:
                self._conn.unregister_object(rid)
            self._registrations = []
            self._conn.flush_sync(None)
            self._conn.close_sync(None)
        self._loop.run(release)
        self._loop.quit()
        self._loop = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def connection(self):
        return self._conn

    def run(self, fn):
        """Runs fn on the fake's main loop thread and returns its value."""
        return self._loop.run(fn)

    # ---- objects -------------------------------------------------------------------------

    def _register(self):
        for path, xml in self.OBJECTS.items():
            for info in Gio.DBusNodeInfo.new_for_xml(xml).interfaces:
                self._registrations.append(self._conn.register_object(
                    object_path=path, interface_info=info,
                    method_call_closure=self._on_call,
                    get_property_closure=self._on_get,
                    set_property_closure=self._on_set))

    def _on_call(self, conn, sender, path, iface, method, params, invocation):
        args = params.unpack()
        with self._cond:
            self.calls.append((iface, method, args))
            self._cond.notify_all()
        handler = getattr(self, method, None)
        try:
            if handler is None:
                raise DBusError("org.freedesktop.DBus.Error.UnknownMethod",
                                "the fake has no %s" % method)
            result = self._invoke(handler, args, sender, invocation)
        except DBusError as err:
            invocation.return_dbus_error(err.name, err.message)
            return
        if result is _DEFERRED:
            return
        invocation.return_value(result)

    def _invoke(self, handler, args, sender, invocation):
        self.sender = sender
        self.invocation = invocation
        return handler(*args)

    def _on_get(self, conn, sender, path, iface, name):
        return self.props.get((path, iface, name))

    def _on_set(self, conn, sender, path, iface, name, value):
        self.props[(path, iface, name)] = value
        return True

    # ---- what a test does ------------------------------------------------------------------

    def set_prop(self, path, iface, name, value, notify=True):
        """Sets a property and, with notify, emits PropertiesChanged for it."""
        def change():
            self.props[(path, iface, name)] = value
            if notify:
                self._conn.emit_signal(
                    None, path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                    GLib.Variant("(sa{sv}as)", (iface, {name: value}, [])))
        self.run(change)

    def emit(self, path, iface, signal, params=None):
        """Emits a signal (params: a GLib.Variant tuple or None) to every listener."""
        self.run(lambda: self._conn.emit_signal(None, path, iface, signal, params))

    def wait_call(self, method, timeout=5.0, start=0):
        """Waits for a call of `method` (from index `start` of `calls`); returns its arguments."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                for iface, name, args in self.calls[start:]:
                    if name == method:
                        return args
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("timed out after %.1f s waiting for a call of %s; "
                                         "calls: %r" % (timeout, method, self.calls))
                self._cond.wait(left)

    def calls_of(self, method):
        with self._cond:
            return [args for _, name, args in self.calls if name == method]


# A fake method returns DEFERRED when it keeps self.invocation to answer later.
_DEFERRED = object()
DEFERRED = _DEFERRED
