#include <gtest/gtest.h>

#include "menus/menu_blocks.h"
#include "menus/menu_state.h"
#include "menus/tray.h"
#include "tests/unit/wire_fixture.h"

namespace {

using Lines = std::vector<std::string>;

// id, "=label" when it differs, "*" checked, "~" disabled, "^accel", "#image", "(submenu)";
// "-" a separator, "!role" a stock entry.
std::string show(const std::vector<MenuItemSpec>& items) {
  std::string out;
  for (const MenuItemSpec& i : items) {
    if (!out.empty()) out += ",";
    if (i.separator) {
      out += "-";
      continue;
    }
    if (!i.role.empty()) {
      out += "!" + i.role;
      continue;
    }
    out += i.id;
    if (i.label != i.id) out += "=" + i.label;
    if (i.checked) out += "*";
    if (i.disabled) out += "~";
    if (!i.accelerator.empty()) out += "^" + i.accelerator;
    if (!i.image.empty()) out += "#" + i.image;
    if (!i.submenu.empty()) out += "(" + show(i.submenu) + ")";
  }
  return out;
}

std::string show(const std::vector<MenuSpec>& menus) {
  std::string out;
  for (const MenuSpec& m : menus) {
    out += (out.empty() ? "" : " ") + m.title + (m.role.empty() ? "" : "/" + m.role);
    out += (m.nostd ? "/nostd[" : "[") + show(m.items) + "]";
  }
  return out;
}

const Handlers& block_handlers() {
  static const Handlers h = [] {
    Handlers x = logging_handlers();
    x.blocks = [] {
      return make_block_reader(
          MenuSinks{[](webview_t, std::unique_ptr<MenuBarReq> r) {
                      handled().push_back("bar " + r->win + ": " + show(r->menus));
                    },
                    [](webview_t, std::unique_ptr<TraySpec> t) {
                      handled().push_back("tray " + t->title + "|" + t->icon + "|" +
                                          (t->template_icon ? "t" : "") + "|" + t->tooltip + "|" +
                                          (t->primary_action ? "p" : "") + "|" + t->title_colour +
                                          "|" + t->title_font + ": " + show(t->items));
                    },
                    [](webview_t, std::unique_ptr<CtxReq> c) {
                      handled().push_back("ctx: " + show(c->items));
                    }});
    };
    return x;
  }();
  return h;
}

class MenuBlocks : public WireTest {};

}  // namespace

TEST_F(MenuBlocks, Grammar) {
  struct Case {
    Lines in, out;
  };
  const Case cases[] = {
      // Items before the first menu are dropped; open submenus close at the next menu and at
      // the end; a SUBEND with nothing open is ignored.
      {{"MENUBEGIN", "ITEM lost", "MENU File", "ITEM new\tNew\tcmd+n\tcdx\tsf:doc",
        "SUB r\t\tx.png", "ITEM a", "SUB deep", "ITEM b", "MENU Edit", "SUBEND", "ITEM c\t\t\t\t",
        "SEP", "ROLEITEM copy", "MENUEND"},
       {"bar : File[new=New*~^cmd+n#sf:doc,r#x.png(a,deep(b))] Edit[c,-,!copy]"}},
      {{"MENUBEGIN@", "MENUROLE edit\tnostd", "MENUROLE help\tother", "MENUEND"},
       {"bar : /edit/nostd[] /help[]"}},
      {{"MENUBEGIN@side win", "MENU ", "MENUEND"}, {"bar side win: []"}},
      // Lines of a block outside it, and ends without their block, are ignored.
      {{"ITEM x", "SEP", "SUB y", "SUBEND", "MENU M", "MENUEND", "TRAYEND", "CTXEND"}, {}},
      {{"TRAYBEGIN 12:00\tsf:clock\t0\ttip\t1\t#ff0000\tmonospaced\textra", "ITEM q", "TRAYEND"},
       {"tray 12:00|sf:clock||tip|p|#ff0000|monospaced: q"}},
      {{"TRAYBEGIN", "TRAYEND", "TRAYBEGIN \t\t1\t\t0", "TRAYEND"},
       {"tray ||t||||: ", "tray ||t||||: "}},
      // Every BEGIN resets the one item stack; the blocks end independently.
      {{"MENUBEGIN", "MENU A", "ITEM a", "CTXBEGIN", "SUB s", "ITEM b", "MENUEND", "CTXEND"},
       {"bar : A[s(b)]", "ctx: "}},
      {{"CTXBEGIN", "SUB s", "ITEM b", "CTXEND", "CTXEND"}, {"ctx: s(b)"}},
  };
  for (const Case& c : cases) {
    Dispatcher d(block_handlers());
    handled().clear();
    for (const std::string& line : c.in)
      d.decode(line);
    queue_.run_all();
    EXPECT_EQ(handled(), c.out) << c.in.front();
  }
}

