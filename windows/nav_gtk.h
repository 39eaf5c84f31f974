// Navigation policy, navigation events, popups and downloads of the launcher's web views.
#pragma once

#include <memory>
#include <string>

#include "platform/main_loop.h"
#include "windows/questions.h"
#include "wire/main_queue.h"
#include "wire/requests.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitNavigationAction WebKitNavigationAction;
typedef struct _GtkWidget GtkWidget;

// The decision, progress, crash and window-request signals of one web view (every web view of
// the launcher gets them); the first call also starts watching the downloads of all of them.
void kelo_apply_web_delegates(WebKitWebView* view);

void do_navr(webview_t w, std::unique_ptr<NavrReq> req);
void do_popupr(webview_t w, std::unique_ptr<PopuprReq> req);

// Shared by the navigation, popup and download glue.
bool kelo_backend_connected();
// Opens a URL with the desktop's default handler for it.
void kelo_open_external(const std::string& url);
// A link that asks for a new window: no window is made; the popup question decides between
// opening it with the desktop and nothing.
void kelo_popup_for_link(WebKitWebView* opener, const std::string& url);
// The engine's request for a new web view (window.open): a popup window in "window" mode,
// else none.
GtkWidget* kelo_create_popup(WebKitWebView* opener, WebKitNavigationAction* action);
// Watches the downloads of every web view.
void kelo_watch_downloads();

// Settles a question with its default once its deadline has passed, unless it is settled by
// then.
template <class Answer>
void settle_at_deadline(PendingQuestions<Answer>& table, const std::string& id, Answer fallback) {
  kelo_run_after(kQuestionDeadlineMs, [&table, id, fallback] { table.resolve(id, fallback); });
}
