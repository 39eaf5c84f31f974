#include "wire/json_read.h"

#include <locale.h>
#include <stdlib.h>

#include <cfloat>
#include <cmath>

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool document(JsonValue& out) {
    if (!value(out, 0)) return false;
    blanks();
    return pos_ == s_.size();
  }

 private:
  void blanks() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool take(char c) {
    blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }

  bool value(JsonValue& out, int depth) {
    if (depth >= kJsonMaxDepth) return false;
    blanks();
    if (pos_ >= s_.size()) return false;
    switch (s_[pos_]) {
      case '{':
        out.type = JsonValue::Type::Object;
        return object(out, depth);
      case '[':
        out.type = JsonValue::Type::Array;
        return array(out, depth);
      case '"':
        out.type = JsonValue::Type::String;
        return string(out.text);
      case 't':
        out.type = JsonValue::Type::Bool;
        out.boolean = true;
        return word("true");
      case 'f':
        out.type = JsonValue::Type::Bool;
        return word("false");
      case 'n':
        return word("null");
      default:
        out.type = JsonValue::Type::Number;
        return number(out.number);
    }
  }

  bool object(JsonValue& out, int depth) {
    ++pos_;
    if (take('}')) return true;
    do {
      std::string key;
      blanks();
      if (pos_ >= s_.size() || s_[pos_] != '"' || !string(key) || !take(':')) return false;
      JsonValue member;
      if (!value(member, depth + 1)) return false;
      out.members.insert_or_assign(std::move(key), std::move(member));
    } while (take(','));
    return take('}');
  }

  bool array(JsonValue& out, int depth) {
    ++pos_;
    if (take(']')) return true;
    do {
      out.items.emplace_back();
      if (!value(out.items.back(), depth + 1)) return false;
    } while (take(','));
    return take(']');
  }

  // JSON's number grammar, read without the process locale.
  bool number(double& out) {
    size_t start = pos_;
    auto digits = [&] {
      size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
        ++pos_;
      return pos_ > from;
    };
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (!digits()) {
      return false;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digits()) return false;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) return false;
    }
    // strtod in the C locale: out-of-range values become 0 or the largest double.
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    out = strtod_l(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr, c_locale);
    if (std::isinf(out)) out = std::copysign(DBL_MAX, out);
    return true;
  }

  bool hex4(unsigned& out) {
    if (s_.size() - pos_ < 4) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        out |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        out |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  static void put_utf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  // A \u escape; a lone surrogate becomes U+FFFD.
  bool unicode_escape(std::string& out) {
    unsigned cp = 0;
    if (!hex4(cp)) return false;
    if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(pos_, 2) == "\\u") {
      size_t back = pos_;
      pos_ += 2;
      unsigned low = 0;
      if (!hex4(low)) return false;
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      } else {
        pos_ = back;
      }
    }
    if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
    put_utf8(out, cp);
    return true;
  }

  bool string(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      switch (char e = s_[pos_++]) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u':
          if (!unicode_escape(out)) return false;
          break;
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& key, Type want) const {
  auto it = members.find(key);
  return it != members.end() && it->second.type == want ? &it->second : nullptr;
}

std::optional<JsonValue> json_read(std::string_view text) {
  JsonValue v;
  if (!Reader(text).document(v)) return std::nullopt;
  return v;
}
