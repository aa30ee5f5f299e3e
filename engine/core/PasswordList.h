#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/core/Password.h"

namespace keel {

// The table passwords known to one session, in the order they were added.
// Open tables hold a shared pointer to their password, so removing it from the
// session does not pull the cipher from under a table that is still open.
class TPasswordList {
public:
  using PasswordPtr = std::shared_ptr<const TDataPassword>;
  // Asked when no known password opens `tableName`; it may add one and returns
  // true to have the search repeated, false to give up.
  using PasswordNeeded = std::function<bool(std::string_view tableName)>;

  static constexpr std::size_t kMaxNewTableLength = 128;

  // Ignored when an equal text (compared with case) is already known.
  void add(std::string_view text);
  void remove(std::string_view text);
  void removeAll();
  bool contains(std::string_view text) const;
  std::size_t size() const { return passwords_.size(); }

  void setPasswordNeeded(PasswordNeeded callback) { passwordNeeded_ = std::move(callback); }

  // The first known password, in the order added, whose cipher turns
  // `storedCheck` (data header offset 173) back into its digest. With no
  // match the password-needed callback may supply one; in the end 10498.
  PasswordPtr findForTable(std::string_view tableName, std::span<const std::uint8_t, 16> storedCheck);

  // The password for creating an encrypted table: non-empty after trimming
  // and at most 128 characters, else 10015. Added to the session when missing.
  PasswordPtr forNewTable(std::string_view tableName, std::string_view text);

private:
  PasswordPtr find(std::string_view text) const;
  PasswordPtr firstAccepting(std::span<const std::uint8_t, 16> storedCheck) const;

  std::vector<PasswordPtr> passwords_;
  PasswordNeeded passwordNeeded_;
};

}  // namespace keel
