// Builds a family tree from arbitrary links and tells every person's
// relationship to a home person. Any crash, hang or sanitizer report is a
// finding, and so is a broken promise: the home person is "you", a related
// person has a term and an unrelated one none, and a person's path is never
// longer than three stretches of distinct people and one spouse step.
//
// Input: the home person's code, then records of two bytes each: the kind
// (low two bits: person, partner, child, parent named on the record; bits
// 2-3: the sex of a person) with a family code (high four bits), and a
// person code. Codes are small, so links meet and repeat.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kinship/HomeKinship.h"
#include "kinship/KinGraphBuilder.h"
#include "kinship/KinshipSearch.h"
#include "kinship/KinshipTerms.h"

namespace {

using namespace mindrel;

void Check(bool promise) {
  if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  TKinGraphBuilder builder;
  const std::int32_t home = data[0] % 64;
  builder.AddPerson(home, TSex::Unknown);
  for (size_t at = 1; at + 1 < size; at += 2) {
    const std::int32_t family = data[at] >> 4;
    const std::int32_t person = data[at + 1] % 64;
    switch (data[at] & 3) {
      case 0:
        builder.AddPerson(person, static_cast<TSex>((data[at] >> 2) % 3));
        break;
      case 1:
        builder.AddPartner(family, person);
        break;
      case 2:
        builder.AddChild(family, person);
        break;
      default:
        builder.AddParent(person, family * 4);
        break;
    }
  }
  const TKinGraph graph = builder.Build();
  const std::uint32_t homeIndex = graph.PersonIndex(home);
  Check(homeIndex != TKinGraph::kNone);
  const std::vector<TKinship> kinships = TKinshipSearch::From(graph, homeIndex);
  Check(kinships.size() == graph.PersonCount());
  Check(kinships[homeIndex].Self());
  for (std::uint32_t person = 0; person < graph.PersonCount(); ++person) {
    const std::string term = TKinshipTerms::Term(kinships[person], graph.Sex(person));
    Check(term.empty() == !kinships[person].Related());
    Check(kinships[person].Steps() <= 3 * std::uint64_t{graph.PersonCount()} + 1);
  }
  const THomeKinship home_kinship(graph, homeIndex);
  for (std::int32_t family = 0; family < 16; ++family) {
    home_kinship.FamilyPhrase(family, [&](std::int32_t code) { return graph.Sex(graph.PersonIndex(code)); });
    home_kinship.FamilyWithin(family, TFamilyLimit::BloodRelatives, 3);
  }
  return 0;
}
