#!/usr/bin/python3
"""An isolated X11 test desktop: X server, openbox and a private session bus.

Used as a library by the end-to-end tests (``Desktop``) and from the shell:

    tests/desktop/run [options] [--] CMD...   run CMD inside a fresh desktop, then stop it
    tests/desktop/start [options]             start one in the background, print its exports
    tests/desktop/stop [STATE-DIR]            stop the one started by ``start``

Options: ``--server xvfb`` (default: one fixed screen) or ``--server xorg-dummy`` (Xorg with
the dummy video driver: RandR outputs DUMMY0 to DUMMY15 that ``xrandr`` switches on and off
at run time, seen by GDK as monitors that come and go), and ``--screen WxHxDEPTH`` (default
1920x1080x24; with xorg-dummy the mode of DUMMY0, which must be one the driver offers).

The desktop never touches the caller's own display: the X server picks a display number
that is free (``-displayfd``), and every XDG directory of the session lives in a private
state directory that is removed on stop. Readiness is awaited with time-outs, never with
fixed sleeps.
"""

import argparse
import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay, error as xerror

DEFAULT_SCREEN = "1920x1080x24"
SERVERS = ("xvfb", "xorg-dummy")

# Xorg with the dummy driver. The virtual screen leaves room for more monitors beside DUMMY0.
_XORG_DUMMY_CONF = """\
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 512000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth {depth}
  SubSection "Display"
    Depth {depth}
    Modes "{mode}"
    Virtual 8192 4096
  EndSubSection
EndSection
"""
# The private system bus: anyone may own any name and talk to anyone.
_SYSTEM_BUS_CONF = """\
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>{address}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
"""
START_TIMEOUT = float(os.environ.get("KELOJS_DESKTOP_TIMEOUT", "20"))
STOP_TIMEOUT = 5.0

# Variables that would let a program inside the desktop reach the caller's own session.
_OUTSIDE_VARS = ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                 "DBUS_SYSTEM_BUS_ADDRESS", "XDG_RUNTIME_DIR",
                 "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                 "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "SESSION_MANAGER",
                 "PULSE_SERVER")

_PR_SET_PDEATHSIG = 1


class DesktopError(RuntimeError):
    pass


def _die_with_parent():
    # Runs in the child between fork and exec: if the process that started the desktop
    # dies without stopping it, its servers go too instead of lingering.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
    # The supervisor behind `start` blocks the stop signals; its servers must not inherit that.
    signal.pthread_sigmask(signal.SIG_SETMASK, set())


