#include "engine/core/Password.h"

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

std::string_view checkedLength(std::string_view text) {
  if (text.size() > TDataPassword::kMaxLength) raise(ErrorCode::KEEL_INVALIDPASSWORD);
  return text;
}

}  // namespace

TDataPassword::TDataPassword(std::string_view text)
    : text_(checkedLength(text)), cipher_(Md5(text)) {}

}  // namespace keel
