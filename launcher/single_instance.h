// One running launcher per packaged app: a second start hands what it was asked to open to the
// running one and ends.
#pragma once

#include <string>
#include <vector>

// Registers the app under its bundle identifier on the session bus. When another launcher of
// the same app already runs, passes it the files and URLs (or, without any, asks it to come
// forward) and ends this process with status 0. Without a session bus the app runs on its own.
void kelo_claim_instance(const std::string& bundle_id, const std::vector<std::string>& opened);
