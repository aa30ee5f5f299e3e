#include "engine/components/KeelParams.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"

namespace keel {

TKeelParam* TKeelParams::FindParam(const std::string& name) {
  auto found = std::find_if(params_.begin(), params_.end(), [&](const TKeelParam& p) { return SameName(p.Name, name); });
  return found == params_.end() ? nullptr : &*found;
}

TKeelParam& TKeelParams::ParamByName(const std::string& name) {
  TKeelParam* param = FindParam(name);
  if (!param) DatabaseError(db_messages::kParamNotFound, {name});
  return *param;
}

void TKeelParams::Rebuild(const std::vector<std::string>& names) {
  std::vector<TKeelParam> rebuilt;
  for (const std::string& name : names) {
    const bool seen = std::any_of(rebuilt.begin(), rebuilt.end(), [&](const TKeelParam& p) { return SameName(p.Name, name); });
    if (seen) continue;
    TKeelParam* previous = FindParam(name);
    rebuilt.push_back(previous ? *previous : TKeelParam{name, TFieldType::ftUnknown, std::nullopt});
    rebuilt.back().Name = name;
  }
  params_ = std::move(rebuilt);
}

}  // namespace keel
