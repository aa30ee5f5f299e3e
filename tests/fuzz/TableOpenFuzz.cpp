// Treats the input as the three files of one small table, opens it read-only
// from an in-memory folder and walks it the way a reader and the verify
// command do: every index forwards and backwards, physical order, every field
// of every row including BLOB values, then the structural checks. Then it
// repairs the table and checks that the repaired trees and chains are sound.
// The only acceptable failure is the engine's own error; anything else
// (another exception, a crash, a hang, a sanitizer report, damage left by a
// repair) is a finding.
//
// The input is the table of FuzzTableInput.h.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobChainChecker.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"
#include "engine/core/TableRepair.h"
#include "platform/Clock.h"
#include "tests/fuzz/FuzzTableInput.h"

namespace {

using namespace keel;
using namespace keel::fuzz;

constexpr const char* kFolder = "/fuzz/";
constexpr const char* kTable = "T";
// A table of at most 64 KB holds far fewer rows than this; more steps mean a
// walk that never ends.
constexpr int64_t kStepLimit = 1'000'000;

void ReadEveryField(TDataCursor& cursor, std::vector<uint8_t>& row) {
  if (cursor.currentRow(row) != Nav::Ok) return;
  for (const FieldDescriptor& field : cursor.fields()) {
    if (field.isBlob()) {
      cursor.blobValue(row, field);
      continue;
    }
    FieldRead value = GetField(row, field);
    if (!value.isNull) FormatFieldText(field, value.bytes);
  }
}

void WalkOrder(TDataCursor& cursor, int slot) {
  cursor.setIndex(slot);
  std::vector<uint8_t> row(cursor.rowSize());
  int64_t steps = 0;
  for (Nav r = cursor.first(); r == Nav::Ok; r = cursor.next()) {
    if (++steps > kStepLimit) std::abort();
    ReadEveryField(cursor, row);
  }
  for (Nav r = cursor.last(); r == Nav::Ok; r = cursor.prior()) {
    if (++steps > 2 * kStepLimit) std::abort();
    ReadEveryField(cursor, row);
  }
  cursor.recordCount();
}

// The problems of every tree, the free-page chain and the BLOB chains.
std::vector<std::string> TreeAndChainProblems(TDataTable& table) {
  std::vector<std::string> problems;
  std::set<int32_t> pagesInUse;
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    TIndexSlotStore store(table.index(), slot);
    TIndexTreeChecker checker(store, table.access(slot).comparer());
    for (const std::string& problem : checker.check()) problems.push_back(problem);
    if (checker.keyCount() != table.data().header().activeRowCount) problems.push_back("key count");
    pagesInUse.insert(checker.pagesInUse().begin(), checker.pagesInUse().end());
  }
  TIndexSlotStore store(table.index(), 0);
  for (const std::string& problem : TIndexTreeChecker::checkFreeChain(store, table.index().freeHead(), &pagesInUse))
    problems.push_back(problem);
  if (table.blob()) {
    for (const std::string& problem : TBlobChainChecker::CheckTable(table.data(), *table.blob()))
      problems.push_back(problem);
  }
  return problems;
}

// One stage of the walk; a damaged part reported by the engine leaves the
// other stages to run.
template <typename Stage>
void Attempt(Stage&& stage) {
  try {
    stage();
  } catch (const EKeelEngineError&) {
  }
}

void OpenAndWalk(TDataDirectory& folder) {
  TDataCursor cursor(folder, kTable, CursorOpenFlags{.readOnly = true});
  for (int slot = 0; slot < cursor.table().indexCount(); ++slot) Attempt([&] { WalkOrder(cursor, slot); });
  Attempt([&] { WalkOrder(cursor, TDataCursor::kPhysicalOrder); });
  Attempt([&] { cursor.table().data().verifyStructure(); });
  Attempt([&] { TreeAndChainProblems(cursor.table()); });
}

// A repair that succeeds leaves sound trees and chains, whatever it started
// from; rows it reads back are walked again.
void RepairAndCheck(TDataDirectory& folder) {
  try {
    TTableRepair(folder, kTable).run();
  } catch (const EKeelEngineError&) {
    return;  // refused: the data or BLOB file cannot be read
  }
  TDataCursor cursor(folder, kTable, CursorOpenFlags{.readOnly = true});
  if (!TreeAndChainProblems(cursor.table()).empty()) std::abort();
  for (int slot = 0; slot < cursor.table().indexCount(); ++slot) Attempt([&] { WalkOrder(cursor, slot); });
}

void Run(const TableFiles& files) {
  static const mindrel::FixedClock clock(mindrel::LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  // A fresh engine per input: its memory registry is the folder's disk.
  TDataEngine engine(clock);
  TDataSession session(engine);
  if (files.knowsPassword) session.passwords().add(kPassword);
  TDataDirectory folder(session, kFolder, true);
  TablePaths paths = folder.paths(kTable, false);
  StoreInMemory(engine.files(), paths.data, files.data);
  StoreInMemory(engine.files(), paths.index, files.index);
  StoreInMemory(engine.files(), paths.blob, files.rest);
  try {
    OpenAndWalk(folder);
  } catch (const EKeelEngineError&) {
    // Damage reported as the engine's own error is the expected outcome.
  }
  RepairAndCheck(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes || size > kMaxInput) return 0;
  Run(Split({data, size}));
  return 0;
}
