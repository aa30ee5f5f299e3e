// The search checked against a plain count on made-up trees with
// remarriages and cousin marriages: for a home person H and anyone X, the
// blood relationship is the common ancestor A (H and X themselves included)
// that makes the generations from H up to A and from A down to X fewest,
// found here by listing each one's ancestors with their generations. Nothing
// of the search is used, so a fault in it shows as a difference.

#include <gtest/gtest.h>

#include <map>
#include <queue>
#include <tuple>

#include "kinship/KinGraphBuilder.h"
#include "kinship/KinshipSearch.h"
#include "tools/mktree/TreeGenerator.h"

namespace mindrel {
namespace {

using Parents = std::map<std::int32_t, std::vector<std::int32_t>>;

Parents ParentsOf(const TFamilyTree& tree) {
  std::map<std::int32_t, std::vector<std::int32_t>> partners;
  for (const TTreeLink& link : tree.Links) {
    if (link.RecType == 'P') partners[link.ChildMarr].push_back(link.PersFam);
  }
  Parents parents;
  for (const TTreeLink& link : tree.Links) {
    if (link.RecType == 'C') {
      for (const std::int32_t parent : partners[link.ChildMarr]) parents[link.PersFam].push_back(parent);
    }
  }
  return parents;
}

// Every ancestor of the person, the person included, with the fewest
// generations up to them.
std::map<std::int32_t, std::uint32_t> Ancestors(const Parents& parents, std::int32_t person) {
  std::map<std::int32_t, std::uint32_t> generations{{person, 0}};
  std::queue<std::int32_t> next;
  next.push(person);
  while (!next.empty()) {
    const std::int32_t at = next.front();
    next.pop();
    const auto found = parents.find(at);
    if (found == parents.end()) continue;
    for (const std::int32_t parent : found->second) {
      if (generations.emplace(parent, generations[at] + 1).second) next.push(parent);
    }
  }
  return generations;
}

struct TBlood {
  std::uint32_t Up, Down;
};

// The nearest blood relationship, by the same choice among equals as the
// search: a direct ancestor first, then the lowest common ancestor.
std::optional<TBlood> NearestBlood(const std::map<std::int32_t, std::uint32_t>& home,
                                   const std::map<std::int32_t, std::uint32_t>& other) {
  std::optional<TBlood> best;
  auto key = [](const TBlood& b) { return std::make_tuple(b.Up + b.Down, b.Down == 0 ? 0 : 1, b.Up); };
  for (const auto& [ancestor, up] : home) {
    const auto down = other.find(ancestor);
    if (down == other.end()) continue;
    const TBlood candidate{up, down->second};
    if (!best || key(candidate) < key(*best)) best = candidate;
  }
  return best;
}

TEST(KinshipOracle, BloodRelationshipsAgreeWithCommonAncestorsOnMadeUpTrees) {
  for (const std::uint64_t seed : {3u, 8u}) {
    const TFamilyTree tree = TTreeGenerator({3000, seed, {2026, 12, 10}}).Generate();
    TKinGraphBuilder builder;
    for (const TTreePerson& person : tree.People) builder.AddPerson(person.Code, TSex::Unknown);
    for (const TTreeLink& link : tree.Links) {
      if (link.RecType == 'P') builder.AddPartner(link.ChildMarr, link.PersFam);
      if (link.RecType == 'C') builder.AddChild(link.ChildMarr, link.PersFam);
    }
    const TKinGraph graph = builder.Build();
    const Parents parents = ParentsOf(tree);
    std::map<std::int32_t, std::map<std::int32_t, std::uint32_t>> ancestors;
    for (const TTreePerson& person : tree.People) ancestors[person.Code] = Ancestors(parents, person.Code);

    // Homes from the youngest generations, who have the most ancestors.
    int homes = 0, blood = 0, collapsed = 0;
    for (auto person = tree.People.rbegin(); person != tree.People.rend() && homes < 6; ++person) {
      if (ancestors[person->Code].size() < 8) continue;
      ++homes;
      const std::vector<TKinship> kinships = TKinshipSearch::From(graph, graph.PersonIndex(person->Code));
      for (const TTreePerson& other : tree.People) {
        const TKinship& found = kinships[graph.PersonIndex(other.Code)];
        const std::optional<TBlood> expected = NearestBlood(ancestors[person->Code], ancestors[other.Code]);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", home " + std::to_string(person->Code) + ", person " +
                     std::to_string(other.Code));
        if (!expected) {
          EXPECT_FALSE(found.Blood());
          continue;
        }
        if (found.Blood()) {
          ++blood;
          EXPECT_EQ(found.Up, expected->Up);
          EXPECT_EQ(found.Down, expected->Down);
        } else {
          // Only a nearer relationship by marriage may stand in its place.
          EXPECT_TRUE(found.Related());
          EXPECT_LE(found.Steps(), std::uint64_t{expected->Up} + expected->Down);
        }
      }
      // Ancestors met along more than one line: someone in the home's
      // pedigree (the home included) has parents who share an ancestor.
      for (const auto& [ancestor, up] : ancestors[person->Code]) {
        const auto two = parents.find(ancestor);
        if (two == parents.end() || two->second.size() != 2) continue;
        if (NearestBlood(ancestors[two->second[0]], ancestors[two->second[1]])) {
          ++collapsed;
          break;
        }
      }
    }
    EXPECT_EQ(homes, 6) << "the made-up tree has people with many ancestors";
    EXPECT_GT(blood, 100) << "the homes have blood relatives to compare";
    EXPECT_GT(collapsed, 0) << "some home's ancestors repeat";
  }
}

}  // namespace
}  // namespace mindrel
