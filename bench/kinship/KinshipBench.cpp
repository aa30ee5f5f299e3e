// Relationships to a home person on made-up trees (mktree's: remarriages,
// stepfamilies, cousins marrying, so ancestors repeat), three workloads:
//   1. relationships of every person: the graph built from the tree's people
//      and links, the search from the home person, and the term of every
//      person; per size, and the ratio of each size's time to the smallest
//      size's, against the ratio of their sizes (linear growth);
//   2. the same on a tree in which everyone descends from one couple (each
//      generation's people paired at random, siblings and cousins among
//      them, three children a couple), searched from its youngest person,
//      who is related to everyone: the search's worst case;
//   3. the whole alert scan as mindrel-list runs it (births of living
//      people, marriages with a living partner, 30 days) on the tree written
//      to disk, without a home person and with one: the ratio of their CPU
//      times (goal: at most 1.2).
// The home person is, of the 500 people made last who have parents, the one
// with the most relatives: the search's hardest case among the youngest.
// Each figure is the median of three runs; the scans without and with a home
// person take turns, five of each, so that a busy machine weighs on both
// alike.
//
// Run: build/bin/bench_kinship [--sizes 100000,1000000]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/AlertSession.h"
#include "bench/BenchArguments.h"
#include "app/Settings.h"
#include "formats/EventFormats.h"
#include "kinship/HomeKinship.h"
#include "kinship/KinGraphBuilder.h"
#include "kinship/KinshipSearch.h"
#include "kinship/KinshipTerms.h"
#include "tools/mktree/TreeGenerator.h"
#include "tools/mktree/TreeWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace mindrel;

constexpr CivilDate kToday{2026, 12, 10};
constexpr int kRuns = 3;
constexpr int kScanRuns = 5;
constexpr int kHomeCandidates = 500;

