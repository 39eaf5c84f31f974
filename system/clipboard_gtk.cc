// The CLIPBOARD selection through GtkClipboard. Reads ask the owner for one representation
// after another and answer when the last is back or the time is up; a write offers every
// representation under its usual targets and marks them storable.
#include "system/clipboard_gtk.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "system/desktop_x11.h"
#include "wire/text.h"

namespace {

// How long one read may wait for the owner of the selection.
constexpr guint kReadLimitMs = 2000;

ClipBook g_book;
guint g_watch = 0;

// The image saved for a change count.
struct SavedImage {
  std::string path;
  uint64_t count = 0;
  PixelSize size;
} g_saved;

GtkClipboard* clipboard() {
  return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
}

const std::string& note_source() {
  return g_book.note_source([] { return selection_owner_app("CLIPBOARD"); });
}

void on_owner_change(GtkClipboard*, GdkEventOwnerChange* event, gpointer) {
  // The launcher's own writes were counted when they were made.
  if (event->owner && gdk_window_get_window_type(event->owner) != GDK_WINDOW_FOREIGN) return;
  g_book.changed();
  note_source();
}

// ---- reading ---------------------------------------------------------------------------------

// One read of a selection: the representations still to ask for and what the answers held.
// The owner is asked for one representation at a time (owners do not all serve requests that
// overlap); every request holds the read until its callback runs, and the answer goes when
// the last one is back or the time is up.
enum class Field {
  Targets,
  Text,
  Image,
  Uris,
  GnomeFiles,
  Html,
  Png,
  Colour,
  Concealed,
  SourceUrl
};

struct SelectionRead {
  SelectionRead(GetAnswer a, GtkClipboard* cb) : answer(std::move(a)), clipboard(cb) {}
  GetAnswer answer;
  GtkClipboard* clipboard;
  bool selected_text = false;  // PRIMARY, for "selectedtext"
  std::deque<std::pair<Field, const char*>> queue;
  ClipContent c;
  std::string png;  // the image's bytes, when a new one was read
  bool done = false;
  guint timer = 0;
};
using ReadPtr = std::shared_ptr<SelectionRead>;

// The user data of one request.
struct Request {
  ReadPtr read;
  Field field;
};

void keep_image(ClipContent& c, const std::string& png) {
  if (!png.empty() && g_saved.count != c.count) {
    std::string path = clip_image_path(std::string(g_get_tmp_dir()) + "/", getpid(), c.count);
    if (g_file_set_contents(path.c_str(), png.data(), static_cast<gssize>(png.size()), nullptr)) {
      if (!g_saved.path.empty() && g_saved.path != path) g_unlink(g_saved.path.c_str());
      g_saved = {path, c.count, png_size(png).value_or(PixelSize{})};
    }
  }
  if (!g_saved.path.empty() && g_saved.count == c.count) {
    c.image_path = g_saved.path;
    c.image_size = g_saved.size;
  }
}

void finish(SelectionRead& r) {
  r.done = true;
  if (r.timer) g_source_remove(r.timer);
  r.timer = 0;
  if (r.selected_text) {
    r.answer.send(r.c.text.empty() ? "null" : json_escape(r.c.text));
    return;
  }
  keep_image(r.c, r.png);
  r.answer.send(clipboard_json(r.c));
}

void on_targets(GtkClipboard* cb, GdkAtom* atoms, gint n, gpointer p);
void on_contents(GtkClipboard*, GtkSelectionData* data, gpointer p);
void on_text(GtkClipboard*, const gchar* text, gpointer p);
void on_image(GtkClipboard*, GdkPixbuf* image, gpointer p);

// Asks for the next representation, or answers when none is left.
void ask_next(const ReadPtr& r) {
  if (r->done) return;
  if (r->queue.empty()) return finish(*r);
  auto [field, target] = r->queue.front();
  r->queue.pop_front();
  auto* req = new Request{r, field};
  switch (field) {
    case Field::Targets:
      return gtk_clipboard_request_targets(r->clipboard, on_targets, req);
    case Field::Text:
      return gtk_clipboard_request_text(r->clipboard, on_text, req);
    case Field::Image:
      return gtk_clipboard_request_image(r->clipboard, on_image, req);
    default:
      return gtk_clipboard_request_contents(r->clipboard, gdk_atom_intern_static_string(target),
                                            on_contents, req);
  }
}

void start(ReadPtr r, Field first) {
  r->queue.emplace_back(first, nullptr);
  r->timer = g_timeout_add_full(
      G_PRIORITY_DEFAULT, kReadLimitMs,
      [](gpointer data) -> gboolean {
        SelectionRead& r = *static_cast<Request*>(data)->read;
        r.timer = 0;
        if (!r.done) finish(r);
        return G_SOURCE_REMOVE;
      },
      new Request{r, first}, [](gpointer data) { delete static_cast<Request*>(data); });
  ask_next(r);
}

// HTML is UTF-8 unless it starts with a UTF-16 byte order mark (as some browsers offer it).
std::string html_text(std::string_view bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xff' && bytes[1] == '\xfe') || (bytes[0] == '\xfe' && bytes[1] == '\xff'))) {
    gsize n = 0;
    GCharPtr utf8(g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", "UTF-16",
                            nullptr, &n, nullptr));
    if (utf8) return std::string(utf8.get(), n).substr(n >= 3 && utf8.get()[0] == '\xef' ? 3 : 0);
  }
  return std::string(bytes);
}

