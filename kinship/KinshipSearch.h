#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "kinship/KinGraph.h"
#include "kinship/Kinship.h"

namespace mindrel {

// The relationship of every person of a tree to one home person, found by a
// single breadth-first search over the chains the terms have words for:
// up to an ancestor and down again (blood), then perhaps one spouse step and
// down (a relative's spouse, the spouse's children) or, from an ancestor or
// the home person, one spouse step, up and down (the spouse's relatives, a
// stepparent's kin). Each person is visited at most once per stage of such a
// chain, so repeated ancestors and cycles cost nothing more; the shortest
// chain wins, blood before marriage where two are equally short.
class TKinshipSearch {
 public:
  // REQUIRES: home < graph.PersonCount()
  static std::vector<TKinship> From(const TKinGraph& graph, std::uint32_t home);

 private:
  // Where a chain stands: going up, going down, just past the spouse step,
  // down after it, up after it, down after that.
  enum Stage : std::uint8_t { kUp, kDown, kSpouse, kSpouseDown, kSpouseUp, kSpouseUpDown, kStages };

  struct TStep {
    std::uint32_t Person;
    Stage At;
    // Whether the branch below a single common ancestor shows another
    // parent on both sides (the mark of a half relation).
    bool HalfEvidence;
    std::uint32_t Up, Down, MarriedUp, MarriedDown;
    // Up to two common ancestors the blood chain turned at.
    std::array<std::uint32_t, 2> Apexes;
  };

  explicit TKinshipSearch(const TKinGraph& graph);
  void Run(std::uint32_t home);
  void Settle(const TStep& step);
  void Expand(const TStep& step);
  void Offer(const TStep& step);
  bool HalfEvidence(std::uint32_t apex, std::uint32_t child, std::uint32_t level) const;
  static TKinship KinshipOf(const TStep& step);
  static bool Nearer(const TKinship& a, const TKinship& b);

  const TKinGraph& graph_;
  std::vector<TKinship> kinships_;
  // Per person and stage: the step's place among the next level's steps,
  // or whether it is still unseen or already settled.
  std::vector<std::uint32_t> states_;
  std::vector<std::uint32_t> ancestorLevel_;
  std::vector<TStep> frontier_;
  std::vector<TStep> next_;
};

}  // namespace mindrel