def poll_until(check, timeout, what, interval=0.05):
    """Calls check() until it returns a true value, which is returned; raises on time-out."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise DesktopError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Desktop:
    """One test desktop. start() brings it up, stop() takes it down; env holds its variables."""

    def __init__(self, server="xvfb", screen=DEFAULT_SCREEN):
        if server not in SERVERS:
            raise DesktopError("unknown X server kind %r (known: %s)"
                               % (server, ", ".join(SERVERS)))
        self.server = server
        self.screen = screen
        self.state_dir = None
        self.display = None
        self.env = {}
        self._procs = []  # (name, Popen), in start order

    # ---- start -------------------------------------------------------------------------

    def start(self):
        self.state_dir = tempfile.mkdtemp(prefix="kelojs-desktop-")
        try:
            self._make_dirs()
            self._start_x_server()
            self._start_session_bus()
            self._start_system_bus()
            self._start_sound_server()
            self._start_window_manager()
        except BaseException:
            self.stop()
            raise
        return self

    def _path(self, *parts):
        return os.path.join(self.state_dir, *parts)

    def _make_dirs(self):
        for name in ("runtime", "config", "cache", "data", "state", "logs"):
            os.mkdir(self._path(name), 0o700)
        self.env = {
            "XDG_RUNTIME_DIR": self._path("runtime"),
            "XDG_CONFIG_HOME": self._path("config"),
            "XDG_CACHE_HOME": self._path("cache"),
            "XDG_DATA_HOME": self._path("data"),
            "XDG_STATE_HOME": self._path("state"),
            "XDG_SESSION_TYPE": "x11",
            # No accessibility bus inside the test session.
            "NO_AT_BRIDGE": "1",
            "KELOJS_TEST_DESKTOP": self.state_dir,
        }

    def child_env(self, extra=None):
        """The environment for a program inside the desktop, based on this process's own."""
        env = {k: v for k, v in os.environ.items() if k not in _OUTSIDE_VARS}
        env.update(self.env)
        if extra:
            env.update(extra)
        return env

    def _spawn(self, name, argv, **kw):
        log = open(self._path("logs", name + ".log"), "wb")
        try:
            proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=kw.pop("stdout", log),
                                    stderr=log, env=self.child_env(), preexec_fn=_die_with_parent,
                                    **kw)
        finally:
            log.close()
        self._procs.append((name, proc))
        return proc

    def _read_line_from(self, fd, proc, name):
        """Reads one line from fd, failing when proc dies first or the time runs out."""
        deadline = time.monotonic() + START_TIMEOUT
        data = b""
        while not data.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0:
                raise DesktopError("%s did not get ready within %.0f s%s"
                                   % (name, START_TIMEOUT, self._log_tail(name)))
            ready, _, _ = select.select([fd], [], [], min(left, 0.2))
            if ready:
                chunk = os.read(fd, 256)
                if not chunk:
                    break
                data += chunk
            elif proc.poll() is not None:
                break
        if not data.endswith(b"\n"):
            try:
                status = proc.wait(STOP_TIMEOUT)  # it closed its end: it is ending
            except subprocess.TimeoutExpired:
                status = "still running"
            raise DesktopError("%s exited (status %s) before it was ready%s"
                               % (name, status, self._log_tail(name)))
        return data.decode().strip()

    def _log_tail(self, name):
        try:
            with open(self._path("logs", name + ".log"), "rb") as f:
                text = f.read()[-2000:].decode(errors="replace").strip()
        except OSError:
            return ""
        return ("; its log ends:\n" + text) if text else ""

    def _x_server_argv(self, ready_fd):
        common = ["-displayfd", str(ready_fd), "-nolisten", "tcp", "-noreset"]
        if self.server == "xvfb":
            return ["Xvfb", "-screen", "0", self.screen, "+extension", "RANDR"] + common
        width, height, depth = self.screen.split("x")
        conf = self._path("xorg.conf")
        with open(conf, "w") as f:
            f.write(_XORG_DUMMY_CONF.format(mode="%sx%s" % (width, height), depth=depth))
        os.mkdir(self._path("xorg.conf.d"))
        return ["Xorg", "-config", conf, "-configdir", self._path("xorg.conf.d"),
                "-logfile", self._path("logs", "xorg-server.log"),
                "-novtswitch", "-sharevts", "-keeptty"] + common

    def xrandr(self, *args):
        """Runs xrandr on this desktop (switching dummy outputs on and off, for instance).

        Then has the server probe its outputs, as a desktop's display daemon does after a
        hotplug: until something asks, Xorg may keep a change of its dummy outputs to
        itself, and programs that follow the monitors would not hear of it.
        """
        out = subprocess.run(["xrandr"] + list(args), env=self.child_env(), check=True,
                             stdout=subprocess.PIPE, text=True).stdout
        subprocess.run(["xrandr", "--query"], env=self.child_env(), check=True,
                       stdout=subprocess.DEVNULL)
        return out

    def _spawn_until_ready(self, name, make_argv):
        """Starts a server that reports readiness by writing one line to a descriptor it is
        given (make_argv(fd) builds its command line) and returns that line."""
        rfd, wfd = os.pipe()
        try:
            proc = self._spawn(name, make_argv(wfd), pass_fds=(wfd,))
            os.close(wfd)
            wfd = -1
            return self._read_line_from(rfd, proc, name)
        finally:
            os.close(rfd)
            if wfd >= 0:
                os.close(wfd)

    def _start_x_server(self):
        number = self._spawn_until_ready("xserver", self._x_server_argv)
        self.display = ":" + number
        self.env["DISPLAY"] = self.display
        # -displayfd reports the number once the server accepts connections; check anyway.
        conn = poll_until(lambda: _try_connect(self.display), START_TIMEOUT,
                          "the X server on %s to answer" % self.display)
        conn.close()

    def _start_session_bus(self):
        address = "unix:path=" + self._path("runtime", "bus")
        printed = self._spawn_until_ready("dbus", lambda fd: [
            "dbus-daemon", "--session", "--nofork", "--nopidfile", "--nosyslog",
            "--address=" + address, "--print-address=%d" % fd])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = printed or address

    def _start_system_bus(self):
        """A private bus standing in for the system bus: the fakes of system services (UPower,
        logind, ...) own their names there, and programs find it through
        DBUS_SYSTEM_BUS_ADDRESS."""
        address = "unix:path=" + self._path("runtime", "system_bus")
        conf = self._path("system-bus.conf")
        with open(conf, "w") as f:
            f.write(_SYSTEM_BUS_CONF.format(address=address))
        printed = self._spawn_until_ready("system-bus", lambda fd: [
            "dbus-daemon", "--config-file=" + conf, "--nofork", "--nopidfile", "--nosyslog",
            "--print-address=%d" % fd])
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = printed or address

    def _start_sound_server(self):
        """PulseAudio with one null sink, "kelotest", as the default sink and source: programs
        of the desktop play into it and its monitor records what they play."""
        script = self._path("pulse.pa")
        with open(script, "w") as f:
            f.write("load-module module-native-protocol-unix auth-anonymous=1\n"
                    "load-module module-null-sink sink_name=kelotest rate=48000 "
                    "sink_properties=device.description=TestSink\n"
                    "set-default-sink kelotest\n"
                    "set-default-source kelotest.monitor\n")
        proc = self._spawn("pulseaudio", [
            "pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
            "--use-pid-file=no", "--log-target=stderr", "--disable-shm=yes"])
        socket_path = self._path("runtime", "pulse", "native")

        def ready():
            if proc.poll() is not None:
                raise DesktopError("pulseaudio exited (status %s)%s"
                                   % (proc.returncode, self._log_tail("pulseaudio")))
            if not os.path.exists(socket_path):
                return False
            return subprocess.run(["pactl", "info"], env=self.child_env(),
                                  stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0
        poll_until(ready, START_TIMEOUT, "pulseaudio to answer")
        self.env["PULSE_SERVER"] = "unix:" + socket_path

    def _start_window_manager(self):
        proc = self._spawn("openbox", ["openbox", "--sm-disable"])
        conn = _try_connect(self.display)
        if conn is None:
            raise DesktopError("lost the X server on %s" % self.display)
        try:
            def wm_ready():
                if proc.poll() is not None:
                    raise DesktopError("openbox exited (status %s)%s"
                                       % (proc.returncode, self._log_tail("openbox")))
                return wm_check_window(conn) is not None
            poll_until(wm_ready, START_TIMEOUT, "openbox to manage the screen")
        finally:
            conn.close()

    # ---- stop --------------------------------------------------------------------------

    def stop(self):
        """Stops every process of the desktop (newest first) and removes its state."""
        problems = []
        for name, proc in reversed(self._procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(STOP_TIMEOUT)
                except subprocess.TimeoutExpired:
                    problems.append(name)
                    proc.kill()
                    proc.wait(STOP_TIMEOUT)
        self._procs = []
        if self.state_dir:
            shutil.rmtree(self.state_dir, ignore_errors=True)
            self.state_dir = None
        if problems:
            raise DesktopError("had to kill %s after %.0f s" % (", ".join(problems), STOP_TIMEOUT))

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def _try_connect(name):
    try:
        return xdisplay.Display(name)
    except (xerror.DisplayError, ConnectionError, OSError):
        return None


def wm_check_window(conn):
    """The window manager's check window when an EWMH window manager runs, else None."""
    atom = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
    root = conn.screen().root
    try:
        prop = root.get_full_property(atom, X.AnyPropertyType)
        if not prop or not len(prop.value):
            return None
        check = conn.create_resource_object("window", prop.value[0])
        own = check.get_full_property(atom, X.AnyPropertyType)
    except xerror.XError:
        return None
    if own and len(own.value) and own.value[0] == prop.value[0]:
        return check
    return None


# ---- command line --------------------------------------------------------------------

def _shell_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def _exports(desktop):
    lines = ["unset %s;" % key for key in _OUTSIDE_VARS if key not in desktop.env]
    for key in sorted(desktop.env):
        lines.append("export %s=%s;" % (key, _shell_quote(desktop.env[key])))
    return "\n".join(lines) + "\n"


def cmd_run(args):
    if not args.command:
        print("desktop: run needs a command", file=sys.stderr)
        return 2
    with Desktop(args.server, args.screen) as desktop:
        proc = subprocess.Popen(args.command, env=desktop.child_env())
        forward = lambda signum, frame: proc.send_signal(signum)
        old = {s: signal.signal(s, forward) for s in (signal.SIGINT, signal.SIGTERM)}
        try:
            status = proc.wait()
        finally:
            for s, handler in old.items():
                signal.signal(s, handler)
    return status if status >= 0 else 128 - status


def cmd_start(args):
    rfd, wfd = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(rfd)
        os.setsid()
        _supervise(args, wfd)
        os._exit(0)
    os.close(wfd)
    report = b""
    while True:
        chunk = os.read(rfd, 4096)
        if not chunk:
            break
        report += chunk
    os.close(rfd)
    text = report.decode(errors="replace")
    if not text.startswith("OK\n"):
        sys.stderr.write("desktop: could not start: %s\n" % (text.strip() or "no report"))
        return 1
    sys.stdout.write(text[3:])
    return 0


def _supervise(args, wfd):
    """Body of the background process behind `start`: owns the desktop until SIGTERM."""
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT, signal.SIGHUP})
    desktop = Desktop(args.server, args.screen)
    try:
        desktop.start()
    except Exception as exc:  # reported to the waiting `start`
        os.write(wfd, str(exc).encode())
        os.close(wfd)
        return
    with open(os.path.join(desktop.state_dir, "supervisor.pid"), "w") as f:
        f.write("%d\n" % os.getpid())
    exports = _exports(desktop)
    with open(os.path.join(desktop.state_dir, "env"), "w") as f:
        f.write(exports)
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    os.write(wfd, ("OK\n" + exports).encode())
    os.close(wfd)
    signal.sigwait({signal.SIGTERM, signal.SIGINT, signal.SIGHUP})
    try:
        desktop.stop()
    except DesktopError:
        pass


