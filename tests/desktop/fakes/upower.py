"""UPower with one display device, on the system bus."""

from gi.repository import GLib

from . import Fake

DEVICE = "/org/freedesktop/UPower/devices/DisplayDevice"
DEVICE_IFACE = "org.freedesktop.UPower.Device"
DAEMON = "/org/freedesktop/UPower"
DAEMON_IFACE = "org.freedesktop.UPower"

_DEVICE_XML = """<node><interface name="org.freedesktop.UPower.Device">
  <property name="IsPresent" type="b" access="read"/>
  <property name="Type" type="u" access="read"/>
  <property name="Percentage" type="d" access="read"/>
  <property name="State" type="u" access="read"/>
  <property name="TimeToEmpty" type="x" access="read"/>
  <property name="TimeToFull" type="x" access="read"/>
</interface></node>"""
_DAEMON_XML = """<node><interface name="org.freedesktop.UPower">
  <property name="OnBattery" type="b" access="read"/>
</interface></node>"""

CHARGING, DISCHARGING = 1, 2


class UPower(Fake):
    BUS = "system"
    NAME = "org.freedesktop.UPower"
    OBJECTS = {DEVICE: _DEVICE_XML, DAEMON: _DAEMON_XML}

    def set_battery(self, percent=None, state=DISCHARGING, to_empty=0, to_full=0,
                    on_battery=True):
        """A battery at `percent`; None: no battery (the display device is not present)."""
        values = {"IsPresent": GLib.Variant("b", percent is not None),
                  "Type": GLib.Variant("u", 2 if percent is not None else 0),
                  "Percentage": GLib.Variant("d", float(percent or 0)),
                  "State": GLib.Variant("u", state),
                  "TimeToEmpty": GLib.Variant("x", to_empty),
                  "TimeToFull": GLib.Variant("x", to_full)}
        for name, value in values.items():
            self.set_prop(DEVICE, DEVICE_IFACE, name, value, notify=False)
        self.set_prop(DAEMON, DAEMON_IFACE, "OnBattery", GLib.Variant("b", on_battery),
                      notify=False)
