"""The desktop portal's colour picker (org.freedesktop.portal.Screenshot.PickColor).

PickColor answers with its request's object path; the test then calls respond() to play the
user's pick (or cancel) as the Response signal of that request."""

from gi.repository import GLib

from . import Fake

PATH = "/org/freedesktop/portal/desktop"
XML = """<node><interface name="org.freedesktop.portal.Screenshot">
  <method name="PickColor"><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
    <arg type="o" direction="out"/></method>
  <property name="version" type="u" access="read"/>
</interface></node>"""


class ScreenshotPortal(Fake):
    NAME = "org.freedesktop.portal.Desktop"
    OBJECTS = {PATH: XML}

    def PickColor(self, parent, options):
        sender = self.sender.lstrip(":").replace(".", "_")
        self.request = "%s/request/%s/%s" % (PATH, sender, options.get("handle_token", "t"))
        return GLib.Variant("(o)", (self.request,))

    def respond(self, response, rgb=None):
        results = {"color": GLib.Variant("(ddd)", rgb)} if rgb else {}
        self.emit(self.request, "org.freedesktop.portal.Request", "Response",
                  GLib.Variant("(ua{sv})", (response, results)))
