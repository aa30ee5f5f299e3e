// The storage engine on its own, over a table of 20,000 rows of 120 bytes
// (an integer code, a name, a town, a date) with a unique index on the code
// and a non-unique one on name and town, in a folder on disk.
//
// Workloads:
//   append          add the 20,000 rows one by one (each its own write unit)
//   scan_primary    read every row in RecordID order
//   scan_by_name    read every row in name order (rows scattered on disk)
//   scan_physical   read every row in physical order
//   find_code       2,000 exact finds on the unique index
//   find_name       2,000 partial finds (first key field) on the name index
//   modify_name     change the name of 2,000 rows (two indexes updated)
//   cold_open_scan  open the table with an empty cache and read it in code order

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "tests/support/Descriptors.h"

namespace {

namespace fs = std::filesystem;
using keel::testing::Field;
using keel::testing::Index;
using namespace keel;

constexpr int kRows = 20'000;
constexpr int kProbes = 2'000;

std::string NameOf(int code) { return "Name" + std::to_string((code * 7919) % 5003); }

class Fixture {
 public:
  Fixture() : session_(engine_) {
    folder_ = fs::temp_directory_path() / ("keel-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    directory_ = std::make_unique<TDataDirectory>(session_, folder_.string());
    TableCreateRequest request;
    request.name = "People";
    request.fields = {Field("Code", FieldType::Integer), Field("Name", FieldType::String, 40),
                      Field("Town", FieldType::String, 40), Field("Born", FieldType::Date)};
    request.secondaries = {Index("ByCode", {1}, true), Index("ByName", {2, 3}, false)};
    directory_->createTable(request);
  }
  ~Fixture() {
    directory_.reset();
    fs::remove_all(folder_);
  }

  std::vector<uint8_t> row(TDataCursor& cursor, int code, const std::string& name) {
    std::vector<uint8_t> r = cursor.newRow();
    std::vector<uint8_t> value(4);
    StoreI32(value.data(), code);
    SetFieldValue(r, cursor.field("Code"), value, 0);
    SetFieldText(r, cursor.field("Name"), name, 0);
    SetFieldText(r, cursor.field("Town"), "Town" + std::to_string(code % 97), 0);
    StoreI32(value.data(), 700000 + code % 30000);
    SetFieldValue(r, cursor.field("Born"), value, 0);
    return r;
  }
  void fill() {
    TDataCursor cursor(*directory_, "People");
    for (int code = 1; code <= kRows; ++code) {
      auto r = row(cursor, code, NameOf(code));
      cursor.append(r);
    }
  }
  TDataDirectory& folder() { return *directory_; }

 private:
  TDataEngine engine_;
  TDataSession session_;
  fs::path folder_;
  std::unique_ptr<TDataDirectory> directory_;
};

int64_t ReadAll(TDataCursor& cursor) {
  std::vector<uint8_t> r(cursor.rowSize());
  int64_t sum = 0;
  for (Nav n = cursor.first(); n == Nav::Ok; n = cursor.next(r)) sum += r[30];
  return sum;
}

void BM_append(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Fixture fixture;
    state.ResumeTiming();
    fixture.fill();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void Scan(benchmark::State& state, const char* index) {
  Fixture fixture;
  fixture.fill();
  TDataCursor cursor(fixture.folder(), "People");
  if (std::string(index) == "physical") cursor.setIndex(TDataCursor::kPhysicalOrder);
  else if (*index) cursor.setIndex(std::string(index));
  for (auto _ : state) benchmark::DoNotOptimize(ReadAll(cursor));
  state.SetItemsProcessed(state.iterations() * kRows);
}
void BM_scan_primary(benchmark::State& state) { Scan(state, ""); }
void BM_scan_by_name(benchmark::State& state) { Scan(state, "ByName"); }
void BM_scan_physical(benchmark::State& state) { Scan(state, "physical"); }

void BM_find_code(benchmark::State& state) {
  Fixture fixture;
  fixture.fill();
  TDataCursor cursor(fixture.folder(), "People");
  cursor.setIndex("ByCode");
  std::mt19937 random(1);
  for (auto _ : state) {
    for (int i = 0; i < kProbes; ++i) {
      auto probe = fixture.row(cursor, 1 + static_cast<int>(random() % kRows), "");
      benchmark::DoNotOptimize(cursor.findKey(probe));
    }
  }
  state.SetItemsProcessed(state.iterations() * kProbes);
}

void BM_find_name(benchmark::State& state) {
  Fixture fixture;
  fixture.fill();
  TDataCursor cursor(fixture.folder(), "People");
  cursor.setIndex("ByName");
  std::mt19937 random(2);
  for (auto _ : state) {
    for (int i = 0; i < kProbes; ++i) {
      auto probe = fixture.row(cursor, 0, NameOf(1 + static_cast<int>(random() % kRows)));
      benchmark::DoNotOptimize(cursor.findKey(probe, 1));
    }
  }
  state.SetItemsProcessed(state.iterations() * kProbes);
}

void BM_modify_name(benchmark::State& state) {
  Fixture fixture;
  fixture.fill();
  TDataCursor cursor(fixture.folder(), "People");
  cursor.setIndex("ByCode");
  std::mt19937 random(3);
  int round = 0;
  for (auto _ : state) {
    ++round;
    for (int i = 0; i < kProbes; ++i) {
      const int code = 1 + static_cast<int>(random() % kRows);
      if (!cursor.findKey(fixture.row(cursor, code, ""))) continue;
      cursor.modify(fixture.row(cursor, code, "Renamed" + std::to_string(round * kProbes + i)));
    }
  }
  state.SetItemsProcessed(state.iterations() * kProbes);
}

void BM_cold_open_scan(benchmark::State& state) {
  Fixture fixture;
  fixture.fill();
  for (auto _ : state) {
    TDataCursor cursor(fixture.folder(), "People");  // the last cursor closed the table: caches start empty
    cursor.setIndex("ByCode");
    benchmark::DoNotOptimize(ReadAll(cursor));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_append)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_scan_primary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scan_by_name)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scan_physical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_find_code)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_find_name)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_modify_name)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_cold_open_scan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
