// SPOTLIGHT: the desktop's file index (the LocalSearch / Tracker file miner, queried with
// SPARQL through libtracker-sparql) when it is on the session bus, else a walk of the home
// folder's file names on a worker thread. Nothing here waits on the main thread; every request
// is answered once, by the index, by the walk, or with no paths when the launcher quits.
#include "services/spotlight_tracker.h"

#include <libtracker-sparql/tracker-sparql.h>

#include <algorithm>

#include "platform/gobj.h"
#include "services/pending_replies.h"
#include "wire/link.h"
#include "wire/text.h"

namespace {

// The file miner's bus names: LocalSearch on newer desktops, Tracker before it.
constexpr const char* kMiners[] = {"org.freedesktop.LocalSearch3",
                                   "org.freedesktop.Tracker3.Miner.Files"};
// A walk gives up after this long and answers with what it found.
constexpr auto kWalkTime = std::chrono::seconds(4);
// Walks running at once; more wait their turn.
constexpr int kWalkers = 2;

// Names match the query anywhere; indexed text matches words that begin with it.
constexpr const char* kSparql =
    "SELECT DISTINCT ?url WHERE {"
    " { ?file a nfo:FileDataObject ; nfo:fileName ?name ; nie:url ?url ."
    "   FILTER (CONTAINS(tracker:unaccent(tracker:case-fold(?name)), ~needle)) }"
    " UNION"
    " { ?content nie:isStoredAs ?file ; fts:match ~phrase . ?file nie:url ?url }"
    " FILTER (STRSTARTS(?url, ~home))"
    "} LIMIT 100";

// Lower case without accents: compatibility decomposition, marks dropped, case folded. Text
// that is not UTF-8 only loses the case of its ASCII letters.
std::string fold(std::string_view text) {
  bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii || !g_utf8_validate_len(text.data(), text.size(), nullptr)) return ascii_lower(text);
  GCharPtr folded(g_utf8_casefold(text.data(), static_cast<gssize>(text.size())));
  GCharPtr parts(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_NFKD));
  if (!parts) return ascii_lower(text);
  std::string out;
  for (const char* p = parts.get(); *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    GUnicodeType type = g_unichar_type(c);
    if (type == G_UNICODE_NON_SPACING_MARK || type == G_UNICODE_SPACING_MARK ||
        type == G_UNICODE_ENCLOSING_MARK) {
      continue;
    }
    out.append(p, static_cast<size_t>(g_utf8_next_char(p) - p));
  }
  return out;
}

struct SearchJob {
  uint64_t ticket = 0;
  std::string needle;  // folded query
  std::string home;
  std::vector<std::string> paths;
  GRef<TrackerSparqlConnection> index;
  GRef<TrackerSparqlStatement> statement;
  GRef<TrackerSparqlCursor> cursor;
};

void answer(std::unique_ptr<SearchJob> job) {
  service_replies().answer(job->ticket, spotlight_reply(job->paths));
}

void walk_on_worker(gpointer data, gpointer) {
  std::unique_ptr<SearchJob> job(static_cast<SearchJob*>(data));
  NameWalk walk{job->home, job->needle, fold, kSpotlightLimit,
                std::chrono::steady_clock::now() + kWalkTime};
  job->paths = walk_names(walk);
  answer(std::move(job));
}

void walk(std::unique_ptr<SearchJob> job) {
  static GThreadPool* pool = g_thread_pool_new(walk_on_worker, nullptr, kWalkers, FALSE, nullptr);
  job->index.reset();
  job->statement.reset();
  job->cursor.reset();
  g_thread_pool_push(pool, job.release(), nullptr);
}

std::unique_ptr<SearchJob> take(gpointer data) {
  return std::unique_ptr<SearchJob>(static_cast<SearchJob*>(data));
}

void on_row(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  GError* error = nullptr;
  bool more = tracker_sparql_cursor_next_finish(job->cursor.get(), result, &error);
  if (error) {
    g_error_free(error);
    // An index that fails before its first row leaves the search to the walk.
    if (job->paths.empty()) return walk(std::move(job));
  }
  if (more) {
    if (const char* url = tracker_sparql_cursor_get_string(job->cursor.get(), 0, nullptr)) {
      if (GCharPtr path{g_filename_from_uri(url, nullptr, nullptr)})
        job->paths.push_back(path.get());
    }
    if (job->paths.size() < kSpotlightLimit) {
      TrackerSparqlCursor* cursor = job->cursor.get();
      tracker_sparql_cursor_next_async(cursor, nullptr, on_row, job.release());
      return;
    }
  }
  answer(std::move(job));
}

void on_results(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  TrackerSparqlCursor* cursor =
      tracker_sparql_statement_execute_finish(job->statement.get(), result, nullptr);
  if (!cursor) return walk(std::move(job));
  job->cursor = GRef<TrackerSparqlCursor>::adopt(cursor);
  tracker_sparql_cursor_next_async(cursor, nullptr, on_row, job.release());
}

void on_index(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  TrackerSparqlConnection* index = tracker_sparql_connection_bus_new_finish(result, nullptr);
  if (!index) return walk(std::move(job));
  job->index = GRef<TrackerSparqlConnection>::adopt(index);
  TrackerSparqlStatement* statement =
      tracker_sparql_connection_query_statement(index, kSparql, nullptr, nullptr);
  if (!statement) return walk(std::move(job));
  job->statement = GRef<TrackerSparqlStatement>::adopt(statement);
  GCharPtr home_uri(g_filename_to_uri(job->home.c_str(), nullptr, nullptr));
  std::string prefix = home_uri ? std::string(home_uri.get()) + "/" : "file:///";
  tracker_sparql_statement_bind_string(statement, "needle", job->needle.c_str());
  tracker_sparql_statement_bind_string(statement, "phrase",
                                       text_search_phrase(job->needle).c_str());
  tracker_sparql_statement_bind_string(statement, "home", prefix.c_str());
  tracker_sparql_statement_execute_async(statement, nullptr, on_results, job.release());
}

// Looks for a running miner among the names on the bus: starting one just for a search
// would index the whole home first.
void on_bus_names(GObject* bus, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
  const char* miner = nullptr;
  if (reply) {
    GVariant* names = g_variant_get_child_value(reply, 0);
    for (const char* candidate : kMiners) {
      for (gsize i = 0; !miner && i < g_variant_n_children(names); ++i) {
        GVariant* name = g_variant_get_child_value(names, i);
        if (std::string_view(g_variant_get_string(name, nullptr)) == candidate) miner = candidate;
        g_variant_unref(name);
      }
    }
    g_variant_unref(names);
    g_variant_unref(reply);
  }
  if (!miner) return walk(std::move(job));
  tracker_sparql_connection_bus_new_async(miner, nullptr, G_DBUS_CONNECTION(bus), nullptr, on_index,
                                          job.release());
}

void on_bus(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  GRef<GDBusConnection> bus = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, nullptr));
  if (!bus) return walk(std::move(job));
  g_dbus_connection_call(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "ListNames", nullptr, G_VARIANT_TYPE("(as)"),
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_bus_names, job.release());
}

}  // namespace

void do_spotlight(webview_t, std::unique_ptr<SpotlightReq> req) {
  std::string needle = fold(req->query);
  // An empty text is in every name; like an empty search field, it finds nothing.
  if (needle.empty()) {
    send_reply(req->id, spotlight_reply({}));
    return;
  }
  auto job = std::make_unique<SearchJob>();
  job->ticket = service_replies().open(req->id, spotlight_reply({}));
  job->needle = std::move(needle);
  job->home = g_get_home_dir();
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, job.release());
}