TEST_F(MenuBlocks, SubmenusStopNestingAtTheDepthCap) {
  Dispatcher d(block_handlers());
  Lines in{"CTXBEGIN"};
  for (size_t i = 0; i < kMaxMenuDepth + 3; ++i)
    in.push_back("SUB s" + std::to_string(i));
  in.push_back("ITEM leaf");
  for (size_t i = 0; i < 4; ++i)
    in.push_back("SUBEND");  // closes the three past the cap and the deepest level
  in.push_back("ITEM after");
  in.push_back("CTXEND");
  for (const std::string& line : in)
    d.decode(line);
  queue_.run_all();
  std::string inner = "leaf";
  inner = "s" + std::to_string(kMaxMenuDepth - 1) + "(" + inner + ")";
  inner = "s" + std::to_string(kMaxMenuDepth - 2) + "(" + inner + ",after)";
  ASSERT_EQ(handled().size(), 1u);
  EXPECT_NE(handled()[0].find(inner), std::string::npos) << handled()[0];
  EXPECT_EQ(handled()[0].find("s" + std::to_string(kMaxMenuDepth)), std::string::npos);
}

TEST_F(MenuBlocks, StandAloneCommands) {
  auto upd = parse_menu_update("MENUUPD@side save\tSave\t1", 7);
  ASSERT_TRUE(upd);
  EXPECT_EQ(upd->win + "|" + upd->id + "|" + upd->label + "|" + upd->checked + "|" + upd->enabled,
            "side|save|Save|1|");
  EXPECT_FALSE(parse_menu_update("MENUUPD@side", 7));
  EXPECT_EQ(parse_menu_update("MENUUPD x\t\t\t0", 7)->win, "");
  EXPECT_TRUE(*parse_ctx_suppress("CTXSUPPRESS 1", 12));
  EXPECT_FALSE(*parse_ctx_suppress("CTXSUPPRESS 11", 12));
  EXPECT_EQ(parse_menu_reset("MENURESET@side", 10)->win, "side");
}

