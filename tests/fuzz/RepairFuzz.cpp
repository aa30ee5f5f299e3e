// Treats the input as the three files of one small table (FuzzTableInput.h,
// the same input as TableOpenFuzz) and repairs it. A repair may refuse a
// table whose header or descriptors it cannot read, with the engine's own
// error; a repair that succeeds must leave a table that verifies clean in
// everything a repair rebuilds (rows and their hashes, free-row chain,
// counts, every index tree, BLOB chains), whose every row reads, and that
// takes a new row and still verifies clean. Anything else is a finding.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/TableRepair.h"
#include "engine/core/TableVerifier.h"
#include "platform/Clock.h"
#include "tests/fuzz/FuzzTableInput.h"

namespace {

using namespace keel;

constexpr const char* kFolder = "/fuzz/";
constexpr const char* kTable = "T";

// What the verification finds beyond the descriptors' own faults, which a
// repair does not mend (it refuses descriptors it cannot read at all).
std::vector<std::string> ProblemsAfterRepair(TDataTable& table) {
  std::vector<std::string> problems = TTableVerifier::Check(table);
  for (const std::string& structural : table.data().verifyStructure()) std::erase(problems, structural);
  return problems;
}

void ReadEveryRow(TDataCursor& cursor) {
  std::vector<uint8_t> row(cursor.rowSize());
  for (int slot = 0; slot < cursor.table().indexCount(); ++slot) {
    cursor.setIndex(slot);
    int64_t rows = 0;
    for (Nav r = cursor.first(); r == Nav::Ok; r = cursor.next()) {
      ++rows;
      cursor.currentRow(row);
      for (const FieldDescriptor& field : cursor.fields()) {
        try {
          if (field.isBlob()) cursor.blobValue(row, field);
        } catch (const EKeelEngineError& error) {
          // A whole chain may still hold a compressed value that does not inflate.
          if (error.code() != ErrorCode::KEEL_UNCOMPRESS) throw;
        }
      }
    }
    if (rows != cursor.table().data().header().activeRowCount) std::abort();
  }
}

void Run(const fuzz::TableFiles& files) {
  static const mindrel::FixedClock clock(mindrel::LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  TDataEngine engine(clock);
  TDataSession session(engine);
  if (files.knowsPassword) session.passwords().add(fuzz::kPassword);
  TDataDirectory folder(session, kFolder, true);
  const TablePaths paths = folder.paths(kTable, false);
  fuzz::StoreInMemory(engine.files(), paths.data, files.data);
  fuzz::StoreInMemory(engine.files(), paths.index, files.index);
  fuzz::StoreInMemory(engine.files(), paths.blob, files.rest);
  try {
    TTableRepair(folder, kTable).run();
  } catch (const EKeelEngineError&) {
    return;  // refused: the header, descriptors or password do not allow it
  }
  TDataCursor cursor(folder, kTable);
  if (!ProblemsAfterRepair(cursor.table()).empty()) std::abort();
  ReadEveryRow(cursor);
  try {
    std::vector<uint8_t> row = cursor.newRow();
    cursor.append(row);
  } catch (const EKeelEngineError&) {
    // A key the new row shares, a constraint it breaks, a full table.
  }
  if (!ProblemsAfterRepair(cursor.table()).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < fuzz::kHeaderBytes || size > fuzz::kMaxInput) return 0;
  Run(fuzz::Split({data, size}));
  return 0;
}
