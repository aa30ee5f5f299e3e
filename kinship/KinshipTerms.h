#pragma once

#include <string>

#include "kinship/KinGraph.h"
#include "kinship/Kinship.h"

namespace mindrel {

// The standard English words for a relationship, in the person's own sex
// where the words differ ("great-grandson", "first cousin twice removed",
// "half-sister", "son-in-law", "stepuncle"). Generations beyond a
// great-grandparent count their greats: "2nd great-grandfather".
class TKinshipTerms {
 public:
  // Empty for an unrelated person; "you" for the home person.
  static std::string Term(const TKinship& kinship, TSex sex);
  // As the sentences say it: "your great-grandson", "you"; empty for an
  // unrelated person.
  static std::string Phrase(const TKinship& kinship, TSex sex);

 private:
  static std::string Blood(std::uint32_t up, std::uint32_t down, TSex sex);
  static std::string Ancestor(std::uint32_t generations, TSex sex);
  static std::string Descendant(std::uint32_t generations, TSex sex);
  static std::string Cousin(std::uint32_t up, std::uint32_t down);
  static std::string RelativesSpouse(const TKinship& kinship, TSex sex);
  static std::string Step(const std::string& term);
  // "", "great-", "2nd great-", "3rd great-" ...
  static std::string Greats(std::uint32_t count);
};

}  // namespace mindrel
