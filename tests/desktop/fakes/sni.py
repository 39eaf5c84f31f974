"""A tray: a StatusNotifierWatcher that records the items registering with it, and a host
that reads an item's properties, clicks it and drives its dbusmenu as a panel does."""

from gi.repository import Gio, GLib

from fakes import Fake

WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""

ITEM = ("/StatusNotifierItem", "org.kde.StatusNotifierItem")


class Tray(Fake):
    NAME = "org.kde.StatusNotifierWatcher"
    OBJECTS = {"/StatusNotifierWatcher": WATCHER_XML}

    def start(self):
        self.items = []  # bus names of the registered items still on the bus
        super().start()
        self.run(lambda: self.connection.signal_subscribe(
            "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", None, None,
            Gio.DBusSignalFlags.NONE, self._owner_changed))
        return self

    def RegisterStatusNotifierItem(self, service):
        with self._cond:
            self.items.append(self.sender if service.startswith("/") else service)
            self._cond.notify_all()

    def _owner_changed(self, conn, sender, path, iface, signal, params):
        name, _, new = params.unpack()
        with self._cond:
            if not new and name in self.items:
                self.items.remove(name)
                self._cond.notify_all()

    def wait_items(self, count, timeout=5.0):
        """Waits until `count` items are registered; returns their names."""
        with self._cond:
            if not self._cond.wait_for(lambda: len(self.items) == count, timeout):
                raise AssertionError("registered items: %r, not %d" % (self.items, count))
            return list(self.items)

    # ---- the host's side ---------------------------------------------------------------------

    def call(self, service, path, iface, method, args=None):
        reply = self.connection.call_sync(service, path, iface, method, args, None,
                                          Gio.DBusCallFlags.NONE, 5000, None)
        return reply.unpack() if reply is not None else None

    def item(self, service):
        """Every property of the item."""
        return self.call(service, ITEM[0], "org.freedesktop.DBus.Properties", "GetAll",
                         GLib.Variant("(s)", (ITEM[1],)))[0]

    def click(self, service, method, x=0, y=0):
        """Activate (a primary click), ContextMenu or SecondaryActivate at (x, y)."""
        self.call(service, *ITEM, method, GLib.Variant("(ii)", (x, y)))

    def menu(self, service):
        """The item's menu as [(id, properties, children), ...] below its root."""
        path = self.item(service)["Menu"]
        layout = self.call(service, path, "com.canonical.dbusmenu", "GetLayout",
                           GLib.Variant("(iias)", (0, -1, [])))[1]
        return layout[2]

    def choose(self, service, item_id):
        path = self.item(service)["Menu"]
        self.call(service, path, "com.canonical.dbusmenu", "Event",
                  GLib.Variant("(isvu)", (item_id, "clicked", GLib.Variant("i", 0), 0)))
