"""NetworkManager with one Wi-Fi device and its access point, on the system bus."""

from gi.repository import GLib

from . import Fake

NM = "org.freedesktop.NetworkManager"
ROOT = "/org/freedesktop/NetworkManager"
DEVICE = ROOT + "/Devices/1"
AP = ROOT + "/AccessPoint/1"

_NM_XML = """<node><interface name="org.freedesktop.NetworkManager">
  <property name="WirelessEnabled" type="b" access="read"/>
  <property name="Devices" type="ao" access="read"/>
</interface></node>"""
_DEVICE_XML = """<node><interface name="org.freedesktop.NetworkManager.Device">
  <property name="DeviceType" type="u" access="read"/>
</interface><interface name="org.freedesktop.NetworkManager.Device.Wireless">
  <property name="ActiveAccessPoint" type="o" access="read"/>
  <property name="Bitrate" type="u" access="read"/>
</interface></node>"""
_AP_XML = """<node><interface name="org.freedesktop.NetworkManager.AccessPoint">
  <property name="Ssid" type="ay" access="read"/>
  <property name="HwAddress" type="s" access="read"/>
  <property name="Strength" type="y" access="read"/>
</interface></node>"""


class NetworkManager(Fake):
    BUS = "system"
    NAME = NM
    OBJECTS = {ROOT: _NM_XML, DEVICE: _DEVICE_XML, AP: _AP_XML}

    def set_wifi(self, ssid=None, bssid="", strength=0, bitrate_kbps=0, enabled=True):
        """Wi-Fi connected to `ssid` (bytes); None: switched on but not connected."""
        def put(path, iface, name, value):
            self.set_prop(path, iface, name, value, notify=False)
        put(ROOT, NM, "WirelessEnabled", GLib.Variant("b", enabled))
        put(ROOT, NM, "Devices", GLib.Variant("ao", [DEVICE]))
        put(DEVICE, NM + ".Device", "DeviceType", GLib.Variant("u", 2))
        wireless = NM + ".Device.Wireless"
        put(DEVICE, wireless, "ActiveAccessPoint", GLib.Variant("o", AP if ssid else "/"))
        put(DEVICE, wireless, "Bitrate", GLib.Variant("u", bitrate_kbps))
        ap = NM + ".AccessPoint"
        put(AP, ap, "Ssid", GLib.Variant("ay", ssid or b""))
        put(AP, ap, "HwAddress", GLib.Variant("s", bssid))
        put(AP, ap, "Strength", GLib.Variant("y", strength))
