// The client script that defines the kelo page API, embedded from bridge/kelo_client.js.
#pragma once

extern const char* const KELO_CLIENT_JS;
