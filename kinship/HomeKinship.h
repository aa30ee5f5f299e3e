#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kinship/KinGraph.h"
#include "kinship/Kinship.h"

namespace mindrel {

// Which people the alert list shows: everyone, relatives by blood or
// marriage, or blood relatives up to a degree of kinship.
enum class TFamilyLimit : std::uint8_t { AllPeople, Relatives, BloodRelatives };

// The relationships of one tree's people and couples to its home person,
// worked out once per scan and asked for every alert.
class THomeKinship {
 public:
  // REQUIRES: home < graph.PersonCount()
  THomeKinship(TKinGraph graph, std::uint32_t home);

  // Where the people's sexes were not read, the caller knows them: the
  // alert's own row holds the person's, and a couple's partners are looked
  // up, only when one of them is related.
  using TSexOf = std::function<TSex(std::int32_t code)>;

  // "your great-grandson", "you"; empty for a person who is unrelated or
  // not in the tree.
  std::string PersonPhrase(std::int32_t code, TSex sex) const;
  // The partners' phrases, husband first as the couple's name has them, for
  // those who are related: "your son-in-law and your daughter", "you and
  // your wife".
  std::string FamilyPhrase(std::int32_t familyCode, const TSexOf& sexOf) const;

  // The person passes the limit; `degrees` bounds blood relatives.
  bool PersonWithin(std::int32_t code, TFamilyLimit limit, std::uint32_t degrees) const;
  // A couple passes when one partner does.
  bool FamilyWithin(std::int32_t familyCode, TFamilyLimit limit, std::uint32_t degrees) const;

  const TKinGraph& Graph() const { return graph_; }

 private:
  static bool Within(const TKinship& kinship, TFamilyLimit limit, std::uint32_t degrees);
  std::string Phrase(std::uint32_t person, TSex sex) const;

  TKinGraph graph_;
  std::vector<TKinship> kinships_;
};

}  // namespace mindrel
