#pragma once

#include <cstdint>

namespace mindrel {

// How one person is related to the home person: the shape of the shortest
// chain of parent, child and spouse steps from the home person to them.
struct TKinship {
  enum class TPath : std::uint8_t {
    None,             // no chain the terms have a word for: unrelated
    Blood,            // Up generations to a common ancestor, then Down
    RelativesSpouse,  // the spouse of the blood relative (Up, Down): a spouse, a stepparent, an in-law
    StepDescendant,   // MarriedDown generations below the spouse of the blood relative (Up, Down)
    SpousesRelative,  // the blood relative (MarriedUp >= 1, MarriedDown) of the spouse of the ancestor Up
  };

  TPath Path = TPath::None;
  std::uint32_t Up = 0;
  std::uint32_t Down = 0;
  std::uint32_t MarriedUp = 0;
  std::uint32_t MarriedDown = 0;
  // A blood relative through one parent of the two a full one shares.
  bool Half = false;

  bool Related() const { return Path != TPath::None; }
  bool Blood() const { return Path == TPath::Blood; }
  bool Self() const { return Blood() && Up == 0 && Down == 0; }
  // The degree of kinship of a blood relative: the generations up to the
  // common ancestor and down again (a parent 1, a sibling 2, a first cousin 4).
  std::uint32_t Degree() const { return Up + Down; }
  // The number of parent, child and spouse steps of the chain.
  std::uint64_t Steps() const;

  bool operator==(const TKinship&) const = default;
};

}  // namespace mindrel
