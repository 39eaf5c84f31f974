// A stream that hands on another stream's data to a web view's page no faster than the page
// takes it in (see media_pacing.h).
#pragma once

#include <gio/gio.h>
#include <webkit2/webkit2.h>

// Takes a reference of its own to base; the view is only watched.
GInputStream* kelo_paced_stream_new(GInputStream* base, WebKitWebView* view);
