"""An XDND (version 5) drag source for the end-to-end tests.

It drags without a pointer: the target only ever learns where the pointer is from the
coordinates in XdndPosition, so the whole drag is client messages and one selection. The
source window is never mapped. Every wait polls the event queue up to a deadline; while
waiting, requests for the drag's data (SelectionRequest on XdndSelection) are answered.

    with DragSource(display_name) as src:
        drag = src.enter(target_window_id, offers=file_offer(paths))
        drag.move(x, y)                 # root coordinates; waits for the XdndStatus
        drag.hover(x, y)                # moves until the target accepts
        drag.drop()                     # waits for the XdndFinished
        drag.accepted, drag.finished, drag.requests, drag.log
"""

import select
import time
import urllib.parse

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event as xevent

from harness import STEP

VERSION = 5


def file_uri(path):
    """The file:// URI of an absolute path, every byte outside the unreserved set and '/'
    percent-encoded (UTF-8 names included)."""
    return "file://" + urllib.parse.quote(path.encode("utf-8", "surrogateescape"), safe="/")


def uri_list(uris):
    """A text/uri-list body: the URIs, each ended by CRLF."""
    return "".join(u + "\r\n" for u in uris).encode("utf-8")


def file_offer(paths):
    """What a file manager offers for files: a URI list first, their paths as text too."""
    return {
        "text/uri-list": uri_list(file_uri(p) for p in paths),
        "text/plain;charset=utf-8": "\n".join(paths).encode("utf-8"),
        "UTF8_STRING": "\n".join(paths).encode("utf-8"),
        "text/plain": "\n".join(paths).encode("utf-8"),
    }


class XdndError(AssertionError):
    pass


class DragSource:
    """One connection to the X server and an unmapped window that drags from it."""

    def __init__(self, display_name):
        self.d = xdisplay.Display(display_name)
        self.root = self.d.screen().root
        self._atoms = {}
        self.win = self.root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent,
                                           override_redirect=True,
                                           event_mask=X.PropertyChangeMask)
        self.d.sync()

    def close(self):
        self.d.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    def atom_name(self, atom):
        return self.d.get_atom_name(atom) if atom else "None"

    def xdnd_version(self, wid):
        """The XdndAware version of window `wid`, or None when it takes no drops."""
        win = self.d.create_resource_object("window", wid)
        prop = win.get_full_property(self.atom("XdndAware"), Xatom.ATOM)
        return prop.value[0] if prop is not None and len(prop.value) else None

    def server_time(self, timeout=STEP):
        """A current server timestamp: the time of a PropertyNotify on our own window."""
        marker = self.atom("_KELOJS_XDND_TIME")
        self.win.change_property(marker, Xatom.STRING, 8, b"")
        self.d.flush()
        deadline = time.monotonic() + timeout
        while True:
            ev = self._next_event(deadline)
            if ev is None:
                raise XdndError("no PropertyNotify for the timestamp within %.1f s" % timeout)
            if ev.type == X.PropertyNotify and ev.atom == marker:
                return ev.time

    def enter(self, target, offers, timeout=STEP):
        """Starts a drag over window id `target` offering `offers` ({type name: bytes}, in
        the order offered) and sends XdndEnter. Returns the Drag."""
        version = self.xdnd_version(target)
        if version is None:
            raise XdndError("window 0x%x has no XdndAware property" % target)
        return Drag(self, target, min(version, VERSION), offers, timeout)

    def _next_event(self, deadline):
        """The next event, or None once the deadline has passed."""
        while True:
            if self.d.pending_events():
                return self.d.next_event()
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.d], [], [], left)


