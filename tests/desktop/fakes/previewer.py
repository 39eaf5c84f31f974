"""GNOME's file previewer (org.gnome.NautilusPreviewer2): records what it is asked to show;
move() plays the user's arrow keys as a SelectionEvent."""

from gi.repository import GLib

from . import Fake

PATH = "/org/gnome/NautilusPreviewer"
IFACE = "org.gnome.NautilusPreviewer2"
XML = """<node><interface name="%s">
  <method name="ShowFile"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="b" direction="in"/></method>
  <method name="Close"/>
  <signal name="SelectionEvent"><arg type="u"/></signal>
</interface></node>""" % IFACE

RIGHT = 5  # GtkDirectionType


class Previewer(Fake):
    NAME = "org.gnome.NautilusPreviewer"
    OBJECTS = {PATH: XML}

    def ShowFile(self, uri, window, close_if_shown):
        return None

    def Close(self):
        return None

    def move(self, direction=RIGHT):
        self.emit(PATH, IFACE, "SelectionEvent", GLib.Variant("(u)", (direction,)))
