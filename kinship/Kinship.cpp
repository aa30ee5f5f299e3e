#include "kinship/Kinship.h"

namespace mindrel {

std::uint64_t TKinship::Steps() const {
  const std::uint64_t blood = std::uint64_t{Up} + Down;
  switch (Path) {
    case TPath::None:
      return 0;
    case TPath::Blood:
      return blood;
    case TPath::RelativesSpouse:
      return blood + 1;
    case TPath::StepDescendant:
      return blood + 1 + MarriedDown;
    case TPath::SpousesRelative:
      return std::uint64_t{Up} + 1 + MarriedUp + MarriedDown;
  }
  return 0;
}

}  // namespace mindrel
