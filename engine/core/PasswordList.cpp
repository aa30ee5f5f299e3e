#include "engine/core/PasswordList.h"

#include <algorithm>
#include <string>

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

// Control characters and spaces count as blanks, as in the rest of the engine.
bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

void TPasswordList::add(std::string_view text) {
  if (!find(text)) passwords_.push_back(std::make_shared<const TDataPassword>(text));
}

void TPasswordList::remove(std::string_view text) {
  std::erase_if(passwords_, [text](const PasswordPtr& password) { return password->text() == text; });
}

void TPasswordList::removeAll() { passwords_.clear(); }

bool TPasswordList::contains(std::string_view text) const { return find(text) != nullptr; }

TPasswordList::PasswordPtr TPasswordList::find(std::string_view text) const {
  for (const PasswordPtr& password : passwords_) {
    if (password->text() == text) return password;
  }
  return nullptr;
}

TPasswordList::PasswordPtr TPasswordList::firstAccepting(std::span<const std::uint8_t, 16> storedCheck) const {
  for (const PasswordPtr& password : passwords_) {
    if (password->cipher().acceptsCheck(storedCheck)) return password;
  }
  return nullptr;
}

TPasswordList::PasswordPtr TPasswordList::findForTable(std::string_view tableName,
                                                       std::span<const std::uint8_t, 16> storedCheck) {
  for (;;) {
    if (PasswordPtr found = firstAccepting(storedCheck)) return found;
    if (!passwordNeeded_ || !passwordNeeded_(tableName)) {
      raise(ErrorCode::KEEL_NOTSUFFTABLERIGHTS, {.table = std::string(tableName)});
    }
  }
}

TPasswordList::PasswordPtr TPasswordList::forNewTable(std::string_view tableName, std::string_view text) {
  if (isBlank(text) || text.size() > kMaxNewTableLength) {
    raise(ErrorCode::KEEL_INVALIDPASSWORD, {.table = std::string(tableName)});
  }
  add(text);
  return find(text);
}

}  // namespace keel
