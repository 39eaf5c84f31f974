"""Menu bars, their accelerators and the Edit menu, window bars, and the context menu, driven
through XTest keys and clicks as a user would."""

import json
import os
import subprocess

from harness import STEP, WINDOW, wait_for
from test_state import app, open_window, winopen  # noqa: F401 (app is a fixture)

FIELD_PAGE = """<!doctype html><meta charset="utf-8"><title>menus</title>
<style>html, body { margin: 0; height: 100%; } input { width: 200px; }</style>
<input id="f" value="hello">
<script>
function kcall(method, params) {
  return window.__invoke(JSON.stringify({method: method, params: params || {}}));
}
document.addEventListener("contextmenu", function () { kcall("test.contextmenu"); });
</script>"""


def keys(desktop, *names):
    subprocess.run(["xdotool", "key", "--delay", "40"] + list(names), env=desktop.child_env(),
                   check=True)


def field(wire):
    """The text field's value, as the page reports it."""
    start = wire.mark
    wire.send("EVAL kcall('test.value', {v: document.getElementById('f').value})")
    index = wire.wait(lambda l: "test.value" in l and l.startswith("CALL "), start)
    return json.loads(json.loads(wire.lines[index].split(" ", 2)[2])[0])["params"]["v"]


def no_line(wire, text, start):
    """Nothing matching `text` came between `start` and a marker sent now."""
    end = wire.marker()
    assert [l for l in wire.lines[start:end] if l.startswith(text)] == []


def menu_app(app, tmp):
    path = os.path.join(tmp, "menus.html")
    with open(path, "w") as f:
        f.write(FIELD_PAGE)
    wire, main = app(url=path)
    wire.wait('NAV {"window":"main","kind":"finish"', 0, WINDOW)
    return wire, main


def test_bar_items_accelerators_and_the_edit_menu(app, desktop, tmp):
    wire, _ = menu_app(app, tmp)
    wire.send("MENUBEGIN", "MENU File", "ITEM new\tNew\tcmd+shift+k", "ITEM off\tOff\tcmd+j\td",
              "MENUROLE edit", "ITEM mine\tMine\tcmd+x", "MENUEND")
    wire.marker()
    # F10 opens the first menu (the app's), Right the next: File, whose first item is chosen.
    start = wire.mark
    keys(desktop, "F10", "Right", "Down", "Return")
    wire.wait("MENU new", start)
    start = wire.mark
    keys(desktop, "ctrl+shift+k", "ctrl+j")
    wire.wait("MENU new", start)
    no_line(wire, "MENU off", start)

    # The standard Edit block works on the focused field; the backend's cmd+x wins over Cut.
    wire.send("EVAL document.getElementById('f').focus()")
    assert field(wire) == "hello"  # the page has the focus
    keys(desktop, "ctrl+a", "ctrl+c", "End", "ctrl+v")
    assert field(wire) == "hellohello"
    keys(desktop, "ctrl+z")
    assert field(wire) == "hello"
    start = wire.mark
    keys(desktop, "ctrl+a", "ctrl+x")
    wire.wait("MENU mine", start)
    assert field(wire) == "hello"

    wire.send("MENUUPD mine\tMine now\t1\t0")
    assert wire.get("item:mine") == {"exists": True, "label": "Mine now", "checked": True,
                                     "enabled": False}
    assert wire.get("item:about") == {"exists": False}


def test_each_window_answers_the_keys_of_the_bar_it_shows(app, desktop, x11, tmp):
    wire, main = menu_app(app, tmp)
    side = open_window(wire, x11, winopen("side", "", "Side", "400x300"), "Side")
    wire.send("MENUBEGIN", "MENU App", "ITEM a\tA\tcmd+k", "MENUEND",
              "MENUBEGIN@side", "MENU Side", "ITEM s\tS\tcmd+k", "MENUEND")
    assert wire.get("item@side:s")["exists"] and wire.get("item@main:a")["exists"]
    assert wire.get("item@main:s") == {"exists": False}

    def focus(win, wid):
        x11.activate(win)
        wait_for(lambda: wire.get("win:" + wid)["focused"], STEP, wid + " focused")

    for win, wid, item in ((side, "side", "s"), (main, "main", "a")):
        focus(win, wid)
        start = wire.mark
        keys(desktop, "ctrl+k")
        wire.wait("MENU " + item, start)

    wire.send("MENURESET@side")
    assert wire.get("item@side:s") == {"exists": False}
    focus(side, "side")
    start = wire.mark
    keys(desktop, "ctrl+k")
    wire.wait("MENU a", start)


def test_context_menu_standard_replaced_and_suppressed(app, desktop, x11, tmp):
    wire, main = menu_app(app, tmp)
    geo = x11.geometry(main)
    x11.watch_shown()

    def right_click():
        start = wire.mark
        x11.pointer_to(geo.x + geo.width // 2, geo.y + geo.height // 2)
        x11.press(3)
        x11.release(3)
        wire.wait(lambda l: "test.contextmenu" in l, start, WINDOW)

    seen = {}

    def menus():
        """The menus shown so far (GTK also maps a helper window off the screen)."""
        for wid in x11.shown(wire.run.pid):
            rect = seen.get(wid) or x11.geometry(x11.d.create_resource_object("window", wid))
            if rect is not None and rect.x >= 0:
                seen[wid] = rect
        return list(seen.values())

    def popup(count):
        x11.wait_until(lambda: len(menus()) == count, "%d menus shown" % count)

    def close_with(*names):
        # The open menu holds the focus; the window has it back once the menu is gone.
        start = wire.mark
        keys(desktop, *names)
        wire.wait_state("main", start, focused=True)
        return start

    right_click()  # the engine's own menu
    popup(1)
    close_with("Escape")

    wire.send("CTXBEGIN", "ITEM c1\tFirst", "ITEM c2\tSecond\t\tc", "CTXEND")
    right_click()
    popup(2)
    # A click in the upper half of the two-item menu chooses the first.
    menu = menus()[-1]
    start = wire.mark
    x11.pointer_to(menu.x + menu.width // 2, menu.y + menu.height // 4)
    x11.press()
    x11.release()
    wire.wait("CTX c1", start)
    wire.wait_state("main", start, focused=True)
    wire.send("MENUUPD c2\tRenamed\t\t0")
    assert wire.get("item:c2") == {"exists": True, "label": "Renamed", "checked": True,
                                   "enabled": False}

    wire.send("CTXCLEAR", "CTXSUPPRESS 1")
    right_click()
    wire.marker()
    assert len(menus()) == 2


def test_the_inspector_opens_for_the_focused_window(app, desktop, x11):
    wire, main = app(env={"KELOJS_DEBUG": "1"})
    side = open_window(wire, x11, winopen("side", "", "Side", "400x300"), "Side")

    def inspectors():
        return sum(x11.title(w) == "Web Inspector" for w in x11.client_windows(wire.run.pid))

    # One inspector per web view: the second one opens only if the first was the side's.
    for n, (win, wid) in enumerate(((side, "side"), (main, "main")), 1):
        x11.activate(win)
        wait_for(lambda: wire.get("win:" + wid)["focused"], STEP, wid + " focused")
        keys(desktop, "ctrl+alt+i")
        wait_for(lambda: inspectors() == n, WINDOW, "%d inspector windows" % n)
