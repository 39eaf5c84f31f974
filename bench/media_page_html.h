// The media bench's page, embedded from bench/pages/media.html.
#pragma once

extern const char* const MEDIA_PAGE_HTML;
