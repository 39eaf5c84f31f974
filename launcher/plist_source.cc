#include "launcher/plist_source.h"

#include <plist/plist.h>

#include <fstream>
#include <iterator>

PlistFile::PlistFile(const std::string& path) {
  if (path.empty()) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.empty()) return;
  plist_t root = nullptr;
  if (plist_is_binary(data.data(), static_cast<uint32_t>(data.size()))) {
    plist_from_bin(data.data(), static_cast<uint32_t>(data.size()), &root);
  } else {
    plist_from_xml(data.data(), static_cast<uint32_t>(data.size()), &root);
  }
  if (root && plist_get_node_type(root) != PLIST_DICT) {
    plist_free(root);
    root = nullptr;
  }
  root_ = root;
}

PlistFile::~PlistFile() {
  if (root_) plist_free(static_cast<plist_t>(root_));
}

PlistValue PlistFile::get(const char* key) const {
  PlistValue v;
  if (!root_) return v;
  plist_t node = plist_dict_get_item(static_cast<plist_t>(root_), key);
  if (!node) return v;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      v.kind = PlistValue::Kind::Bool;
      v.b = b != 0;
      break;
    }
    case PLIST_UINT: {
      uint64_t i = 0;
      plist_get_uint_val(node, &i);
      v.kind = PlistValue::Kind::Integer;
      v.i = static_cast<int64_t>(i);
      break;
    }
    case PLIST_REAL: {
      v.kind = PlistValue::Kind::Real;
      plist_get_real_val(node, &v.r);
      break;
    }
    case PLIST_STRING: {
      char* s = nullptr;
      plist_get_string_val(node, &s);
      v.kind = PlistValue::Kind::String;
      if (s) v.s = s;
      free(s);
      break;
    }
    default:
      v.kind = PlistValue::Kind::Other;
  }
  return v;
}
