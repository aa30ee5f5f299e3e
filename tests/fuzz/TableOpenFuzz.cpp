// Treats the input as the three files of one small table, opens it read-only
// from an in-memory folder and walks it the way a reader and the verify
// command do: every index forwards and backwards, physical order, every field
// of every row including BLOB values, then the structural checks. The only
// acceptable failure is the engine's own error; anything else (another
// exception, a crash, a hang, a sanitizer report) is a finding.
//
// Input: one flags byte (bit 0: the session knows the password "fuzz"), the
// lengths of the data and index files as 16-bit little-endian numbers, then
// the data file, the index file, and the rest as the BLOB file. Lengths past
// the end of the input are cut to what is there.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"
#include "platform/Clock.h"

namespace {

using namespace keel;

constexpr const char* kFolder = "/fuzz/";
constexpr const char* kTable = "T";
constexpr size_t kHeaderBytes = 5;
// A table of at most 64 KB holds far fewer rows than this; more steps mean a
// walk that never ends.
constexpr int64_t kStepLimit = 1'000'000;

struct TableFiles {
  bool knowsPassword = false;
  std::span<const uint8_t> data;
  std::span<const uint8_t> index;
  std::span<const uint8_t> blob;
};

TableFiles Split(std::span<const uint8_t> input) {
  TableFiles files;
  files.knowsPassword = (input[0] & 1) != 0;
  size_t dataLength = input[1] | (size_t{input[2]} << 8);
  size_t indexLength = input[3] | (size_t{input[4]} << 8);
  std::span<const uint8_t> rest = input.subspan(kHeaderBytes);
  files.data = rest.first(std::min(dataLength, rest.size()));
  rest = rest.subspan(files.data.size());
  files.index = rest.first(std::min(indexLength, rest.size()));
  files.blob = rest.subspan(files.index.size());
  return files;
}

void Store(TFileRegistry& registry, const std::string& path, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;  // an absent file, not an empty one
  FileHandle handle = registry.create(path, FileOpenRequest{.inMemory = true}, false);
  handle.file->writeAt(0, bytes.data(), bytes.size());
  registry.close(handle);
}

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

void Verify(TDataTable& table) {
  table.data().verifyStructure();
  std::set<int32_t> pagesInUse;
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    TIndexSlotStore store(table.index(), slot);
    TIndexTreeChecker checker(store, table.access(slot).comparer());
    checker.check();
    pagesInUse.insert(checker.pagesInUse().begin(), checker.pagesInUse().end());
  }
  TIndexSlotStore store(table.index(), 0);
  TIndexTreeChecker::checkFreeChain(store, table.index().freeHead(), &pagesInUse);
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

void OpenAndWalk(const TableFiles& files) {
  static const mindrel::FixedClock clock(mindrel::LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  // A fresh engine per input: its memory registry is the folder's disk.
  TDataEngine engine(clock);
  TDataSession session(engine);
  if (files.knowsPassword) session.passwords().add("fuzz");
  TDataDirectory folder(session, kFolder, true);
  TablePaths paths = folder.paths(kTable, false);
  Store(engine.files(), paths.data, files.data);
  Store(engine.files(), paths.index, files.index);
  Store(engine.files(), paths.blob, files.blob);

  TDataCursor cursor(folder, kTable, CursorOpenFlags{.readOnly = true});
  for (int slot = 0; slot < cursor.table().indexCount(); ++slot) Attempt([&] { WalkOrder(cursor, slot); });
  Attempt([&] { WalkOrder(cursor, TDataCursor::kPhysicalOrder); });
  Attempt([&] { Verify(cursor.table()); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  try {
    OpenAndWalk(Split({data, size}));
  } catch (const EKeelEngineError&) {
    // Damage reported as the engine's own error is the expected outcome.
  }
  return 0;
}