std::string trimmed(std::string_view bytes) {
  while (!bytes.empty() && (bytes.back() == '\0' || g_ascii_isspace(bytes.back())))
    bytes.remove_suffix(1);
  return std::string(bytes);
}

void take(SelectionRead& r, Field field, std::string_view bytes) {
  ClipContent& c = r.c;
  switch (field) {
    case Field::Uris:
      c.paths = paths_from_uri_list(bytes);
      break;
    case Field::GnomeFiles:
      // "copy" or "cut", then one URI a line.
      if (size_t nl = bytes.find('\n'); nl != std::string_view::npos)
        c.paths = paths_from_uri_list(bytes.substr(nl + 1));
      break;
    case Field::Html:
      c.html = html_text(bytes);
      break;
    case Field::Png:
      r.png = bytes;
      break;
    case Field::Colour:
      c.colour = colour_from_x_color(bytes);
      break;
    case Field::Concealed:
      c.concealed = trimmed(bytes) == "secret";
      break;
    case Field::SourceUrl:
      c.source_url = trimmed(bytes);
      break;
    default:
      break;
  }
}

// Every callback takes its request back, uses the answer unless the read is over, and asks for
// the next representation.
struct Answered {
  explicit Answered(gpointer p) : req(static_cast<Request*>(p)) {}
  ~Answered() { ask_next(req->read); }
  bool wanted() const { return !req->read->done; }
  std::unique_ptr<Request> req;
};

void on_contents(GtkClipboard*, GtkSelectionData* data, gpointer p) {
  Answered a(p);
  if (a.wanted() && data && gtk_selection_data_get_length(data) >= 0) {
    auto* bytes = reinterpret_cast<const char*>(gtk_selection_data_get_data(data));
    take(*a.req->read, a.req->field,
         std::string_view(bytes ? bytes : "",
                          static_cast<size_t>(gtk_selection_data_get_length(data))));
  }
}

void on_text(GtkClipboard*, const gchar* text, gpointer p) {
  Answered a(p);
  if (a.wanted() && text) a.req->read->c.text = text;
}

// Images offered only in other formats arrive decoded and are saved as PNG.
void on_image(GtkClipboard*, GdkPixbuf* image, gpointer p) {
  Answered a(p);
  gchar* buf = nullptr;
  gsize size = 0;
  if (a.wanted() && image &&
      gdk_pixbuf_save_to_buffer(image, &buf, &size, "png", nullptr, nullptr)) {
    a.req->read->png.assign(buf, size);
  }
  g_free(buf);
}

void on_targets(GtkClipboard*, GdkAtom* atoms, gint n, gpointer p) {
  Answered a(p);
  SelectionRead& r = *a.req->read;
  if (!a.wanted() || !atoms) return;
  auto has = [&](const char* name) {
    return std::find(atoms, atoms + n, gdk_atom_intern_static_string(name)) != atoms + n;
  };
  auto want = [&](Field field, const char* target = nullptr) {
    r.queue.emplace_back(field, target);
  };
  if (has("text/uri-list")) {
    want(Field::Uris, "text/uri-list");
  } else if (has("x-special/gnome-copied-files")) {
    want(Field::GnomeFiles, "x-special/gnome-copied-files");
  }
  if (gtk_targets_include_text(atoms, n)) want(Field::Text);
  if (has("text/html")) want(Field::Html, "text/html");
  // The image of a change count is read once.
  if (g_saved.path.empty() || g_saved.count != r.c.count) {
    if (has("image/png")) {
      want(Field::Png, "image/png");
    } else if (gtk_targets_include_image(atoms, n, FALSE)) {
      want(Field::Image);
    }
  }
  if (has("application/x-color")) want(Field::Colour, "application/x-color");
  if (has("x-kde-passwordManagerHint")) want(Field::Concealed, "x-kde-passwordManagerHint");
  if (has("chromium/x-source-url")) want(Field::SourceUrl, "chromium/x-source-url");
}

