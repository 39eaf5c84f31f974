#include "services/json_read.h"

#include <cstdint>

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, uint32_t cp) {
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

class Cursor {
 public:
  explicit Cursor(std::string_view text) : s_(text) {}

  void skip_blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  char peek() {
    skip_blanks();
    return i_ < s_.size() ? s_[i_] : '\0';
  }
  bool eat(char c) {
    if (peek() != c) return false;
    ++i_;
    return true;
  }
  bool at_end() {
    skip_blanks();
    return i_ == s_.size();
  }

  // A string literal; its decoded text goes to out when out is given.
  bool string(std::string* out) {
    if (!eat('"')) return false;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        if (out) *out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      uint32_t cp = 0;
      switch (e) {
        case '"':
        case '\\':
        case '/':
          cp = static_cast<unsigned char>(e);
          break;
        case 'b':
          cp = '\b';
          break;
        case 'f':
          cp = '\f';
          break;
        case 'n':
          cp = '\n';
          break;
        case 'r':
          cp = '\r';
          break;
        case 't':
          cp = '\t';
          break;
        case 'u':
          if (!hex4(cp)) return false;
          // A high surrogate followed by a low one is one code point; a lone one is U+FFFD.
          if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(i_, 2) == "\\u") {
            size_t back = i_;
            i_ += 2;
            uint32_t low = 0;
            if (!hex4(low)) return false;
            if (low >= 0xDC00 && low < 0xE000) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else {
              i_ = back;
              cp = 0xFFFD;
            }
          } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
          }
          break;
        default:
          return false;
      }
      if (out) append_utf8(*out, cp);
    }
    return false;
  }

  // Any value. Scalars are kept in out; containers are validated and skipped.
  bool value(JsonScalar& out) {
    char c = peek();
    if (c == '[' || c == '{') {
      out.kind = JsonScalar::Kind::Container;
      return container();
    }
    return scalar(&out);
  }

 private:
  bool hex4(uint32_t& cp) {
    if (s_.size() - i_ < 4) return false;
    cp = 0;
    for (int k = 0; k < 4; ++k) {
      int v = hex_value(s_[i_++]);
      if (v < 0) return false;
      cp = cp * 16 + static_cast<uint32_t>(v);
    }
    return true;
  }

  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  bool digits() {
    size_t start = i_;
    while (i_ < s_.size() && is_digit(s_[i_]))
      ++i_;
    return i_ > start;
  }

  bool number() {
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ < s_.size() && s_[i_] == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      if (!digits()) return false;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    return true;
  }

  bool scalar(JsonScalar* out) {
    JsonScalar ignored;
    JsonScalar& v = out ? *out : ignored;
    v.text.clear();
    switch (peek()) {
      case '"':
        v.kind = JsonScalar::Kind::String;
        return string(out ? &v.text : nullptr);
      case 't':
        v.kind = JsonScalar::Kind::True;
        return literal("true");
      case 'f':
        v.kind = JsonScalar::Kind::False;
        return literal("false");
      case 'n':
        v.kind = JsonScalar::Kind::Null;
        return literal("null");
      default:
        v.kind = JsonScalar::Kind::Number;
        return number();
    }
  }

  // The key and colon of an object member.
  bool member_head() { return string(nullptr) && eat(':'); }

  // An array or object at the cursor, with everything inside it, kept on a stack of its
  // closing brackets instead of the call stack.
  bool container() {
    std::string closers;
    for (;;) {
      // At the start of a value.
      char c = peek();
      bool closed = false;
      if (c == '[' || c == '{') {
        if (closers.size() >= kJsonMaxDepth) return false;
        ++i_;
        closers += c == '[' ? ']' : '}';
        if (eat(closers.back())) {
          closers.pop_back();
          closed = true;
        } else if (closers.back() == '}' && !member_head()) {
          return false;
        }
        if (!closed) continue;
      } else if (!scalar(nullptr)) {
        return false;
      }
      // After a value: a comma leads to the next value, a bracket closes its container.
      for (;;) {
        if (closers.empty()) return true;
        if (eat(',')) {
          if (closers.back() == '}' && !member_head()) return false;
          break;
        }
        if (!eat(closers.back())) return false;
        closers.pop_back();
      }
    }
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::optional<std::vector<std::optional<JsonFlatObject>>> json_array_of_objects(
    std::string_view text) {
  Cursor c(text);
  if (!c.eat('[')) return std::nullopt;
  std::vector<std::optional<JsonFlatObject>> out;
  if (!c.eat(']')) {
    do {
      if (c.peek() != '{') {
        JsonScalar skipped;
        if (!c.value(skipped)) return std::nullopt;
        out.emplace_back();
        continue;
      }
      c.eat('{');
      JsonFlatObject members;
      if (!c.eat('}')) {
        do {
          std::string key;
          JsonScalar value;
          if (!c.string(&key) || !c.eat(':') || !c.value(value)) return std::nullopt;
          members[std::move(key)] = std::move(value);
        } while (c.eat(','));
        if (!c.eat('}')) return std::nullopt;
      }
      out.emplace_back(std::move(members));
    } while (c.eat(','));
    if (!c.eat(']')) return std::nullopt;
  }
  if (!c.at_end()) return std::nullopt;
  return out;
}
