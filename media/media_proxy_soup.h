// The media proxy: fetches an http or https resource for a page and passes it through.
#pragma once

#include <string>

typedef struct _WebKitURISchemeRequest WebKitURISchemeRequest;

// Fetches target (an http or https URL) with the request's Range and User-Agent headers and
// answers the request with what comes back, HTTP error statuses included.
void media_proxy_fetch(WebKitURISchemeRequest* request, const std::string& target);
