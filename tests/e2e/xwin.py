"""X11 helpers of the end-to-end tests: find a process's windows and read what the window
manager and the X server know about them (EWMH properties, geometry)."""

from collections import namedtuple

from Xlib import X, Xatom, display as xdisplay, error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

from harness import STEP, WINDOW, wait_for

Rect = namedtuple("Rect", "x y width height")

_GONE = (xerror.BadWindow, xerror.BadDrawable, xerror.BadMatch)


class X11:
    """One connection to the test desktop's X server."""

    def __init__(self, display_name):
        self.d = xdisplay.Display(display_name)
        self.root = self.d.screen().root
        self._atoms = {}
        self._watched = {}  # window id -> list of (width, height) seen in ConfigureNotify
        self._shown = None  # (window id, _NET_WM_PID) of every top-level asked to show

    def close(self):
        self.d.close()

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    def _prop(self, win, name, type_=X.AnyPropertyType):
        try:
            prop = win.get_full_property(self.atom(name), type_)
        except _GONE:
            return None
        return prop.value if prop else None

    # ---- finding windows ---------------------------------------------------------------

    def client_windows(self, pid):
        """Top-level windows the window manager manages for process `pid`."""
        ids = self._prop(self.root, "_NET_CLIENT_LIST") or []
        found = []
        for wid in ids:
            win = self.d.create_resource_object("window", wid)
            owner = self._prop(win, "_NET_WM_PID")
            if owner is not None and len(owner) and owner[0] == pid:
                found.append(win)
        return found

    def is_viewable(self, win):
        try:
            return win.get_attributes().map_state == X.IsViewable
        except _GONE:
            return False

    def wait_window(self, run, timeout=WINDOW, title=None):
        """Waits until the launcher `run` has a managed, viewable top-level window (with the
        given title, when one is given) and returns it. Fails early when the process ends."""
        def check():
            if not run.running:
                raise AssertionError("no window: " + run.describe())
            for win in self.client_windows(run.pid):
                if self.is_viewable(win) and (title is None or self.title(win) == title):
                    return win
            return None
        return wait_for(check, timeout, lambda: "a window of pid %d%s; %s" % (
            run.pid, "" if title is None else " titled %r" % title, run.describe()))

    # ---- reading windows ---------------------------------------------------------------

    def atom_names(self, win, name):
        """The atoms in the window's property `name` (an ATOM list) as a set of names."""
        value = self._prop(win, name, Xatom.ATOM)
        return {self.d.get_atom_name(a) for a in value} if value is not None else set()

    def wm_state(self, win):
        """The window's _NET_WM_STATE as a set of atom names."""
        return self.atom_names(win, "_NET_WM_STATE")

    def window_type(self, win):
        """The window's _NET_WM_WINDOW_TYPE as a list of atom names."""
        value = self._prop(win, "_NET_WM_WINDOW_TYPE", Xatom.ATOM)
        return [self.d.get_atom_name(a) for a in value] if value is not None else []

    def icons(self, win):
        """The images of the window's _NET_WM_ICON: [(width, height, [ARGB, ...]), ...]."""
        value = self._prop(win, "_NET_WM_ICON", Xatom.CARDINAL)
        images, i = [], 0
        while value is not None and i + 2 <= len(value):
            w, h = value[i], value[i + 1]
            images.append((w, h, list(value[i + 2:i + 2 + w * h])))
            i += 2 + w * h
        return images

    def work_area(self):
        """The part of the primary monitor (RandR; the whole root window without a monitor
        list) that windows may use: without what the desktop reserves (_NET_WORKAREA)."""
        try:
            monitors = self.root.xrandr_get_monitors().monitors
        except (AttributeError, xerror.XError):
            monitors = []
        if monitors:
            m = next((m for m in monitors if m.primary), monitors[0])
            x, y, w, h = m.x, m.y, m.width_in_pixels, m.height_in_pixels
        else:
            geo = self.root.get_geometry()
            x, y, w, h = 0, 0, geo.width, geo.height
        work = self._prop(self.root, "_NET_WORKAREA", Xatom.CARDINAL)
        if work is not None and len(work) >= 4:
            left, top = max(x, work[0]), max(y, work[1])
            right, bottom = min(x + w, work[0] + work[2]), min(y + h, work[1] + work[3])
            if right > left and bottom > top:
                x, y, w, h = left, top, right - left, bottom - top
        return Rect(x, y, w, h)

    def title(self, win):
        """The window's _NET_WM_NAME as text (None when unset)."""
        value = self._prop(win, "_NET_WM_NAME", self.atom("UTF8_STRING"))
        if value is None:
            return None
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)

    def geometry(self, win):
        """Client area (inside any decoration) in root coordinates."""
        try:
            geo = win.get_geometry()
            pos = self.root.translate_coords(win, 0, 0)
        except _GONE:
            return None
        return Rect(pos.x, pos.y, geo.width, geo.height)

    def frame_extents(self, win):
        """(left, right, top, bottom) of the window manager's frame, or None."""
        value = self._prop(win, "_NET_FRAME_EXTENTS", Xatom.CARDINAL)
        return tuple(value) if value is not None and len(value) == 4 else None

    def wait_until(self, check, what, timeout=STEP):
        """Polls check() (which reads X state through this connection) until it holds."""
        return wait_for(check, timeout, what)

    def wait_title(self, win, title, timeout=STEP):
        return wait_for(lambda: self.title(win) == title, timeout,
                        lambda: "title %r (it is %r)" % (title, self.title(win)))

    def wait_geometry(self, win, check, what, timeout=STEP):
        """Waits until check(Rect) holds for the window's client area; returns that Rect."""
        def probe():
            rect = self.geometry(win)
            return rect if rect is not None and check(rect) else None
        return wait_for(probe, timeout, lambda: "%s (geometry is %r)" % (what, self.geometry(win)))

    # ---- acting as the window manager's user ---------------------------------------------

    def _client_message(self, win, type_name, data, to_root):
        ev = xevent.ClientMessage(window=win, client_type=self.atom(type_name),
                                  data=(32, (list(data) + [0] * 5)[:5]))
        if to_root:
            self.root.send_event(ev, event_mask=X.SubstructureRedirectMask
                                 | X.SubstructureNotifyMask)
        else:
            win.send_event(ev, event_mask=X.NoEventMask)
        self.d.flush()

    def request_close(self, win):
        """Asks the window to close as the close button of its frame does: the ICCCM
        WM_DELETE_WINDOW message."""
        self._client_message(win, "WM_PROTOCOLS",
                             [self.atom("WM_DELETE_WINDOW"), X.CurrentTime], to_root=False)

    # ---- watching sizes ----------------------------------------------------------------

    def watch_sizes(self, win):
        """Starts recording every size the X server gives the window."""
        self._watched[win.id] = []
        win.change_attributes(event_mask=X.StructureNotifyMask | X.PropertyChangeMask)
        self.d.sync()

    def sizes_seen(self, win):
        """Every (width, height) of the window's ConfigureNotify events since watch_sizes."""
        self._drain()
        return list(self._watched[win.id])

    # ---- watching top-level windows being shown ------------------------------------------

    def watch_shown(self):
        """Starts recording every top-level window that is shown from now on, however briefly.

        A top-level window being shown either is taken over by a reparenting window manager
        (ReparentNotify on the root) or is mapped on the root itself (MapNotify); both are
        seen here. Start this before the process whose windows are of interest.
        """
        self._shown = []
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.d.sync()

    def shown(self, pid):
        """Ids of the windows of process `pid` shown since watch_shown, in order.

        A window's owner is read when the event is taken from the queue, so ask while the
        process still runs.
        """
        self._drain()
        return [wid for wid, owner in self._shown if owner == pid]

    def _drain(self):
        self.d.sync()
        while self.d.pending_events():
            ev = self.d.next_event()
            if ev.type == X.ConfigureNotify and ev.window.id in self._watched:
                seen = self._watched[ev.window.id]
                if not seen or seen[-1] != (ev.width, ev.height):
                    seen.append((ev.width, ev.height))
            elif (ev.type in (X.ReparentNotify, X.MapNotify) and self._shown is not None
                  and ev.event.id == self.root.id):
                owner = self._prop(ev.window, "_NET_WM_PID")
                self._shown.append((ev.window.id, owner[0] if owner is not None and len(owner)
                                    else None))

    # ---- pixels ------------------------------------------------------------------------

    def pixel(self, x, y):
        """(r, g, b) of the screen at root coordinates (x, y), as the X server has it."""
        img = self.root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF)
        data = img.data if isinstance(img.data, bytes) else bytes(img.data, "latin-1")
        b, g, r = data[0], data[1], data[2]  # 24/32-bit TrueColor, little endian
        return (r, g, b)

    def wait_painted(self, win, rgb, timeout=WINDOW):
        """Waits until the centre of the window's client area shows colour `rgb` (a page
        has been drawn, for instance before taking a screenshot)."""
        def check():
            rect = self.geometry(win)
            return rect is not None and self.pixel(rect.x + rect.width // 2,
                                                   rect.y + rect.height // 2) == rgb
        return wait_for(check, timeout, "colour %r in the middle of the window" % (rgb,))


    # ---- screens -----------------------------------------------------------------------

    def outputs(self):
        """The RandR outputs that drive a monitor now, as {name: output id}."""
        res = self.root.xrandr_get_screen_resources()
        found = {}
        for output in res.outputs:
            info = self.d.xrandr_get_output_info(output, res.config_timestamp)
            if info.crtc:
                found[info.name] = output
        return found

    def monitors(self):
        """The RandR monitors: {name: Rect} in root coordinates."""
        return {self.d.get_atom_name(m.name): Rect(m.x, m.y, m.width_in_pixels,
                                                   m.height_in_pixels)
                for m in self.root.xrandr_get_monitors().monitors}

    # ---- more about windows ------------------------------------------------------------

    def frame(self, win):
        """The window with the window manager's frame, in root coordinates (None when gone)."""
        rect = self.geometry(win)
        if rect is None:
            return None
        left, right, top, bottom = self.frame_extents(win) or (0, 0, 0, 0)
        return Rect(rect.x - left, rect.y - top, rect.width + left + right,
                    rect.height + top + bottom)

    def wait_frame(self, win, check, what, timeout=STEP):
        """Waits until check(Rect) holds for the window's frame; returns that Rect."""
        def probe():
            rect = self.frame(win)
            return rect if rect is not None and check(rect) else None
        return wait_for(probe, timeout, lambda: "%s (frame is %r)" % (what, self.frame(win)))

    def transient_for(self, win):
        """The id of the window in WM_TRANSIENT_FOR, or None."""
        value = self._prop(win, "WM_TRANSIENT_FOR", Xatom.WINDOW)
        return value[0] if value is not None and len(value) else None

    # ---- asking the window manager, as a pager or the user would -------------------------

    def _to_wm(self, win, name, data):
        data = (list(data) + [0] * 5)[:5]
        ev = xevent.ClientMessage(window=win, client_type=self.atom(name), data=(32, data))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.flush()

    def set_state(self, win, add, *names):
        """Adds (add=True) or removes _NET_WM_STATE atoms (one or two) through the manager."""
        atoms = [self.atom(n) for n in names]
        self._to_wm(win, "_NET_WM_STATE", [1 if add else 0] + atoms + [0] * (2 - len(atoms))
                    + [2])

    def iconify(self, win):
        """Asks the window manager to iconify the window (ICCCM WM_CHANGE_STATE)."""
        self._to_wm(win, "WM_CHANGE_STATE", [3])  # IconicState

    def activate(self, win):
        """Asks the window manager to raise and focus the window."""
        self._to_wm(win, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])

    def move_frame(self, win, x, y, width=None, height=None):
        """Asks the window manager to put the frame's top-left corner at (x, y) and, when
        given, to give the window a client area of width x height."""
        flags = 1 | 1 << 8 | 1 << 9 | 2 << 12  # north-west gravity, x, y, from a pager
        if width is not None:
            flags |= 1 << 10 | 1 << 11
        self._to_wm(win, "_NET_MOVERESIZE_WINDOW", [flags, x, y, width or 0, height or 0])

    def close_window(self, win):
        """Closes the window as its close button does (the manager sends WM_DELETE_WINDOW)."""
        self._to_wm(win, "_NET_CLOSE_WINDOW", [X.CurrentTime, 2])

    # ---- the pointer, moved and pressed through XTest ---------------------------------------

    def pointer_to(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=int(x), y=int(y))
        self.d.sync()

    def press(self, button=1):
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()

    def release(self, button=1):
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def pointer(self):
        """(x, y, left button held) in root coordinates."""
        p = self.root.query_pointer()
        return p.root_x, p.root_y, bool(p.mask & X.Button1Mask)

    def wm_sync(self, timeout=STEP):
        """Returns once the window manager has handled everything the X server had for it
        before this call: it answers a frame-extents request for a window of our own."""
        probe = self.root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        try:
            self.d.sync()
            self._to_wm(probe, "_NET_REQUEST_FRAME_EXTENTS", [])
            wait_for(lambda: self.frame_extents(probe) is not None, timeout,
                     "the window manager to answer a frame-extents request")
        finally:
            probe.destroy()
            self.d.flush()
