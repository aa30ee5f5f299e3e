#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "kinship/KinGraph.h"

namespace mindrel {

// Collects a tree's people and links as they are read, in any order, and
// makes the graph in time linear in their number. Links may name codes that
// do not exist, repeat each other or contradict the tree's shape: the graph
// keeps what makes sense and counts the rest in its problems.
class TKinGraphBuilder {
 public:
  void AddPerson(std::int32_t code, TSex sex);
  // The tree's people are not read: everyone a link names counts as a
  // person, of unknown sex, besides those added. Links to people who do not
  // exist then go unnoticed.
  void TakePeopleFromLinks() { peopleFromLinks_ = true; }
  // A partner of a family (a "P" link).
  void AddPartner(std::int32_t family, std::int32_t person) { partners_.push_back({family, person}); }
  // A child of a family (a "C" link): the family's partners are its parents.
  void AddChild(std::int32_t family, std::int32_t person) { children_.push_back({family, person}); }
  // A parent named on the child's own record.
  void AddParent(std::int32_t child, std::int32_t parent) { parents_.push_back({child, parent}); }
  // Links the source itself found pointing nowhere, to be counted with the
  // builder's own.
  void NoteMissingLinks(std::uint32_t count) { missingLinks_ += count; }

  TKinGraph Build();

 private:
  using Link = std::pair<std::int32_t, std::int32_t>;
  using Edge = TAdjacency::Pair;

  // The family numbers and partner lists; fills the graph's families.
  void BuildFamilies(TKinGraph& graph);
  std::vector<Edge> ParentEdges(TKinGraph& graph);
  std::vector<Edge> SpouseEdges(const TKinGraph& graph) const;
  static bool HasParentCycle(std::uint32_t people, const TAdjacency& parents, const TAdjacency& children);
  std::uint32_t Person(TKinGraph& graph, std::int32_t code);

  std::vector<std::int32_t> codes_;
  std::vector<TSex> sexes_;
  std::vector<Link> partners_;
  std::vector<Link> children_;
  std::vector<Link> parents_;
  std::uint32_t missingLinks_ = 0;
  bool peopleFromLinks_ = false;
};

}  // namespace mindrel
