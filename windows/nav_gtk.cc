// Navigation policy and navigation events on WebKitGTK.
//
// The engine does not say which frame a navigation action targets. It does say whether a
// response is the main frame's document, so main-frame navigations to web addresses are put
// to the backend when their response arrives, before anything of it is shown; subframes are
// never asked. Schemes the web view cannot show never get a response and are asked about at
// once; their question says "main", as the frame is unknown there.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "platform/window_gtk.h"
#include "windows/nav.h"
#include "windows/nav_gtk.h"
#include "windows/registry.h"
#include "wire/link.h"

namespace {

PendingQuestions<int> g_nav_pending('n');

// Set when a load failed: the engine ends a failed load with a "finished" change too, which
// is no finished navigation.
constexpr const char* kFailedKey = "kelo-load-failed";
// The URL of the last navigation that went ahead: the engine does not say whether it was the
// main frame's, so the main frame's next start takes it.
constexpr const char* kPendingUrlKey = "kelo-nav-url";
// The "start" of a main-frame load that the backend is asked about at its response waits for
// the answer: it is written when the load goes ahead and dropped when it is denied or sent to
// the desktop. Loads are numbered per view so that a late answer meets only its own load.
constexpr const char* kHeldStartKey = "kelo-nav-held-start";
constexpr const char* kLoadNumberKey = "kelo-nav-load";

struct HeldStart {
  uintptr_t load = 0;
  std::string url;
};

uintptr_t current_load(WebKitWebView* view) {
  return GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(view), kLoadNumberKey));
}

void write_nav(WebKitWebView* view, const char* kind, const std::string& url,
               const std::string& error = {});

// Writes the held start when write is true, drops it otherwise. Only the start of `load`
// (any held start for load 0).
void release_start(WebKitWebView* view, bool write, uintptr_t load = 0) {
  auto* held = static_cast<HeldStart*>(g_object_get_data(G_OBJECT(view), kHeldStartKey));
  if (!held || (load && held->load != load)) return;
  std::unique_ptr<HeldStart> taken(
      static_cast<HeldStart*>(g_object_steal_data(G_OBJECT(view), kHeldStartKey)));
  if (write) write_nav(view, "start", taken->url);
}

std::string request_uri(WebKitURIRequest* request) {
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

std::string current_uri(WebKitWebView* view) {
  const char* uri = webkit_web_view_get_uri(view);
  return uri ? uri : "";
}

// Puts a navigation to the backend. show is what an allowed navigation does with the
// decision: use it, or download what the web view cannot show.
void ask_navigation(WebKitWebView* view, WebKitPolicyDecision* decision, const std::string& url,
                    bool own_scheme, void (*show)(WebKitPolicyDecision*)) {
  auto held = GRef<WebKitPolicyDecision>::retain(decision);
  auto asker = GRef<WebKitWebView>::retain(view);
  uintptr_t load = current_load(view);
  std::string id = g_nav_pending.add([held, asker, load, url, own_scheme, show](int answer) {
    NavOutcome outcome = nav_outcome(own_scheme, answer);
    if (own_scheme) release_start(asker.get(), outcome.allow, load);
    if (outcome.open_external) kelo_open_external(url);
    if (outcome.allow) {
      show(held.get());
    } else {
      webkit_policy_decision_ignore(held.get());
    }
  });
  sock_write_line(navq_line(id, kelo_winid_for_webview(view), url, true));
  settle_at_deadline(g_nav_pending, id, own_scheme ? int{kNavAllow} : int{kNavDeny});
}

gboolean decide_navigation(WebKitWebView* view, WebKitPolicyDecision* decision) {
  auto* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  std::string url = request_uri(webkit_navigation_action_get_request(action));
  if (is_own_scheme(url)) {
    g_object_set_data_full(G_OBJECT(view), kPendingUrlKey, g_strdup(url.c_str()), g_free);
    webkit_policy_decision_use(decision);  // web addresses are asked about at their response
  } else if (nav_policy(url, true, kelo_backend_connected()) == NavPolicy::AskDeny) {
    ask_navigation(view, decision, url, false, webkit_policy_decision_use);
  } else {
    webkit_policy_decision_ignore(decision);
  }
  return TRUE;
}

gboolean decide_response(WebKitWebView* view, WebKitPolicyDecision* decision) {
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  auto show = webkit_response_policy_decision_is_mime_type_supported(response)
                  ? webkit_policy_decision_use
                  : webkit_policy_decision_download;
  std::string url = request_uri(webkit_response_policy_decision_get_request(response));
  bool main_frame = webkit_response_policy_decision_is_main_frame_main_resource(response);
  if (nav_policy(url, main_frame, kelo_backend_connected()) == NavPolicy::AskAllow) {
    ask_navigation(view, decision, url, true, show);
  } else {
    show(decision);
  }
  return TRUE;
}

gboolean on_decide_policy(WebKitWebView* view, WebKitPolicyDecision* decision,
                          WebKitPolicyDecisionType type, gpointer) {
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
      return decide_navigation(view, decision);
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
      auto* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      std::string url = request_uri(webkit_navigation_action_get_request(action));
      webkit_policy_decision_ignore(decision);
      kelo_popup_for_link(view, url);
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
      return decide_response(view, decision);
  }
  return FALSE;
}