class Drag:
    """One drag from a DragSource over one target window.

    accepted is the target's answer in its latest XdndStatus (None before any);
    statuses lists every XdndStatus as (accepted, action name); requests lists every data
    type the target asked for; finished is None until XdndFinished, then (success, action
    name); log has every XDND message and selection request in order, for failure texts.
    """

    def __init__(self, source, target, version, offers, timeout):
        self.src = source
        self.d = source.d
        self.target_id = target
        self.target = self.d.create_resource_object("window", target)
        self.version = version
        self.offers = {source.atom(name): (name, data) for name, data in offers.items()}
        self.timeout = timeout
        self.statuses = []
        self.requests = []
        self.finished = None
        self.log = []
        self._awaiting_status = False

        self.time = source.server_time(timeout)
        a = source.atom
        source.win.set_selection_owner(a("XdndSelection"), self.time)
        self.d.sync()
        owner = self.d.get_selection_owner(a("XdndSelection"))
        if owner.id != source.win.id:
            raise XdndError("could not own XdndSelection (owner is 0x%x)" % owner.id)

        types = list(self.offers)
        more = len(types) > 3
        if more:
            source.win.change_property(a("XdndTypeList"), Xatom.ATOM, 32, types)
        first = (types + [0, 0, 0])[:3]
        self._send("XdndEnter", (version << 24) | int(more), *first)
        self.log.append("enter v%d %s" % (version, [n for n, _ in self.offers.values()]))

    @property
    def accepted(self):
        return self.statuses[-1][0] if self.statuses else None

    def describe(self):
        return "; ".join(self.log)

    # ---- what the source sends ---------------------------------------------------------

    def _send(self, name, *data):
        data = list(data) + [0] * (4 - len(data))
        ev = xevent.ClientMessage(window=self.target, client_type=self.src.atom(name),
                                  data=(32, [self.src.win.id] + data))
        self.target.send_event(ev, event_mask=0, propagate=False)
        self.d.flush()

    def move(self, x, y, action="XdndActionCopy"):
        """Sends XdndPosition at root (x, y) and waits for the XdndStatus that answers it
        (serving data requests meanwhile). Returns whether the target accepts."""
        self._awaiting_status = True
        self._send("XdndPosition", 0, (x << 16) | (y & 0xFFFF), self.time, self.src.atom(action))
        self.log.append("position %d,%d" % (x, y))
        self._pump(lambda: not self._awaiting_status, "an XdndStatus")
        return self.accepted

    def hover(self, x, y, timeout=None):
        """Holds the drag at root (x, y) until the target accepts it: a new XdndPosition
        after each refusing XdndStatus, as a pointer still moving over the target gives
        (a target may refuse while it is still reading the data). Returns whether the
        target accepts at the end of the time-out."""
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while not self.move(x, y) and time.monotonic() < deadline:
            pass
        return self.accepted

    def drop(self, require_finished=True):
        """Sends XdndDrop and waits for XdndFinished; returns its (success, action name).

        With require_finished=False a target that never finishes is no failure: the wait
        is bounded all the same and None is returned.
        """
        self._send("XdndDrop", 0, self.time)
        self.log.append("drop")
        try:
            self._pump(lambda: self.finished is not None, "XdndFinished")
        except XdndError:
            if require_finished:
                raise
        return self.finished

    def leave(self):
        """Sends XdndLeave: the drag left the target without a drop."""
        self._send("XdndLeave")
        self.log.append("leave")
        self.d.sync()

    # ---- what the source receives ------------------------------------------------------

    def _pump(self, check, what, timeout=None):
        timeout = self.timeout if timeout is None else timeout
        deadline = time.monotonic() + timeout
        while not check():
            ev = self.src._next_event(deadline)
            if ev is None:
                raise XdndError("timed out after %.1f s waiting for %s; so far: %s"
                                % (timeout, what, self.describe()))
            self._handle(ev)

    def _handle(self, ev):
        a = self.src.atom
        if ev.type == X.SelectionRequest and ev.selection == a("XdndSelection"):
            self._serve(ev)
        elif ev.type == X.ClientMessage and ev.window.id == self.src.win.id:
            data = ev.data[1]
            if ev.client_type == a("XdndStatus"):
                entry = (bool(data[1] & 1), self.src.atom_name(data[4]))
                self.statuses.append(entry)
                self._awaiting_status = False
                self.log.append("status accept=%s action=%s" % entry)
            elif ev.client_type == a("XdndFinished"):
                # Before version 5 XdndFinished carries no result; take it as a success.
                ok = bool(data[1] & 1) if self.version >= 5 else True
                self.finished = (ok, self.src.atom_name(data[2]) if self.version >= 5
                                 else "None")
                self.log.append("finished success=%s action=%s" % self.finished)
            else:
                self.log.append("client message %s" % self.src.atom_name(ev.client_type))

    def _serve(self, ev):
        a = self.src.atom
        target_name = self.src.atom_name(ev.target)
        self.requests.append(target_name)
        prop = ev.property or ev.target  # a requestor of old gives no property: use the target
        if ev.target == a("TARGETS"):
            ev.requestor.change_property(prop, Xatom.ATOM, 32, [a("TARGETS")] + list(self.offers))
        elif ev.target in self.offers:
            ev.requestor.change_property(prop, ev.target, 8, self.offers[ev.target][1])
        else:
            prop = X.NONE
        self.log.append("request %s%s" % (target_name, "" if prop else " (refused)"))
        notify = xevent.SelectionNotify(time=ev.time, requestor=ev.requestor,
                                        selection=ev.selection, target=ev.target, property=prop)
        ev.requestor.send_event(notify, event_mask=0, propagate=False)
        self.d.flush()
