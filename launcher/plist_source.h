// Read access to the bundle's Info.plist.
#pragma once

#include <memory>
#include <string>

#include "launcher/settings.h"

class PlistFile {
 public:
  // An XML or binary property list; a missing or unreadable file reads as an empty one.
  explicit PlistFile(const std::string& path);
  ~PlistFile();
  PlistFile(const PlistFile&) = delete;
  PlistFile& operator=(const PlistFile&) = delete;

  PlistValue get(const char* key) const;

 private:
  void* root_ = nullptr;  // plist_t
};
