"""Package runs: the launcher as the executable of an app bundle spawns its backend."""

import json
import os
import re
import stat
import urllib.parse

import pytest

from harness import STEP, WINDOW


def _tmpdir_for_launcher(tmp):
    path = os.path.join(tmp, "t")
    os.mkdir(path)
    return path


def _socket_dirs(tmpdir):
    return sorted(n for n in os.listdir(tmpdir) if n.startswith("kelojs-"))


@pytest.mark.parametrize("end", ["quit", "close"])
def test_backend_is_spawned_with_a_private_socket_and_a_clean_environment(
        bundle, launch, x11, probe, tmp, end):
    app = bundle(name="Demo App", plist={"KelojsUrl": probe.url, "KelojsWindowSize": "700x500"})
    tmpdir = _tmpdir_for_launcher(tmp)
    run = launch(exe=app.exe, env={
        "TMPDIR": tmpdir,
        "KELOJS_SOCKET": "/nowhere/else.sock",
        "KELOJS_DEBUG": "1",
        "KELOJS_UA": "leaked",
        "KELOJS_NO_MAIN_WINDOW": "1",
        "KELOJS_NOTIF_DEBUG": "1",
        "KELOTEST_MARK": "passed on",
    })

    record = app.tjs_record()
    assert record["argv"] == [os.path.join(app.macos, "tjs"), "run",
                              os.path.join(app.path, "Contents/Resources/app/entry.js")]
    sock_path = record["env"].get("KELOJS_SOCKET", "")
    sock_dir = os.path.dirname(sock_path)
    assert os.path.basename(sock_path) == "app.sock"
    assert os.path.dirname(sock_dir) == tmpdir
    assert re.fullmatch(r"kelojs-.{6}", os.path.basename(sock_dir)), sock_dir
    assert stat.S_IMODE(os.stat(sock_dir).st_mode) == 0o700
    kelojs_vars = {k: v for k, v in record["env"].items() if k.startswith("KELOJS_")}
    assert kelojs_vars == {"KELOJS_SOCKET": sock_path, "KELOJS_NOTIF_DEBUG": "1"}
    assert record["env"].get("KELOTEST_MARK") == "passed on"

    # The bundle's settings hold: its name, its window size, its front-end URL.
    app.backend.wait_connected(WINDOW, run)
    win = x11.wait_window(run, title="Demo App")
    probe.wait_size(700, 500, WINDOW)
    assert x11.geometry(win).width == 700

    if end == "quit":
        app.backend.send("QUIT")
    else:
        app.backend.close_wire()
    assert run.wait_exit(STEP) == 0
    assert _socket_dirs(tmpdir) == []


def test_opened_urls_and_files_are_the_first_lines_the_backend_gets(bundle, launch, x11, tmp):
    app = bundle(name="Opener")
    notes = os.path.join(tmp, "notes.txt")
    spaced = os.path.join(tmp, "two words é.txt")
    for path in (notes, spaced):
        with open(path, "w") as f:
            f.write("x\n")
    spaced_url = "file://" + urllib.parse.quote(spaced)

    run = launch("--open", notes, "https://example.com/a?b=1", spaced_url,
                 "kelo-test://open/x", exe=app.exe, env={"TMPDIR": _tmpdir_for_launcher(tmp)})
    first = app.backend.wait_lines(3, WINDOW)
    assert first[:2] == ["OPENURL https://example.com/a?b=1", "OPENURL kelo-test://open/x"]
    assert first[2].startswith("OPENFILES ")
    assert json.loads(first[2][len("OPENFILES "):]) == [notes, spaced]
    # The packaged front end is loaded in the main window, titled with the bundle's name.
    x11.wait_window(run, title="Opener")
    app.backend.send("QUIT")
    assert run.wait_exit(STEP) == 0


def test_a_bundle_without_a_front_end_is_a_development_run(bundle, launch, tmp):
    app = bundle(name="Empty", index_html=None)
    tmpdir = _tmpdir_for_launcher(tmp)
    run = launch(exe=app.exe, env={"TMPDIR": tmpdir})
    assert run.wait_exit(STEP) == 1
    assert run.messages.startswith("usage: ")
    assert _socket_dirs(tmpdir) == []


