#include "tools/keel/Json.h"

#include <charconv>
#include <cmath>

#include <unicode/utf8.h>

namespace mindrel {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  TJsonValue document() {
    TJsonValue value = parseValue(0);
    skipBlanks();
    if (at_ != text_.size()) fail("unexpected text after the value");
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  [[noreturn]] void fail(const std::string& what) const {
    throw EJsonError("invalid JSON at offset " + std::to_string(at_) + ": " + what);
  }
  void skipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool take(char c) {
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  TJsonValue parseValue(int depth) {
    if (depth > kMaxDepth) fail("nested too deeply");
    skipBlanks();
    if (at_ >= text_.size()) fail("value expected");
    const char c = text_[at_];
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') return TJsonValue::String(parseString());
    if (word("true")) return TJsonValue::Boolean(true);
    if (word("false")) return TJsonValue::Boolean(false);
    if (word("null")) return TJsonValue();
    if (c == '-' || (c >= '0' && c <= '9')) return parseNumber();
    fail("value expected");
  }

  TJsonValue parseObject(int depth) {
    expect('{');
    TJsonValue object = TJsonValue::Object();
    if (take('}')) return object;
    do {
      skipBlanks();
      if (at_ >= text_.size() || text_[at_] != '"') fail("member name expected");
      std::string name = parseString();
      if (object.find(name)) fail("duplicate member \"" + name + "\"");
      expect(':');
      object.add(std::move(name), parseValue(depth + 1));
    } while (take(','));
    expect('}');
    return object;
  }

  TJsonValue parseArray(int depth) {
    expect('[');
    TJsonValue array = TJsonValue::Array();
    if (take(']')) return array;
    do {
      array.push(parseValue(depth + 1));
    } while (take(','));
    expect(']');
    return array;
  }

  TJsonValue parseNumber() {
    const size_t start = at_;
    auto digits = [&] {
      size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      fail("digits expected");
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) fail("digits expected after '.'");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) fail("digits expected in the exponent");
    }
    return TJsonValue::Number(std::string(text_.substr(start, at_ - start)));
  }

  unsigned hex4() {
    if (at_ + 4 > text_.size()) fail("short \\u escape");
    unsigned value = 0;
    auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
    if (error != std::errc() || end != text_.data() + at_ + 4) fail("bad \\u escape");
    at_ += 4;
    return value;
  }

  std::string parseString() {
    ++at_;  // opening quote
    std::string out;
    while (true) {
      if (at_ >= text_.size()) fail("unterminated string");
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) fail("unterminated escape");
      const char e = text_[at_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code = hex4();
          if (code >= 0xD800 && code < 0xDC00) {
            if (!word("\\u")) fail("lone surrogate");
            unsigned low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) fail("bad surrogate pair");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            fail("lone surrogate");
          }
          char bytes[U8_MAX_LENGTH];
          int32_t length = 0;
          U8_APPEND_UNSAFE(bytes, length, code);
          out.append(bytes, static_cast<size_t>(length));
          break;
        }
        default: fail("unknown escape");
      }
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

void WriteString(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void Write(std::string& out, const TJsonValue& value) {
  switch (value.kind()) {
    case TJsonValue::Kind::Null: out += "null"; break;
    case TJsonValue::Kind::Boolean: out += value.boolean() ? "true" : "false"; break;
    case TJsonValue::Kind::Number: out += value.text(); break;
    case TJsonValue::Kind::String: WriteString(out, value.text()); break;
    case TJsonValue::Kind::Array: {
      out += '[';
      for (size_t i = 0; i < value.items().size(); ++i) {
        if (i > 0) out += ',';
        Write(out, value.items()[i]);
      }
      out += ']';
      break;
    }
    case TJsonValue::Kind::Object: {
      out += '{';
      for (size_t i = 0; i < value.members().size(); ++i) {
        if (i > 0) out += ',';
        WriteString(out, value.members()[i].first);
        out += ':';
        Write(out, value.members()[i].second);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

TJsonValue TJsonValue::Boolean(bool value) {
  TJsonValue v;
  v.kind_ = Kind::Boolean;
  v.boolean_ = value;
  return v;
}

TJsonValue TJsonValue::Number(std::string text) {
  TJsonValue v;
  v.kind_ = Kind::Number;
  v.text_ = std::move(text);
  return v;
}

TJsonValue TJsonValue::NumberOf(double value) {
  if (!std::isfinite(value)) return TJsonValue();
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return Number(error == std::errc() ? std::string(text, end) : "0");
}

TJsonValue TJsonValue::String(std::string text) {
  TJsonValue v;
  v.kind_ = Kind::String;
  v.text_ = std::move(text);
  return v;
}

TJsonValue TJsonValue::Array(std::vector<TJsonValue> items) {
  TJsonValue v;
  v.kind_ = Kind::Array;
  v.items_ = std::move(items);
  return v;
}

TJsonValue TJsonValue::Object(std::vector<Member> members) {
  TJsonValue v;
  v.kind_ = Kind::Object;
  v.members_ = std::move(members);
  return v;
}

const TJsonValue* TJsonValue::find(std::string_view name) const {
  for (const Member& member : members_) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

TJsonValue TJsonValue::Parse(std::string_view text) { return Reader(text).document(); }

std::string TJsonValue::write() const {
  std::string out;
  Write(out, *this);
  return out;
}

std::optional<int64_t> TJsonValue::asInteger() const {
  if (kind_ != Kind::Number) return std::nullopt;
  int64_t value = 0;
  auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
  if (error != std::errc() || end != text_.data() + text_.size()) return std::nullopt;
  return value;
}

std::optional<double> TJsonValue::asDouble() const {
  if (kind_ != Kind::Number) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
  if (error != std::errc() || end != text_.data() + text_.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace mindrel
