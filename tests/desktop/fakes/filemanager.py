"""The file manager's ShowItems on the session bus: calls are recorded."""

from . import Fake

_XML = """<node><interface name="org.freedesktop.FileManager1">
<method name="ShowItems"><arg type="as"/><arg type="s"/></method>
</interface></node>"""


class FileManager(Fake):
    NAME = "org.freedesktop.FileManager1"
    OBJECTS = {"/org/freedesktop/FileManager1": _XML}

    def ShowItems(self, uris, startup_id):
        return None