def test_two_arguments_inside_a_bundle_make_a_development_run(bundle, launch, backend, page,
                                                              tmp):
    app = bundle(name="Dev Inside")
    tmpdir = _tmpdir_for_launcher(tmp)
    b = backend()
    run = launch(page, b.path, exe=app.exe, env={"TMPDIR": tmpdir})
    b.wait_connected(WINDOW, run)
    # A package run would have made its socket directory before connecting anywhere.
    assert _socket_dirs(tmpdir) == []
    assert not app.backend.connected
    b.send("QUIT")
    assert run.wait_exit(STEP) == 0


def test_a_backend_that_cannot_be_spawned_ends_the_run(bundle, launch, tmp):
    app = bundle(name="No Runtime", tjs=None)
    tmpdir = _tmpdir_for_launcher(tmp)
    run = launch(exe=app.exe, env={"TMPDIR": tmpdir})
    assert run.wait_exit(STEP) == 1
    assert run.messages == ("launcher: cannot spawn backend: No such file or directory\n"
                          "usage: %s <html-file-or-url> <socket-path> [title] [WxH]\n" % app.exe)
    # The private socket folder does not outlive a failed start.
    assert _socket_dirs(tmpdir) == []


def test_a_backend_built_for_another_processor_is_explained_in_a_dialog(bundle, launch, tmp,
                                                                       x11):
    app = bundle(name="Foreign Runtime", tjs=None)
    # An executable the kernel cannot run: no known binary format and no script line.
    with open(app.tjs, "wb") as f:
        f.write(b"\x7fELF\x02\x01\x01" + b"\x00" * 9 + b"\x02\x00\xb7\x00" + b"\x00" * 44)
    os.chmod(app.tjs, 0o755)
    tmpdir = _tmpdir_for_launcher(tmp)
    run = launch(exe=app.exe, env={"TMPDIR": tmpdir})
    dialog = x11.wait_window(run, title="Foreign Runtime")
    # The modal alert holds the start; closing it ends the run with status 1.
    assert run.running
    x11.request_close(dialog)
    assert run.wait_exit(STEP) == 1
    assert "launcher: the backend cannot run on this processor\n" in run.messages
    assert _socket_dirs(tmpdir) == []


def test_a_backend_that_hangs_up_at_once_ends_the_run_cleanly(bundle, launch, tmp):
    # The opened file waits in the queue and is written to a connection already closed.
    app = bundle(name="Hang Up", tjs="hang-up")
    tmpdir = _tmpdir_for_launcher(tmp)
    run = launch("--open", os.path.join(tmp, "any.txt"), exe=app.exe, env={"TMPDIR": tmpdir})
    app.tjs_record()
    assert run.wait_exit(WINDOW) == 0, run.describe()
    assert _socket_dirs(tmpdir) == []


def test_a_second_start_of_the_app_hands_its_files_to_the_running_one(bundle, launch, x11, tmp):
    app = bundle(name="Single", plist={"CFBundleIdentifier": "org.example.single-app"})
    env = {"TMPDIR": _tmpdir_for_launcher(tmp)}
    first = launch(exe=app.exe, env=env)
    app.backend.wait_connected(WINDOW, first)
    win = x11.wait_window(first, title="Single")
    os.unlink(app.record_path)  # a second backend would write it again

    notes = os.path.join(tmp, "notes.txt")
    second = launch("--open", "notes.txt", "https://example.com/x", exe=app.exe, env=env,
                    cwd=tmp)
    assert second.wait_exit(WINDOW) == 0
    app.backend.wait_line("OPENURL https://example.com/x", WINDOW)
    assert app.backend.wait_line("OPENFILES ") == "OPENFILES " + json.dumps([notes])

    # A plain second start brings the running app forward.
    app.backend.send("WINOP hidewin")
    x11.wait_until(lambda: not x11.is_viewable(win), "the main window hidden")
    app.backend.send("WINOP hideonclose 1")
    third = launch(exe=app.exe, env=env)
    assert third.wait_exit(WINDOW) == 0
    x11.wait_until(lambda: x11.is_viewable(win), "the main window back")
    assert not os.path.exists(app.record_path)
