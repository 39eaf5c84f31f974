// The app's entry for docks and panels that follow com.canonical.Unity.LauncherEntry on the
// session bus: badge count, progress and urgency.
#pragma once

#include <cstdint>
#include <optional>

struct LauncherEntry {
  std::optional<int64_t> count;  // shown when set
  double progress = -1;          // shown when 0 or more; above 1 counts as 1
  bool urgent = false;
};

// Announces the entry's new state. The first call connects to the session bus (asynchronously)
// and exports the entry, whose Query method answers the latest state; without a session bus
// the state is kept and nothing is sent.
void launcher_entry_publish(const LauncherEntry& entry);
