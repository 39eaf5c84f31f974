"""Start-up of a development run: arguments, the display check and the backend connection."""

import os
import shutil
import socket

import pytest

from harness import STEP, WINDOW, wait_for

NO_DISPLAY = (
    "kelojs: cannot create the webview window: no window-server session (SSH, CI, or a sandbox"
    " that blocks display server?).\n"
    "kelojs: the app code is likely fine; run from a logged-in GUI session on this machine.\n")


def usage(argv0):
    return "usage: %s <html-file-or-url> <socket-path> [title] [WxH]\n" % argv0


@pytest.mark.parametrize("args", [[], ["page.html"]], ids=["no-args", "one-arg"])
def test_fewer_than_two_arguments_print_usage_and_exit_1(launch, launcher_bin, args):
    run = launch(*args)
    assert run.wait_exit(STEP) == 1
    assert run.messages == usage(launcher_bin)


def _unused_display():
    """A display name no X server answers on."""
    for n in range(917, 999):
        taken = os.path.exists("/tmp/.X11-unix/X%d" % n)
        if not taken:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                try:
                    s.connect("\0/tmp/.X11-unix/X%d" % n)
                    taken = True
                except OSError:
                    pass
        if not taken:
            return ":%d" % n
    pytest.fail("no unused display number found")


@pytest.mark.parametrize("display_env", [
    {},
    {"DISPLAY": "unreachable"},
    {"WAYLAND_DISPLAY": "kelojs-no-such-wayland-socket"},
], ids=["nothing-set", "dead-x-display", "dead-wayland-display"])
def test_without_a_display_the_launcher_explains_and_exits_3(launch, backend, page, display_env):
    # A listening backend, so only the display can be what is missing.
    b = backend()
    env = dict(display_env)
    if env.get("DISPLAY") == "unreachable":
        env["DISPLAY"] = _unused_display()
    run = launch(page, b.path, env=env,
                 unset=[v for v in ("DISPLAY", "WAYLAND_DISPLAY") if v not in env])
    assert run.wait_exit(STEP) == 3
    assert run.messages == NO_DISPLAY
    assert not b.connected


def test_usage_is_checked_before_the_display(launch, launcher_bin):
    run = launch("page.html", unset=("DISPLAY", "WAYLAND_DISPLAY"))
    assert run.wait_exit(STEP) == 1
    assert run.messages == usage(launcher_bin)


def test_nothing_listening_is_a_connect_failure(launch, page, tmp):
    missing = os.path.join(tmp, "nobody.sock")
    run = launch(page, missing)
    assert run.wait_exit(WINDOW) == 1
    assert run.messages == "launcher: cannot connect to %s: No such file or directory\n" % missing

    # A socket file whose backend has gone away.
    stale = os.path.join(tmp, "stale.sock")
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.bind(stale)
    s.close()
    run = launch(page, stale)
    assert run.wait_exit(WINDOW) == 1
    assert run.messages == "launcher: cannot connect to %s: Connection refused\n" % stale


def _path_of_length(tmp, length):
    name = "s" * (length - len(tmp) - 1)
    path = os.path.join(tmp, name)
    assert len(path.encode()) == length
    return path


def test_longest_socket_path_connects_and_a_longer_one_is_refused(launch, backend, page, tmp):
    # A Unix socket address holds a path of at most 107 bytes (108 with its terminator). The
    # longest must reach the backend itself, not a truncated name.
    b = backend(os.path.basename(_path_of_length(tmp, 107)))
    run = launch(page, b.path)
    b.wait_connected(WINDOW, run)
    b.send("QUIT")
    assert run.wait_exit(STEP) == 0

    too_long = _path_of_length(tmp, 108)
    run = launch(page, too_long)
    assert run.wait_exit(WINDOW) == 1
    assert run.messages == "launcher: cannot connect to %s: File name too long\n" % too_long


def test_a_local_page_that_cannot_be_read_ends_the_run(launch, backend, tmp):
    b = backend()
    missing = os.path.join(tmp, "missing.html")
    run = launch(missing, b.path)
    assert run.wait_exit(WINDOW) == 1
    assert run.messages == "launcher: cannot read %s\n" % missing


def test_a_launcher_without_its_web_process_extension_says_where_it_looked(launch, backend, page,
                                                                          launcher_bin, tmp):
    lone = os.path.join(tmp, "kelojs-launcher")
    shutil.copy2(launcher_bin, lone)
    b = backend()
    run = launch(page, b.path, exe=lone)
    b.wait_connected(WINDOW, run)
    missing = ("launcher: the web process extension is missing from %s/webext: "
               "pages cannot reach the backend\n" % tmp)
    wait_for(lambda: run.messages, STEP, "the launcher's message")
    assert run.messages == missing
