// The launcher's table of pending service replies, closed when the event loop stops.
#include "platform/main_loop.h"
#include "services/pending_replies.h"
#include "wire/link.h"

PendingReplies& service_replies() {
  static PendingReplies replies(send_reply);
  static const bool hooked = (kelo_on_quit([] { replies.quit(); }), true);
  (void)hooked;
  return replies;
}
