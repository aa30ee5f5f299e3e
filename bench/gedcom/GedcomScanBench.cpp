// The whole alert scan over one made-up tree of 100,000 people, once as a
// family-tree folder and once as the GEDCOM file of the same tree, in one
// process, both through the session the program and mindrel-list use.
//
// Workloads (a year's window, dead people shown, birth, marriage, divorce,
// death and the custom columns Baptism and Emigration ticked):
//   scan_folder   the three tables through the table engine's queries
//   scan_gedcom   the GEDCOM file read afresh and scanned
//   read_gedcom   reading the GEDCOM file alone; its counters give the heap
//                 the read tree holds per byte of the file
//
// Run: build/bin/bench_gedcom [--people N] [Google Benchmark flags]

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/AlertSession.h"
#include "gedcom/GedcomFile.h"
#include "tools/mktree/GedcomWriter.h"
#include "tools/mktree/TreeGenerator.h"
#include "tools/mktree/TreeWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace mindrel;

constexpr CivilDate kToday{2026, 12, 10};

struct TBenchTree {
  fs::path Root, Folder, Gedcom, Data;
  std::uintmax_t GedcomBytes = 0;
};

TBenchTree& Tree() {
  static TBenchTree tree;
  return tree;
}

void MakeTree(int people) {
  TBenchTree& tree = Tree();
  char pattern[] = "/tmp/bench-gedcom-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  tree.Root = pattern;
  tree.Folder = tree.Root / "tree";
  tree.Gedcom = tree.Root / "tree.ged";
  tree.Data = tree.Root / "data";
  fs::create_directories(tree.Folder);
  fs::create_directories(tree.Data);
  const TFamilyTree made = TTreeGenerator({people, 3, kToday}).Generate();
  const FixedClock clock(kToday);
  TTreeWriter(tree.Folder.string(), clock).Write(made, false);
  std::ofstream file(tree.Gedcom, std::ios::binary);
  TGedcomWriter::Write(made, file);
  file.close();
  tree.GedcomBytes = fs::file_size(tree.Gedcom);
}

TScanOptions Options(const fs::path& source) {
  TScanOptions options;
  options.LookAhead = 365;
  options.Alive = false;
  options.Exclude = true;
  options.EventItems = TSettings().EventItems;
  for (TEventItem& item : options.EventItems) item.Ticked = item.Text != "Added fixed" && item.Text != "Added annual";
  options.EventItems.push_back({"Baptism", true});
  options.EventItems.push_back({"Emigration", true});
  options.Folders = {source.string()};
  return options;
}

void Scan(benchmark::State& state, const fs::path& source) {
  TAlertSession session;
  session.Initialize(Tree().Data.string() + "/");
  const TScanOptions options = Options(source);
  const FixedClock clock(kToday);
  TAlertList alerts;
  std::vector<std::string> problems;
  for (auto _ : state) {
    problems = session.RefreshOutputList(options, clock, alerts);
    benchmark::DoNotOptimize(alerts.Count());
  }
  if (!problems.empty()) state.SkipWithError(problems.front().c_str());
  state.counters["alerts"] = alerts.Count();
}

void BM_ScanFolder(benchmark::State& state) { Scan(state, Tree().Folder); }
void BM_ScanGedcom(benchmark::State& state) { Scan(state, Tree().Gedcom); }

void BM_ReadGedcom(benchmark::State& state) {
  double heldPerFileByte = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    const TGedcomTree tree = TGedcomFile(Tree().Gedcom.string()).Read();
    heldPerFileByte = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(Tree().GedcomBytes);
    benchmark::DoNotOptimize(tree.People.size());
  }
  state.counters["file_MB"] = static_cast<double>(Tree().GedcomBytes) / 1e6;
  state.counters["heap_per_file_byte"] = heldPerFileByte;
}

BENCHMARK(BM_ScanFolder)->Name("scan_folder")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanGedcom)->Name("scan_gedcom")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadGedcom)->Name("read_gedcom")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  int people = 100'000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--people") == 0) {
      people = std::atoi(argv[i + 1]);
      for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  }
  MakeTree(people);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Tree().Root);
  return 0;
}
