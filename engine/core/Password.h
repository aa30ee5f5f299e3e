#pragma once

#include <string>
#include <string_view>

#include "engine/core/Md5.h"
#include "engine/core/TableCipher.h"

namespace keel {

// One table password known to a session: its text, the MD5 digest of the text
// (its characters as single bytes, no terminator) and the cipher keyed with
// that digest.
class TDataPassword {
public:
  static constexpr std::size_t kMaxLength = 255;

  // Raises 10015 for a text longer than kMaxLength.
  explicit TDataPassword(std::string_view text);

  const std::string& text() const { return text_; }
  const Md5Digest& digest() const { return cipher_.digest(); }
  const TTableCipher& cipher() const { return cipher_; }

private:
  std::string text_;
  TTableCipher cipher_;
};

}  // namespace keel