// ---- writing ---------------------------------------------------------------------------------

enum Info : guint { kText, kHtml, kPng, kColour, kUriList, kGnomeFiles };

// What a CLIPWRITE offers, kept until the clipboard changes hands.
struct Offer {
  std::string text, html, png, colour;
  std::vector<std::string> paths;
};

void serve(GtkClipboard*, GtkSelectionData* sel, guint info, gpointer data) {
  const Offer& o = *static_cast<Offer*>(data);
  auto set = [sel](const std::string& bytes, int format) {
    gtk_selection_data_set(sel, gtk_selection_data_get_target(sel), format,
                           reinterpret_cast<const guchar*>(bytes.data()),
                           static_cast<gint>(bytes.size()));
  };
  switch (info) {
    case kText:
      gtk_selection_data_set_text(sel, o.text.data(), static_cast<gint>(o.text.size()));
      break;
    case kHtml:
      set(o.html, 8);
      break;
    case kPng:
      set(o.png, 8);
      break;
    case kColour:
      set(o.colour, 16);
      break;
    case kUriList:
      set(uri_list_body(o.paths), 8);
      break;
    case kGnomeFiles:
      set(gnome_copied_files_body(o.paths), 8);
      break;
  }
}

}  // namespace

void install_clipboard_observer() {
  g_signal_connect(clipboard(), "owner-change", G_CALLBACK(on_owner_change), nullptr);
}

void store_clipboard_at_exit() {
  gtk_clipboard_store(clipboard());
}

std::string clipboard_count_answer() {
  return clip_count_json(g_book.count());
}

void answer_clipboard(GetAnswer answer) {
  auto r = std::make_shared<SelectionRead>(std::move(answer), clipboard());
  r->c.count = g_book.count();
  r->c.source_app = note_source();
  start(r, Field::Targets);
}

void answer_selected_text(GetAnswer answer) {
  auto r =
      std::make_shared<SelectionRead>(std::move(answer), gtk_clipboard_get(GDK_SELECTION_PRIMARY));
  r->selected_text = true;
  start(r, Field::Text);
}

void do_clip_write(webview_t, std::unique_ptr<ClipWriteReq> req) {
  auto offer = std::make_unique<Offer>();
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  if (!req->text.empty()) {
    GCharPtr valid(g_utf8_make_valid(req->text.data(), static_cast<gssize>(req->text.size())));
    offer->text = valid.get();
    gtk_target_list_add_text_targets(list, kText);
  }
  if (!req->html.empty()) {
    offer->html = std::move(req->html);
    gtk_target_list_add(list, gdk_atom_intern_static_string("text/html"), 0, kHtml);
  }
  auto png = decode_image_field(req->image, g_get_home_dir());
  if (png && png_size(*png)) {
    offer->png = std::move(*png);
    gtk_target_list_add(list, gdk_atom_intern_static_string("image/png"), 0, kPng);
  }
  if (auto colour = parse_hex_colour(req->colour)) {
    offer->colour = x_color_data(*colour);
    gtk_target_list_add(list, gdk_atom_intern_static_string("application/x-color"), 0, kColour);
  }
  offer->paths = existing_files(req->files);
  if (!offer->paths.empty()) {
    gtk_target_list_add(list, gdk_atom_intern_static_string("text/uri-list"), 0, kUriList);
    gtk_target_list_add(list, gdk_atom_intern_static_string("x-special/gnome-copied-files"), 0,
                        kGnomeFiles);
  }
  int n = 0;
  GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &n);
  // No target at all takes the clipboard with nothing on it: that clears it (the table must
  // still be given).
  static GtkTargetEntry none{};
  if (gtk_clipboard_set_with_data(
          clipboard(), targets ? targets : &none, static_cast<guint>(n), serve,
          [](GtkClipboard*, gpointer data) { delete static_cast<Offer*>(data); }, offer.get())) {
    offer.release();
    gtk_clipboard_set_can_store(clipboard(), nullptr, 0);
  }
  gtk_target_table_free(targets, n);
  gtk_target_list_unref(list);
  g_book.wrote(source_app_json(g_app_name, g_bundle_id));
}

void do_clip_watch(webview_t, std::unique_ptr<int> period_ms) {
  if (g_watch) g_source_remove(g_watch);
  g_watch = 0;
  if (*period_ms < 1) return;
  g_book.watch_from_now();
  g_watch = g_timeout_add(
      static_cast<guint>(std::max(*period_ms, 100)),
      [](gpointer) -> gboolean {
        if (auto line = g_book.tick()) {
          note_source();
          sock_write_line(*line);
        }
        return G_SOURCE_CONTINUE;
      },
      nullptr);
}
