// The kelo-media URL scheme: local files and proxied remote media for the launcher's pages.
#pragma once

// Registers the scheme on the web context every web view of the launcher uses. Call once at
// start-up, before the first web view is made.
void install_media_scheme_hook();
