#pragma once

// Who is whose parent and spouse in one family tree, with people numbered
// 0 .. PersonCount()-1. Made by TKinGraphBuilder once per scan; read by the
// relationship search.

#include <cstdint>
#include <span>
#include <string_view>

#include "kinship/Adjacency.h"
#include "kinship/CodeIndex.h"

namespace mindrel {

enum class TSex : std::uint8_t { Unknown, Male, Female };

// The sex a record's letter gives ("M" or "F", either case); anything else
// is unknown.
inline TSex SexOfLetter(std::string_view letter) {
  if (letter == "M" || letter == "m") return TSex::Male;
  if (letter == "F" || letter == "f") return TSex::Female;
  return TSex::Unknown;
}

// What the builder had to leave out or found odd; each kind is named once.
struct TKinGraphProblems {
  std::uint32_t MissingPeople = 0;   // links to person codes the tree does not hold
  std::uint32_t RepeatedCodes = 0;   // people whose code another person already has
  std::uint32_t OwnParents = 0;      // people linked as their own parent
  std::uint32_t ExtraPartners = 0;   // partners beyond the couple of a family
  bool ParentCycle = false;          // someone is their own ancestor
  bool Any() const { return MissingPeople || RepeatedCodes || OwnParents || ExtraPartners || ParentCycle; }
};

class TKinGraph {
 public:
  static constexpr std::uint32_t kNone = TCodeIndex::kNone;

  std::uint32_t PersonCount() const { return people_.Size(); }
  // kNone for a code the tree does not hold.
  std::uint32_t PersonIndex(std::int32_t code) const { return people_.Find(code); }
  std::int32_t PersonCode(std::uint32_t person) const { return people_.Code(person); }
  TSex Sex(std::uint32_t person) const { return sexes_[person]; }

  std::span<const std::uint32_t> Parents(std::uint32_t person) const { return parents_.Of(person); }
  std::span<const std::uint32_t> Children(std::uint32_t person) const { return children_.Of(person); }
  std::span<const std::uint32_t> Spouses(std::uint32_t person) const { return spouses_.Of(person); }
  // The partners (at most two) of the family of that code; none for a family
  // no partner link names.
  std::span<const std::uint32_t> FamilyPartners(std::int32_t familyCode) const;

  const TKinGraphProblems& Problems() const { return problems_; }

 private:
  friend class TKinGraphBuilder;

  TCodeIndex people_;
  std::vector<TSex> sexes_;
  TAdjacency parents_;
  TAdjacency children_;
  TAdjacency spouses_;
  TCodeIndex families_;
  TAdjacency familyPartners_;
  TKinGraphProblems problems_;
};

}  // namespace mindrel