TEST(MenuBar, Layouts) {
  BarOptions o{"Demo", false, false};
  auto item = [](std::string id) {
    MenuItemSpec i;
    i.id = i.label = id;
    return i;
  };
  auto role = [](std::string r) {
    MenuItemSpec i;
    i.role = r;
    return i;
  };
  MenuSpec file{"File", {item("new")}, "", false};
  const std::string app = "Demo/app[!about,-,!quit]",
                    std_edit = "!undo,!redo,-,!cut,!copy,!paste,!selectAll";
  struct Case {
    std::vector<MenuSpec> menus;
    BarOptions options;
    std::string bar;
  };
  const Case cases[] = {
      {{}, o, app + " Edit/edit[" + std_edit + "]"},
      {{file, {"", {item("x")}, "edit", false}},
       o,
       app + " File[new] Edit/edit[" + std_edit + ",-,x]"},
      {{{"", {item("x")}, "edit", true}, file}, o, app + " Edit/edit[x] File[new]"},
      {{{"", {}, "edit", true}}, o, app},
      {{{"", {role("copy"), item("x"), role("nope")}, "edit", false}},
       o,
       app + " Edit/edit[!copy,x]"},
      {{{"", {item("prefs")}, "app", false}, {"", {item("later")}, "app", false}},
       o,
       "Demo/app[!about,-,prefs,-,!quit] Edit/edit[" + std_edit + "]"},
      // Help: the book's item unless nostd, then the menu's own items; Develop in debug mode.
      {{{"", {}, "help", false}},
       {"Demo", true, true},
       app + " Edit/edit[" + std_edit + "] Develop/develop[!inspector] Help/help[!help]"},
      {{{"", {item("faq")}, "help", true}},
       {"Demo", false, true},
       app + " Edit/edit[" + std_edit + "] Help/help[faq]"},
      {{{"", {item("faq")}, "help", false}, {"Tools", {}, "other", false}},
       {"Demo", false, true},
       app + " Edit/edit[" + std_edit + "] Help/help[!help,-,faq]"},
      {{{"", {}, "help", false}}, o, app + " Edit/edit[" + std_edit + "]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(show(build_bar(c.menus, c.options)), c.bar);
  }
}

TEST(MenuBar, Accelerators) {
  struct Case {
    std::string text, key;
    uint32_t mask;
  };
  const Case cases[] = {
      {"cmd+shift+s", "s", kModCommand | kModShift},    {"ctrl+x", "x", kModCommand | kModControl},
      {"Opt+Command+K", "K", kModCommand | kModOption}, {"cmd++", "+", kModCommand},
      {"cmd+hyper+x", "hyper+x", kModCommand},          {"+x", "+x", kModCommand},
  };
  for (const Case& c : cases) {
    SplitAccel s = split_accel(c.text);
    EXPECT_EQ(s.key, c.key) << c.text;
    EXPECT_EQ(s.mask, c.mask) << c.text;
  }
  EXPECT_EQ(desktop_accel("cmd+Z"), (Accel{"z", kKeyCtrl | kKeyShift}));
  EXPECT_EQ(desktop_accel("ctrl+alt+f5"), (Accel{"f5", kKeyCtrl | kKeyAlt}));
  EXPECT_EQ(desktop_accel(""), Accel{});

  // A backend item takes the keys of a stock entry; otherwise the first in menu order wins.
  MenuItemSpec mine, twin, deep;
  mine.id = "mine";
  mine.accelerator = "ctrl+c";
  twin = mine;
  twin.id = "twin";
  deep.id = "deep";
  deep.accelerator = "cmd+Z";
  MenuItemSpec sub;
  sub.id = "sub";
  sub.accelerator = "cmd+s";
  sub.submenu = {deep};
  auto layout = build_bar({{"A", {twin, sub}, "", false}, {"", {mine}, "edit", false}},
                          BarOptions{"Demo", false, false});
  std::map<std::string, std::string> bound;
  for (const AccelBinding& b : bar_accelerators(layout))
    bound[b.accel.key + std::to_string(b.accel.mods)] = b.item->id + b.item->role;
  EXPECT_EQ(bound["c1"], "twin");
  EXPECT_EQ(bound["z5"], "deep");
  EXPECT_EQ(bound["z1"], "undo");
  EXPECT_EQ(bound.count("s1"), 0u);  // items that open submenus have no keys
}

TEST(MenuState, UpdatesAndQueriesFindItemsInOrder) {
  MenuState s;
  s.options.app_name = "Demo";
  auto items = [](std::string id, std::string label) {
    MenuItemSpec i;
    i.id = id;
    i.label = label;
    return std::vector<MenuItemSpec>{i};
  };
  s.apply_menus({{"A", items("save", "App save"), "", false}});
  s.set_window_menus("side", {{"S", items("save", "Side save"), "", false}});
  s.set_tray_items(items("tray", "Tray"));
  s.set_ctx(items("save", "Ctx save"), true);
  EXPECT_EQ(s.item_json("save", false),
            R"({"exists":true,"label":"App save","checked":false,"enabled":true})");
  EXPECT_EQ(s.item_json("side:save", true),
            R"({"exists":true,"label":"Side save","checked":false,"enabled":true})");
  EXPECT_EQ(s.item_json("other:save", true), s.item_json("save", false));  // the app bar
  EXPECT_EQ(s.item_json("other:tray", true), R"({"exists":false})");       // never the tray
  EXPECT_EQ(s.item_json("tray", false),
            R"({"exists":true,"label":"Tray","checked":false,"enabled":true})");

  // Empty fields keep what is there; "2" disables bar items but not the context menu's.
  EXPECT_EQ(s.update({"", "save", "", "1", "2"}).size(), 2u);
  EXPECT_EQ(s.item_json("side:save", true),
            R"({"exists":true,"label":"Side save","checked":true,"enabled":false})");
  s.set_ctx(items("only", "Ctx"), true);
  s.update({"side", "only", "Renamed", "", "2"});
  EXPECT_EQ(s.item_json("only", false),
            R"({"exists":true,"label":"Renamed","checked":false,"enabled":true})");
  EXPECT_EQ(s.update({"side", "save", "", "", "1"}).size(), 1u);
  EXPECT_EQ(s.item_json("save", false),
            R"({"exists":true,"label":"App save","checked":true,"enabled":false})");

  // A rebuilt bar forgets the changes; a dropped window bar leaves the app bar.
  EXPECT_TRUE(s.drop_window_menus("side"));
  EXPECT_FALSE(s.drop_window_menus("side"));
  EXPECT_EQ(s.bar_for("side").generation, s.app_bar().generation);
}

TEST(Tray, TitleColoursAndReport) {
  auto hex = [](std::string_view text) {
    auto c = parse_title_colour(text);
    return c ? colour_hex(c->light) + colour_hex(c->dark) : "none";
  };
  EXPECT_EQ(hex("#ff0000,#00ff00"), "#ff0000#00ff00");
  EXPECT_EQ(hex("FF0000,00ff0g"), "#ff0000#ff0000");
  EXPECT_EQ(hex("#f00"), "none");
  EXPECT_EQ(hex("#ff00zz"), "none");
  EXPECT_EQ(hex(",#00ff00"), "none");
  EXPECT_EQ(hex(""), "none");
  EXPECT_DOUBLE_EQ(parse_hex_colour("#ff000080")->a, 128.0 / 255);
  EXPECT_DOUBLE_EQ(parse_hex_colour("0000ff")->a, 1);

  TrayFacts f;
  f.mode = tray_mode(true, true);
  f.title = "12:00";
  f.font = tray_font("monospaced", "Cantarell", 11);
  EXPECT_EQ(tray_debug_json(&f),  // a plain title has no style
            R"({"exists":true,"menuAttached":false,"menuHeld":true,"icon":false,"title":"12:00"})");
  f.colour = parse_title_colour("#ff000080,#00ff00");
  EXPECT_EQ(tray_debug_json(&f),
            R"({"exists":true,"menuAttached":false,"menuHeld":true,"icon":false,"title":"12:00",)"
            R"("titleFont":"Monospace","titleFontSize":11.000000,"titleColorLight":"#ff0000",)"
            R"("titleColorDark":"#00ff00"})");
  f.title.clear();
  f.mode = tray_mode(true, false);
  EXPECT_EQ(tray_debug_json(&f),
            R"({"exists":true,"menuAttached":true,"menuHeld":false,"icon":false,"title":""})");
  EXPECT_FALSE(tray_mode(false, false).item_is_menu);
  EXPECT_TRUE(tray_mode(false, false).reports_click);
  EXPECT_EQ(tray_debug_json(nullptr), R"({"exists":false})");
}
