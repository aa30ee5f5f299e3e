#pragma once

// The named parameters of a query's SQL text (":name"), collected when the
// text changes; values are texts, NULL while unset.

#include <optional>
#include <string>
#include <vector>

#include "engine/core/FieldTypes.h"

namespace keel {

struct TKeelParam {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  std::optional<std::string> Value;
};

class TKeelParams {
 public:
  size_t Count() const { return params_.size(); }
  TKeelParam& operator[](size_t i) { return params_.at(i); }
  const TKeelParam& operator[](size_t i) const { return params_.at(i); }
  // By name without regard to case; null when none.
  TKeelParam* FindParam(const std::string& name);
  // "Parameter '%s' not found" when none.
  TKeelParam& ParamByName(const std::string& name);
  // One parameter per distinct name, in order; a name kept from before keeps
  // its type and value.
  void Rebuild(const std::vector<std::string>& names);

 private:
  std::vector<TKeelParam> params_;
};

}  // namespace keel
