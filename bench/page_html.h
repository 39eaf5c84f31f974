// The bridge bench's measurement page, embedded from bench/pages/bridge.html.
#pragma once

extern const char* const BENCH_PAGE_HTML;
