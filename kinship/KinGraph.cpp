#include "kinship/KinGraph.h"

namespace mindrel {

std::span<const std::uint32_t> TKinGraph::FamilyPartners(std::int32_t familyCode) const {
  const std::uint32_t family = families_.Find(familyCode);
  if (family == kNone) return {};
  return familyPartners_.Of(family);
}

}  // namespace mindrel
