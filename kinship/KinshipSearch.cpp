#include "kinship/KinshipSearch.h"

#include <algorithm>
#include <tuple>

namespace mindrel {

namespace {

constexpr std::uint32_t kUnseen = UINT32_MAX;
constexpr std::uint32_t kSettled = UINT32_MAX - 1;
constexpr std::uint32_t kNoApex = TKinGraph::kNone;

int PathRank(TKinship::TPath path) { return static_cast<int>(path); }

}  // namespace

TKinshipSearch::TKinshipSearch(const TKinGraph& graph)
    : graph_(graph),
      kinships_(graph.PersonCount()),
      states_(std::size_t{graph.PersonCount()} * kStages, kUnseen),
      ancestorLevel_(graph.PersonCount(), kUnseen) {}

std::vector<TKinship> TKinshipSearch::From(const TKinGraph& graph, std::uint32_t home) {
  TKinshipSearch search(graph);
  search.Run(home);
  return std::move(search.kinships_);
}

void TKinshipSearch::Run(std::uint32_t home) {
  Offer({home, kUp, false, 0, 0, 0, 0, {kNoApex, kNoApex}});
  // Level by level: every step of a level is settled before any is expanded,
  // so that a turn at an ancestor can ask which spouses are ancestors of the
  // same generation.
  while (!next_.empty()) {
    frontier_.swap(next_);
    next_.clear();
    for (const TStep& step : frontier_) Settle(step);
    for (const TStep& step : frontier_) Expand(step);
  }
}

void TKinshipSearch::Settle(const TStep& step) {
  states_[std::size_t{step.Person} * kStages + step.At] = kSettled;
  if (step.At == kUp) ancestorLevel_[step.Person] = step.Up;
  const TKinship kinship = KinshipOf(step);
  TKinship& known = kinships_[step.Person];
  if (!known.Related() || Nearer(kinship, known)) known = kinship;
}

bool TKinshipSearch::Nearer(const TKinship& a, const TKinship& b) {
  return std::make_tuple(a.Steps(), PathRank(a.Path), a.Down, a.Up, a.MarriedUp, a.MarriedDown) <
         std::make_tuple(b.Steps(), PathRank(b.Path), b.Down, b.Up, b.MarriedUp, b.MarriedDown);
}

TKinship TKinshipSearch::KinshipOf(const TStep& step) {
  TKinship kinship;
  kinship.Up = step.Up;
  kinship.Down = step.Down;
  kinship.MarriedUp = step.MarriedUp;
  kinship.MarriedDown = step.MarriedDown;
  switch (step.At) {
    case kUp:
    case kDown:
      kinship.Path = TKinship::TPath::Blood;
      kinship.Half = step.At == kDown && step.Apexes[1] == kNoApex && step.HalfEvidence;
      break;
    case kSpouse:
      kinship.Path = TKinship::TPath::RelativesSpouse;
      break;
    case kSpouseDown:
      kinship.Path = TKinship::TPath::StepDescendant;
      break;
    default:
      kinship.Path = TKinship::TPath::SpousesRelative;
      break;
  }
  return kinship;
}

// Below a single common ancestor the relation is a half one only where both
// lines show a second parent and the two differ: the relative's line has
// another parent than the ancestor, and the ancestor has a spouse who is
// the home person's ancestor of the same generation. Where a parent is not
// recorded, nothing says the relation is half.
bool TKinshipSearch::HalfEvidence(std::uint32_t apex, std::uint32_t child, std::uint32_t level) const {
  const auto parents = graph_.Parents(child);
  const bool otherParent = std::any_of(parents.begin(), parents.end(), [&](std::uint32_t p) { return p != apex; });
  if (!otherParent) return false;
  const auto spouses = graph_.Spouses(apex);
  return std::any_of(spouses.begin(), spouses.end(), [&](std::uint32_t s) { return ancestorLevel_[s] == level; });
}

void TKinshipSearch::Expand(const TStep& step) {
  auto offerEach = [&](std::span<const std::uint32_t> people, auto&& adjust) {
    for (const std::uint32_t relative : people) {
      TStep next = step;
      next.Person = relative;
      adjust(next);
      Offer(next);
    }
  };
  const std::uint32_t person = step.Person;
  switch (step.At) {
    case kUp:
      offerEach(graph_.Parents(person), [](TStep& s) { ++s.Up; });
      offerEach(graph_.Children(person), [&](TStep& s) {
        s.At = kDown;
        s.Down = 1;
        s.Apexes = {person, kNoApex};
        s.HalfEvidence = step.Up > 0 && HalfEvidence(person, s.Person, step.Up);
      });
      offerEach(graph_.Spouses(person), [](TStep& s) { s.At = kSpouse; });
      break;
    case kDown:
      offerEach(graph_.Children(person), [](TStep& s) { ++s.Down; });
      offerEach(graph_.Spouses(person), [](TStep& s) { s.At = kSpouse; });
      break;
    case kSpouse:
      offerEach(graph_.Children(person), [](TStep& s) {
        s.At = kSpouseDown;
        s.MarriedDown = 1;
      });
      // Only the spouse of an ancestor (or of the home person) leads up to
      // relatives with a name: in-laws and a stepparent's kin.
      if (step.Down == 0) {
        offerEach(graph_.Parents(person), [](TStep& s) {
          s.At = kSpouseUp;
          s.MarriedUp = 1;
        });
      }
      break;
    case kSpouseDown:
    case kSpouseUpDown:
      offerEach(graph_.Children(person), [](TStep& s) { ++s.MarriedDown; });
      break;
    case kSpouseUp:
      offerEach(graph_.Parents(person), [](TStep& s) { ++s.MarriedUp; });
      offerEach(graph_.Children(person), [](TStep& s) {
        s.At = kSpouseUpDown;
        s.MarriedDown = 1;
      });
      break;
    case kStages:
      break;
  }
}

void TKinshipSearch::Offer(const TStep& step) {
  std::uint32_t& state = states_[std::size_t{step.Person} * kStages + step.At];
  if (state == kSettled) return;
  if (state == kUnseen) {
    state = static_cast<std::uint32_t>(next_.size());
    next_.push_back(step);
    return;
  }
  TStep& known = next_[state];
  const auto counts = [](const TStep& s) { return std::make_tuple(s.Up, s.Down, s.MarriedUp, s.MarriedDown); };
  if (counts(step) < counts(known)) {
    known = step;
    return;
  }
  if (counts(step) != counts(known)) return;
  // The same relation along another line: a second common ancestor makes a
  // full relation of a half one.
  known.HalfEvidence = known.HalfEvidence || step.HalfEvidence;
  for (const std::uint32_t apex : step.Apexes) {
    if (apex == kNoApex || apex == known.Apexes[0] || apex == known.Apexes[1]) continue;
    if (known.Apexes[0] == kNoApex) {
      known.Apexes[0] = apex;
    } else if (known.Apexes[1] == kNoApex) {
      known.Apexes[1] = apex;
    }
  }
}

}  // namespace mindrel
