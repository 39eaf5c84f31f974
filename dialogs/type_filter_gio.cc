#include "dialogs/type_filter_gio.h"

#include <gio/gio.h>

#include <algorithm>

#include "platform/gobj.h"

std::vector<std::string> mime_types_for(const std::vector<std::string>& extensions) {
  std::vector<std::string> types;
  for (const std::string& ext : extensions) {
    GCharPtr type(g_content_type_guess(("file." + ext).c_str(), nullptr, 0, nullptr));
    if (!type || g_content_type_is_unknown(type.get())) continue;
    GCharPtr mime(g_content_type_get_mime_type(type.get()));
    if (mime && std::find(types.begin(), types.end(), mime.get()) == types.end()) {
      types.emplace_back(mime.get());
    }
  }
  return types;
}
