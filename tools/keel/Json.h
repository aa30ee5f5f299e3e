#pragma once

// A small JSON value with a strict reader and a compact writer, enough for the
// keel tool's schemas, rows and reports. Numbers keep their text so that 64-bit
// integers pass through exactly; object members keep their order.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mindrel {

class EJsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TJsonValue {
 public:
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  using Member = std::pair<std::string, TJsonValue>;

  TJsonValue() = default;
  static TJsonValue Boolean(bool value);
  static TJsonValue Number(std::string text);
  static TJsonValue Number(int64_t value) { return Number(std::to_string(value)); }
  static TJsonValue NumberOf(double value);
  static TJsonValue String(std::string text);
  static TJsonValue Array(std::vector<TJsonValue> items = {});
  static TJsonValue Object(std::vector<Member> members = {});

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool boolean() const { return boolean_; }
  const std::string& text() const { return text_; }  // string value or number text
  const std::vector<TJsonValue>& items() const { return items_; }
  const std::vector<Member>& members() const { return members_; }
  // The member of that name, or null when absent.
  const TJsonValue* find(std::string_view name) const;

  void push(TJsonValue item) { items_.push_back(std::move(item)); }
  void add(std::string name, TJsonValue value) { members_.emplace_back(std::move(name), std::move(value)); }

  // Whole text must be one value (surrounding blanks allowed); EJsonError
  // with the offset otherwise.
  static TJsonValue Parse(std::string_view text);
  std::string write() const;

  // Number as an integer; nullopt when it has a fraction, an exponent or is
  // out of range.
  std::optional<int64_t> asInteger() const;
  std::optional<double> asDouble() const;

 private:
  Kind kind_ = Kind::Null;
  bool boolean_ = false;
  std::string text_;
  std::vector<TJsonValue> items_;
  std::vector<Member> members_;
};

}  // namespace mindrel