double Median(std::vector<double> runs) {
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

double CpuOf(const std::function<void()>& work) {
  const double start = bench::CpuSeconds();
  work();
  return bench::CpuSeconds() - start;
}

double MedianCpu(const std::function<void()>& work) {
  std::vector<double> runs;
  for (int run = 0; run < kRuns; ++run) runs.push_back(CpuOf(work));
  return Median(runs);
}

TSex SexOf(char sex) { return sex == 'M' ? TSex::Male : sex == 'F' ? TSex::Female : TSex::Unknown; }

TKinGraph GraphOf(const TFamilyTree& tree) {
  TKinGraphBuilder builder;
  for (const TTreePerson& person : tree.People) builder.AddPerson(person.Code, SexOf(person.Sex));
  for (const TTreeLink& link : tree.Links) {
    if (link.RecType == 'P') builder.AddPartner(link.ChildMarr, link.PersFam);
    if (link.RecType == 'C') builder.AddChild(link.ChildMarr, link.PersFam);
  }
  return builder.Build();
}

std::int32_t HomePerson(const TFamilyTree& tree) {
  const TKinGraph graph = GraphOf(tree);
  std::int32_t home = tree.People.front().Code;
  std::size_t most = 0;
  int tried = 0;
  for (auto person = tree.People.rbegin(); person != tree.People.rend() && tried < kHomeCandidates; ++person) {
    if (person->ParentFamily == 0) continue;
    ++tried;
    const std::vector<TKinship> kinships = TKinshipSearch::From(graph, graph.PersonIndex(person->Code));
    const auto related = static_cast<std::size_t>(
        std::count_if(kinships.begin(), kinships.end(), [](const TKinship& k) { return k.Related(); }));
    if (related > most) {
      most = related;
      home = person->Code;
    }
  }
  return home;
}

struct TEveryPerson {
  double Cpu = 0;
  std::size_t Related = 0;
  std::size_t Blood = 0;
  std::size_t TermBytes = 0;
};

TEveryPerson RelateEveryone(const TFamilyTree& tree, std::int32_t home) {
  TEveryPerson result;
  result.Cpu = MedianCpu([&] {
    const TKinGraph graph = GraphOf(tree);
    const std::vector<TKinship> kinships = TKinshipSearch::From(graph, graph.PersonIndex(home));
    result.Related = result.Blood = result.TermBytes = 0;
    for (std::uint32_t person = 0; person < graph.PersonCount(); ++person) {
      result.TermBytes += TKinshipTerms::Term(kinships[person], graph.Sex(person)).size();
      result.Related += kinships[person].Related() ? 1 : 0;
      result.Blood += kinships[person].Blood() ? 1 : 0;
    }
  });
  return result;
}

struct TOneFamily {
  TKinGraph Graph;
  std::int32_t Home = 0;
};

TOneFamily OneFamily(int people) {
  TKinGraphBuilder builder;
  std::mt19937 random(1);
  std::vector<std::int32_t> men{1}, women{2};
  builder.AddPerson(1, TSex::Male);
  builder.AddPerson(2, TSex::Female);
  std::int32_t next = 3;
  std::int32_t family = 0;
  while (next <= people) {
    std::shuffle(men.begin(), men.end(), random);
    std::shuffle(women.begin(), women.end(), random);
    std::vector<std::int32_t> sons, daughters;
    for (std::size_t couple = 0; couple < std::min(men.size(), women.size()) && next <= people; ++couple) {
      ++family;
      builder.AddPartner(family, men[couple]);
      builder.AddPartner(family, women[couple]);
      for (int child = 0; child < 3 && next <= people; ++child, ++next) {
        const bool son = (next % 2) == 1;
        builder.AddPerson(next, son ? TSex::Male : TSex::Female);
        builder.AddChild(family, next);
        (son ? sons : daughters).push_back(next);
      }
    }
    men.swap(sons);
    women.swap(daughters);
  }
  return {builder.Build(), next - 1};
}

TEveryPerson RelateEveryoneOfOneFamily(int people) {
  TEveryPerson result;
  result.Cpu = MedianCpu([&] {
    const TOneFamily tree = OneFamily(people);
    const std::vector<TKinship> kinships = TKinshipSearch::From(tree.Graph, tree.Graph.PersonIndex(tree.Home));
    result.Related = result.Blood = result.TermBytes = 0;
    for (std::uint32_t person = 0; person < tree.Graph.PersonCount(); ++person) {
      result.TermBytes += TKinshipTerms::Term(kinships[person], tree.Graph.Sex(person)).size();
      result.Related += kinships[person].Related() ? 1 : 0;
      result.Blood += kinships[person].Blood() ? 1 : 0;
    }
  });
  return result;
}

TScanOptions DefaultOptions(const fs::path& folder) {
  TSettings settings;
  for (int index : {0, 1, 4, 5}) settings.EventItems[static_cast<std::size_t>(index)].Ticked = true;
  TScanOptions options = TScanOptions::From(settings, TEventFormats());
  options.Folders = {folder.string() + "/"};
  return options;
}

struct TScanTimes {
  double Without = 0;
  double With = 0;
  int AlertsWithout = 0;
  int AlertsWith = 0;
  int Told = 0;
};

TScanTimes ScanBothWays(const TFamilyTree& tree, std::int32_t home, const fs::path& root, int people) {
  const fs::path folder = root / ("tree" + std::to_string(people));
  const fs::path data = root / ("data" + std::to_string(people));
  fs::create_directories(folder);
  fs::create_directories(data);
  const FixedClock clock(kToday);
  TTreeWriter(folder.string(), clock).Write(tree, false);
  TAlertSession session;
  session.Initialize(data.string() + "/");
  TScanOptions without = DefaultOptions(folder);
  TScanOptions with = without;
  with.HomePeople[with.Folders.front()] = home;
  TAlertList alerts;
  auto scan = [&](const TScanOptions& options) {
    for (const std::string& problem : session.RefreshOutputList(options, clock, alerts)) {
      std::fprintf(stderr, "%s\n", problem.c_str());
    }
  };
  TScanTimes times;
  std::vector<double> withoutRuns, withRuns;
  for (int run = 0; run < kScanRuns; ++run) {
    withoutRuns.push_back(CpuOf([&] { scan(without); }));
    times.AlertsWithout = alerts.Count();
    withRuns.push_back(CpuOf([&] { scan(with); }));
    times.AlertsWith = alerts.Count();
  }
  times.Without = Median(withoutRuns);
  times.With = Median(withRuns);
  for (int i = 0; i < alerts.Count(); ++i) times.Told += alerts.Entry(i).Relation.empty() ? 0 : 1;
  fs::remove_all(folder);
  fs::remove_all(data);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench-kinship-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  double firstCpu = 0;
  double firstFamilyCpu = 0;
  int firstSize = 0;
  for (const int people : bench::Sizes(argc, argv, "100000,1000000")) {
    const TFamilyTree tree = TTreeGenerator({people, 1, kToday}).Generate();
    const std::int32_t home = HomePerson(tree);
    const TEveryPerson every = RelateEveryone(tree, home);
    if (firstSize == 0) {
      firstCpu = every.Cpu;
      firstSize = people;
    }
    std::printf("%9d people, home [P%d]: relationships of everyone cpu %7.3f s (%.3f us/person; %zu related, %zu"
                " by blood)  |  time ratio to %d people %5.2f for a size ratio %5.2f\n",
                people, home, every.Cpu, every.Cpu / people * 1e6, every.Related, every.Blood, firstSize,
                every.Cpu / firstCpu, static_cast<double>(people) / firstSize);
    std::fflush(stdout);
    const TEveryPerson family = RelateEveryoneOfOneFamily(people);
    if (firstFamilyCpu == 0) firstFamilyCpu = family.Cpu;
    std::printf("           one family, everyone related: cpu %7.3f s (%.3f us/person; %zu related, %zu by blood)  |"
                "  time ratio to %d people %5.2f\n",
                family.Cpu, family.Cpu / people * 1e6, family.Related, family.Blood, firstSize,
                family.Cpu / firstFamilyCpu);
    std::fflush(stdout);
    const TScanTimes scan = ScanBothWays(tree, home, root, people);
    std::printf("           whole scan cpu: without a home person %7.3f s (%d alerts), with one %7.3f s (%d alerts,"
                " %d naming a relationship)  |  ratio %5.3f\n",
                scan.Without, scan.AlertsWithout, scan.With, scan.AlertsWith, scan.Told, scan.With / scan.Without);
    std::fflush(stdout);
  }
  fs::remove_all(root);
  return 0;
}
