"""The tray item on the test desktop's tray (a fake watcher and host): it waits for the tray,
reports clicks in each of its three modes, has its menu chosen from, and goes on TRAYREMOVE."""

from fakes.sni import Tray
from test_state import app  # noqa: F401 (a fixture)


def find(menu, label):
    """The id of the menu item with this label, in submenus too."""
    for item_id, props, children in menu:
        if props.get("label") == label:
            return item_id
        found = find(children, label)
        if found is not None:
            return found
    return None


def test_tray_item_modes_menu_and_removal(app, desktop):
    wire, _ = app()
    wire.send("TRAYBEGIN 12:00\tsf:gear\t1\tTip\t1\t#ff0000,#00ff00\tmonospaced",
              "ITEM a\tA_1", "ITEM b\tB\t\tcd", "SEP", "SUB s\tMore", "ITEM c\tC", "SUBEND",
              "ROLEITEM copy", "TRAYEND")
    # No tray on the bus yet: the item is kept and reported, and registers once one appears.
    tray_state = wire.get("debug:tray")
    assert tray_state == dict(tray_state, exists=True, menuAttached=False, menuHeld=True,
                              icon=True, title="12:00", titleFont="Monospace",
                              titleColorLight="#ff0000", titleColorDark="#00ff00")
    assert wire.get("traypos") is None
    with Tray(desktop.child_env()) as tray:
        [name] = tray.wait_items(1)
        props = tray.item(name)
        assert (props["XAyatanaLabel"], props["ToolTip"][2], props["ItemIsMenu"]) == (
            "12:00", "Tip", False)
        assert props["IconName"].startswith("emblem-system")
        menu = tray.menu(name)
        assert [p.get("label", "-") for _, p, _ in menu] == ["A__1", "B", "-", "More"]
        assert (menu[1][1]["toggle-state"], menu[1][1]["enabled"]) == (1, False)

        # A primary action: the click is reported, the menu is chosen from.
        start = wire.mark
        tray.click(name, "Activate", 100, 200)
        tray.choose(name, find(menu, "C"))
        wire.wait("TRAYCLICK", start)
        wire.wait("TRAY c", start)
        assert wire.get("traypos") == {"x": 100, "y": 200, "width": 0, "height": 0}
        wire.send("MENUUPD c\tSee\t1")
        assert wire.get("item:c") == {"exists": True, "label": "See", "checked": True,
                                      "enabled": True}
        assert find(tray.menu(name), "See") is not None

        # A menu without a primary action: every click opens it, none is reported.
        wire.send("TRAYBEGIN t", "ITEM a", "TRAYEND")
        wire.marker()
        assert tray.item(name)["ItemIsMenu"] is True
        start = wire.mark
        tray.click(name, "Activate")
        end = wire.marker()
        assert "TRAYCLICK" not in wire.lines[start:end]

        # No items: the click is reported, and there is no menu.
        wire.send("TRAYBEGIN t", "TRAYEND")
        wire.marker()
        assert (tray.item(name)["ItemIsMenu"], tray.item(name)["Menu"]) == (False, "/NO_DBUSMENU")
        start = wire.mark
        tray.click(name, "Activate")
        wire.wait("TRAYCLICK", start)

        wire.send("TRAYREMOVE")
        tray.wait_items(0)
        assert wire.get("debug:tray") == {"exists": False}