void write_nav(WebKitWebView* view, const char* kind, const std::string& url,
               const std::string& error) {
  if (nav_event_wanted(url))
    sock_write_line(nav_event(kelo_winid_for_webview(view), kind, url, error));
}

// A popup window takes its page's title. The engine may learn the title only after the load
// has finished, so later titles count too.
void title_popup(WebKitWebView* view) {
  std::string id = kelo_winid_for_webview(view);
  const char* title = webkit_web_view_get_title(view);
  if (!id.starts_with("popup") || !title || !*title) return;
  if (GtkWindow* window = window_for_id(g_w, id)) kelo_set_window_title(window, title);
}

void on_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  switch (event) {
    case WEBKIT_LOAD_STARTED: {
      // A page's own navigation shows in the view's URL only once it commits; until then the
      // URL it asked for is the one that started.
      GCharPtr pending(static_cast<char*>(g_object_steal_data(G_OBJECT(view), kPendingUrlKey)));
      std::string url = pending ? std::string(pending.get()) : current_uri(view);
      uintptr_t load = current_load(view) + 1;
      g_object_set_data(G_OBJECT(view), kLoadNumberKey, GSIZE_TO_POINTER(load));
      release_start(view, false);  // an earlier load left before the backend had its say
      if (nav_policy(url, true, kelo_backend_connected()) == NavPolicy::AskAllow) {
        g_object_set_data_full(G_OBJECT(view), kHeldStartKey, new HeldStart{load, url},
                               [](gpointer p) { delete static_cast<HeldStart*>(p); });
      } else {
        write_nav(view, "start", url);
      }
      break;
    }
    case WEBKIT_LOAD_COMMITTED:
      release_start(view, true);  // a load that went ahead without a question
      write_nav(view, "commit", current_uri(view));
      break;
    case WEBKIT_LOAD_FINISHED:
      if (g_object_steal_data(G_OBJECT(view), kFailedKey)) break;
      title_popup(view);
      write_nav(view, "finish", current_uri(view));
      break;
    case WEBKIT_LOAD_REDIRECTED:
      break;
  }
}

// Cancelled loads and loads interrupted by a policy decision (a download, a denied answer)
// are no failures anyone needs to hear of.
bool is_noise(const GError* error) {
  return (error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_CANCELLED) ||
         (error->domain == WEBKIT_POLICY_ERROR &&
          error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

gboolean on_load_failed(WebKitWebView* view, WebKitLoadEvent, const char* failing_uri,
                        GError* error, gpointer) {
  g_object_set_data(G_OBJECT(view), kFailedKey, GINT_TO_POINTER(1));
  // A load stopped by a denied answer never started for the backend; one that failed on its
  // way did.
  release_start(view, !is_noise(error));
  if (!is_noise(error)) {
    std::string url = failing_uri && *failing_uri ? failing_uri : current_uri(view);
    write_nav(view, "fail", url, error->message ? error->message : "");
  }
  return TRUE;  // no error page: the backend decides what the user sees
}

void on_web_process_terminated(WebKitWebView* view, WebKitWebProcessTerminationReason, gpointer) {
  write_nav(view, "crash", current_uri(view));
}

void on_title(WebKitWebView* view, GParamSpec*, gpointer) {
  title_popup(view);
}

GtkWidget* on_create(WebKitWebView* opener, WebKitNavigationAction* action, gpointer) {
  return kelo_create_popup(opener, action);
}

void on_launched(GObject*, GAsyncResult* result, gpointer data) {
  GCharPtr url(static_cast<char*>(data));
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
    std::fprintf(stderr, "kelojs: cannot open %s: %s\n", url.get(), error->message);
    g_error_free(error);
  }
}

}  // namespace

bool kelo_backend_connected() {
  return g_wire.fd() >= 0;
}

void kelo_open_external(const std::string& url) {
  g_app_info_launch_default_for_uri_async(url.c_str(), nullptr, nullptr, on_launched,
                                          g_strdup(url.c_str()));
}

void kelo_apply_web_delegates(WebKitWebView* view) {
  static bool watching = false;
  if (!watching) {
    watching = true;
    kelo_watch_downloads();
  }
  g_signal_connect(view, "decide-policy", G_CALLBACK(on_decide_policy), nullptr);
  g_signal_connect(view, "load-changed", G_CALLBACK(on_load_changed), nullptr);
  g_signal_connect(view, "load-failed", G_CALLBACK(on_load_failed), nullptr);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(on_web_process_terminated), nullptr);
  g_signal_connect(view, "create", G_CALLBACK(on_create), nullptr);
  g_signal_connect(view, "notify::title", G_CALLBACK(on_title), nullptr);
}

void do_navr(webview_t, std::unique_ptr<NavrReq> req) {
  g_nav_pending.resolve(req->qid, navr_answer(req->answer));
}