def cmd_stop(args):
    state = args.state_dir or os.environ.get("KELOJS_TEST_DESKTOP")
    if not state:
        print("desktop: stop needs the state directory (or KELOJS_TEST_DESKTOP)", file=sys.stderr)
        return 2
    try:
        with open(os.path.join(state, "supervisor.pid")) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        print("desktop: no desktop started by `start` in %s" % state, file=sys.stderr)
        return 1
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0

    def gone():
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return True
        return False
    try:
        poll_until(gone, STOP_TIMEOUT * 4, "the desktop to stop")
    except DesktopError as exc:
        print("desktop: %s" % exc, file=sys.stderr)
        return 1
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(prog="desktop", description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="action", required=True)
    for name in ("run", "start"):
        p = sub.add_parser(name)
        p.add_argument("--server", default="xvfb", choices=SERVERS)
        p.add_argument("--screen", default=DEFAULT_SCREEN, help="WxHxDEPTH of the screen")
        if name == "run":
            p.add_argument("command", nargs=argparse.REMAINDER)
    p = sub.add_parser("stop")
    p.add_argument("state_dir", nargs="?")
    args = parser.parse_args(argv)
    if args.action == "run":
        if args.command[:1] == ["--"]:
            args.command = args.command[1:]
        return cmd_run(args)
    if args.action == "start":
        return cmd_start(args)
    return cmd_stop(args)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except DesktopError as exc:
        print("desktop: %s" % exc, file=sys.stderr)
        sys.exit(1)
