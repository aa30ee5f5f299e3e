#include "kinship/KinGraphBuilder.h"

#include <array>

namespace mindrel {

namespace {

// A family is a couple; more partner links than that are bad data.
constexpr std::size_t kPartnersPerFamily = 2;

}  // namespace

void TKinGraphBuilder::AddPerson(std::int32_t code, TSex sex) {
  codes_.push_back(code);
  sexes_.push_back(sex);
}

std::uint32_t TKinGraphBuilder::Person(TKinGraph& graph, std::int32_t code) {
  const std::uint32_t person = graph.people_.Find(code);
  if (person == TKinGraph::kNone) ++graph.problems_.MissingPeople;
  return person;
}

TKinGraph TKinGraphBuilder::Build() {
  if (peopleFromLinks_) {
    for (const std::vector<Link>* links : {&partners_, &children_}) {
      for (const Link& link : *links) AddPerson(link.second, TSex::Unknown);
    }
    for (const Link& link : parents_) {
      AddPerson(link.first, TSex::Unknown);
      AddPerson(link.second, TSex::Unknown);
    }
  }
  TKinGraph graph;
  graph.people_ = TCodeIndex(codes_);
  // People named by many links are no repeated codes.
  graph.problems_.RepeatedCodes = peopleFromLinks_ ? 0 : graph.people_.Repeats();
  graph.problems_.MissingPeople = missingLinks_;
  const std::uint32_t people = graph.people_.Size();
  // Numbers go to codes in the order of their first appearance, so the
  // first record of a repeated code is the one kept.
  graph.sexes_.assign(people, TSex::Unknown);
  for (std::uint32_t i = 0, next = 0; i < codes_.size() && next < people; ++i) {
    if (graph.people_.Find(codes_[i]) == next) graph.sexes_[next++] = sexes_[i];
  }
  BuildFamilies(graph);
  const std::vector<Edge> parentEdges = ParentEdges(graph);
  graph.parents_ = TAdjacency(people, parentEdges);
  std::vector<Edge> childEdges;
  childEdges.reserve(parentEdges.size());
  for (const auto& [child, parent] : parentEdges) childEdges.push_back({parent, child});
  graph.children_ = TAdjacency(people, childEdges);
  graph.spouses_ = TAdjacency(people, SpouseEdges(graph));
  graph.problems_.ParentCycle = HasParentCycle(people, graph.parents_, graph.children_);
  return graph;
}

void TKinGraphBuilder::BuildFamilies(TKinGraph& graph) {
  std::vector<std::int32_t> familyCodes;
  familyCodes.reserve(partners_.size() + children_.size());
  for (const Link& link : partners_) familyCodes.push_back(link.first);
  for (const Link& link : children_) familyCodes.push_back(link.first);
  graph.families_ = TCodeIndex(familyCodes);
  const std::uint32_t families = graph.families_.Size();

  // The first two partners of each family, a partner linked twice once.
  std::vector<std::array<std::uint32_t, kPartnersPerFamily>> couple(families, {TKinGraph::kNone, TKinGraph::kNone});
  std::vector<Edge> pairs;
  pairs.reserve(partners_.size());
  for (const auto& [familyCode, personCode] : partners_) {
    const std::uint32_t person = Person(graph, personCode);
    if (person == TKinGraph::kNone) continue;
    auto& partners = couple[graph.families_.Find(familyCode)];
    if (partners[0] == person || partners[1] == person) continue;
    if (partners[1] != TKinGraph::kNone) {
      ++graph.problems_.ExtraPartners;
      continue;
    }
    partners[partners[0] == TKinGraph::kNone ? 0 : 1] = person;
    pairs.push_back({graph.families_.Find(familyCode), person});
  }
  graph.familyPartners_ = TAdjacency(families, pairs);
}

std::vector<TKinGraphBuilder::Edge> TKinGraphBuilder::ParentEdges(TKinGraph& graph) {
  std::vector<Edge> edges;
  edges.reserve(children_.size() * kPartnersPerFamily + parents_.size());
  auto add = [&](std::uint32_t child, std::uint32_t parent) {
    if (child == parent) {
      ++graph.problems_.OwnParents;
    } else {
      edges.push_back({child, parent});
    }
  };
  for (const auto& [familyCode, childCode] : children_) {
    const std::uint32_t child = Person(graph, childCode);
    if (child == TKinGraph::kNone) continue;
    for (const std::uint32_t parent : graph.familyPartners_.Of(graph.families_.Find(familyCode))) add(child, parent);
  }
  for (const auto& [childCode, parentCode] : parents_) {
    const std::uint32_t child = Person(graph, childCode);
    const std::uint32_t parent = Person(graph, parentCode);
    if (child != TKinGraph::kNone && parent != TKinGraph::kNone) add(child, parent);
  }
  return edges;
}

std::vector<TKinGraphBuilder::Edge> TKinGraphBuilder::SpouseEdges(const TKinGraph& graph) const {
  std::vector<Edge> edges;
  for (std::uint32_t family = 0; family < graph.families_.Size(); ++family) {
    const auto partners = graph.familyPartners_.Of(family);
    if (partners.size() < kPartnersPerFamily) continue;
    edges.push_back({partners[0], partners[1]});
    edges.push_back({partners[1], partners[0]});
  }
  return edges;
}

// Takes away, again and again, the people none of whose parents are left:
// whoever remains is their own ancestor or descends from someone who is.
bool TKinGraphBuilder::HasParentCycle(std::uint32_t people, const TAdjacency& parents, const TAdjacency& children) {
  std::vector<std::uint32_t> parentsLeft(people);
  std::vector<std::uint32_t> ready;
  for (std::uint32_t person = 0; person < people; ++person) {
    parentsLeft[person] = static_cast<std::uint32_t>(parents.Of(person).size());
    if (parentsLeft[person] == 0) ready.push_back(person);
  }
  std::uint32_t taken = 0;
  while (!ready.empty()) {
    const std::uint32_t person = ready.back();
    ready.pop_back();
    ++taken;
    for (const std::uint32_t child : children.Of(person)) {
      if (--parentsLeft[child] == 0) ready.push_back(child);
    }
  }
  return taken < people;
}

}  // namespace mindrel
