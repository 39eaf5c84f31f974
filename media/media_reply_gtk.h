// Ending a kelo-media request: a response with status, headers and body, or an error.
#pragma once

#include <webkit2/webkit2.h>

#include <cstdint>

#include "media/media_request.h"
#include "media/media_response.h"

// body yields the response's body; length is its size, -1 when unknown.
void media_respond(WebKitURISchemeRequest* request, GInputStream* body, int64_t length, int status,
                   const MediaHeaders& headers);

// Ends the request with the media scheme's error of domain "kelojs".
void media_fail(WebKitURISchemeRequest* request, MediaError error);

// Ends the request with a system error (an errno value).
void media_fail_errno(WebKitURISchemeRequest* request, int err);
