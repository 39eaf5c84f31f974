// COOKIES on the cookie manager of the shared web context. Every call is asynchronous and
// answers from its completion.
#include "services/cookies_gtk.h"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include "services/pending_replies.h"
#include "wire/link.h"

namespace {

constexpr const char* kInvalid = "{\"ok\":false,\"error\":\"invalid cookie\"}";
constexpr const char* kQuitting = "{\"ok\":false,\"error\":\"the launcher is quitting\"}";

WebKitCookieManager* cookie_manager() {
  return webkit_web_context_get_cookie_manager(webkit_web_context_get_default());
}

Cookie from_soup(SoupCookie* sc) {
  auto text = [](const char* s) { return std::string(s ? s : ""); };
  Cookie c;
  c.name = text(soup_cookie_get_name(sc));
  c.value = text(soup_cookie_get_value(sc));
  c.domain = text(soup_cookie_get_domain(sc));
  c.path = text(soup_cookie_get_path(sc));
  if (GDateTime* expires = soup_cookie_get_expires(sc)) {
    c.expires = static_cast<double>(g_date_time_to_unix(expires));
  }
  c.secure = soup_cookie_get_secure(sc);
  c.http_only = soup_cookie_get_http_only(sc);
  switch (soup_cookie_get_same_site_policy(sc)) {
    case SOUP_SAME_SITE_POLICY_LAX:
      c.same_site = SameSite::Lax;
      break;
    case SOUP_SAME_SITE_POLICY_STRICT:
      c.same_site = SameSite::Strict;
      break;
    default:
      c.same_site = SameSite::None;
  }
  return c;
}

SoupSameSitePolicy soup_policy(SameSite s) {
  switch (s) {
    case SameSite::Lax:
      return SOUP_SAME_SITE_POLICY_LAX;
    case SameSite::Strict:
      return SOUP_SAME_SITE_POLICY_STRICT;
    case SameSite::None:
      break;
  }
  return SOUP_SAME_SITE_POLICY_NONE;
}

SoupCookie* to_soup(const Cookie& c) {
  // A max age of -1 makes a session cookie.
  SoupCookie* sc =
      soup_cookie_new(c.name.c_str(), c.value.c_str(), c.domain.c_str(), c.path.c_str(), -1);
  if (c.expires) {
    // The store keeps whole seconds.
    GDateTime* expires = g_date_time_new_from_unix_utc(static_cast<gint64>(*c.expires));
    soup_cookie_set_expires(sc, expires);
    g_date_time_unref(expires);
  }
  soup_cookie_set_secure(sc, c.secure);
  soup_cookie_set_http_only(sc, c.http_only);
  soup_cookie_set_same_site_policy(sc, soup_policy(c.same_site));
  return sc;
}

using CookieList = std::unique_ptr<GList, void (*)(GList*)>;

void free_cookies(GList* list) {
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
}

// The whole store, in its own order; an error reads as an empty store.
CookieList all_cookies_finish(GAsyncResult* result) {
  GList* list = webkit_cookie_manager_get_all_cookies_finish(cookie_manager(), result, nullptr);
  return CookieList(list, free_cookies);
}

uint64_t ticket_of(gpointer data) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data));
}

gpointer as_data(uint64_t ticket) {
  return reinterpret_cast<gpointer>(static_cast<uintptr_t>(ticket));
}

void on_all_cookies(GObject*, GAsyncResult* result, gpointer data) {
  CookieList list = all_cookies_finish(result);
  std::vector<Cookie> cookies;
  for (GList* l = list.get(); l; l = l->next)
    cookies.push_back(from_soup(static_cast<SoupCookie*>(l->data)));
  service_replies().answer(ticket_of(data), cookies_reply(cookies));
}

void on_cookie_added(GObject*, GAsyncResult* result, gpointer data) {
  bool stored = webkit_cookie_manager_add_cookie_finish(cookie_manager(), result, nullptr);
  service_replies().answer(ticket_of(data), stored ? "{\"ok\":true}" : kInvalid);
}

// One "delete": answered by the last deletion to complete.
struct Deletion {
  uint64_t ticket = 0;
  std::vector<std::string> key;  // name, domain, path
  size_t matches = 0;
  size_t outstanding = 0;
};

void on_cookie_deleted(GObject*, GAsyncResult* result, gpointer data) {
  auto* d = static_cast<Deletion*>(data);
  webkit_cookie_manager_delete_cookie_finish(cookie_manager(), result, nullptr);
  if (--d->outstanding > 0) return;
  service_replies().answer(d->ticket, cookies_removed_reply(d->matches));
  delete d;
}

void on_cookies_to_delete(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Deletion> d(static_cast<Deletion*>(data));
  CookieList list = all_cookies_finish(result);
  std::vector<SoupCookie*> doomed;
  for (GList* l = list.get(); l; l = l->next) {
    auto* sc = static_cast<SoupCookie*>(l->data);
    if (cookie_is_named(from_soup(sc), d->key)) doomed.push_back(sc);
  }
  if (doomed.empty()) {
    service_replies().answer(d->ticket, cookies_removed_reply(0));
    return;
  }
  d->matches = d->outstanding = doomed.size();
  Deletion* shared = d.release();
  for (SoupCookie* sc : doomed)
    webkit_cookie_manager_delete_cookie(cookie_manager(), sc, nullptr, on_cookie_deleted, shared);
}

}  // namespace

void do_cookies(webview_t, std::unique_ptr<CookieReq> req) {
  CookieCommand cmd = cookie_command(req->rest);
  if (cmd.op == CookieOp::Bad) {
    send_reply(req->id, "{\"ok\":false,\"error\":\"bad cookies op\"}");
    return;
  }
  std::optional<Cookie> cookie;
  if (cmd.op == CookieOp::Set) {
    cookie = cookie_to_set(cmd.args);
    if (!cookie) {
      send_reply(req->id, kInvalid);
      return;
    }
  }
  uint64_t ticket = service_replies().open(req->id, kQuitting);
  WebKitCookieManager* manager = cookie_manager();
  if (cmd.op == CookieOp::Get) {
    webkit_cookie_manager_get_all_cookies(manager, nullptr, on_all_cookies, as_data(ticket));
  } else if (cmd.op == CookieOp::Set) {
    SoupCookie* sc = to_soup(*cookie);
    webkit_cookie_manager_add_cookie(manager, sc, nullptr, on_cookie_added, as_data(ticket));
    soup_cookie_free(sc);
  } else {
    auto* d = new Deletion{ticket, {cmd.args[0], cmd.args[1], cmd.args[2]}};
    webkit_cookie_manager_get_all_cookies(manager, nullptr, on_cookies_to_delete, d);
  }
}
