// Feeds arbitrary filter texts to a cursor of a small in-memory table whose
// columns have indexes of several kinds, and checks the rows the filter
// selects against the evaluator run record by record. The only acceptable
// failure is the engine's own error; a different row set, another
// exception, a crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/FieldColumns.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/FilterList.h"

namespace {

using namespace keel;

FieldDescriptor Field(const char* name, FieldType type, uint16_t size = 0) {
  FieldDescriptor d;
  d.name = name;
  d.type = type;
  d.size = size;
  return d;
}

IndexDescriptor Index(const char* name, uint16_t field, bool descending, bool caseInsensitive) {
  IndexDescriptor d;
  d.name = name;
  d.fields = {{field, descending}};
  d.caseInsensitive = caseInsensitive;
  return d;
}

// a (integer), b (string of 6), c (boolean), d (float): NULLs, duplicates,
// a trailing blank, a deleted row.
struct Table {
  Table() : session(engine), folder(session, "fuzz-filter", true) {
    TableCreateRequest request;
    request.name = "T";
    request.fields = {Field("a", FieldType::Integer), Field("b", FieldType::String, 6),
                      Field("c", FieldType::Boolean), Field("d", FieldType::Float)};
    request.secondaries = {Index("A", 1, false, false), Index("B", 2, false, false),
                           Index("BNoCase", 2, true, true), Index("C", 3, false, false),
                           Index("D", 4, true, false)};
    folder.createTable(request);
    cursor = std::make_unique<TDataCursor>(folder, "T");
    const char* texts[] = {"a", "A", "ab", "ab ", "b", ""};
    for (int i = 0; i < 24; ++i) {
      std::vector<uint8_t> row = cursor->newRow();
      uint8_t bytes[8];
      if (i % 5 != 0) {
        StoreI32(bytes, i % 7 - 3);
        SetFieldValue(row, cursor->field("a"), bytes, 0);
      }
      if (i % 6 != 1) SetFieldText(row, cursor->field("b"), texts[i % 6], 0);
      if (i % 4 != 2) {
        StoreI16(bytes, static_cast<int16_t>(i % 3));
        SetFieldValue(row, cursor->field("c"), bytes, 0);
      }
      if (i % 7 != 3) {
        StoreF64(bytes, (i % 5) * 0.5 - 1);
        SetFieldValue(row, cursor->field("d"), bytes, 0);
      }
      cursor->append(row);
    }
    cursor->first();
    std::vector<uint8_t> row(cursor->rowSize());
    cursor->currentRow(row);
    cursor->remove(row);
  }

  TDataEngine engine;
  TDataSession session;
  TDataDirectory folder;
  std::unique_ptr<TDataCursor> cursor;
};

// Physical row numbers the evaluator accepts.
TRecordsBitmap Reference(TDataCursor& cursor, std::string_view text, TFilterOptions options) {
  TExpressionParser parser(TExpressionErrors::ForFilter("T"));
  parser.Load(text);
  auto tree = parser.ParseWholeText(FilterContext);
  TFieldColumns columns(cursor.fields());
  TExpressionVerifier(parser.Errors(), columns).VerifyFilter(*tree);
  auto prepared = TFilterPreparer::Prepare(*tree, options);
  TExpressionEvaluator evaluator(TCollation::ForLocale(0, "T"), cursor.table().data().clock());
  TRowBufferAccessor rows(cursor.fields());
  evaluator.SetRowAccessor(&rows);
  TRecordsBitmap passing(cursor.table().data().physicalRowCount());
  std::vector<uint8_t> row(cursor.rowSize());
  cursor.setIndex(TDataCursor::kPhysicalOrder);
  for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next()) {
    cursor.currentRow(row);
    rows.SetRow(row);
    if (evaluator.Passes(*prepared)) passing.set(cursor.currentRowNumber());
  }
  return passing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static Table table;
  TDataCursor& cursor = *table.cursor;
  // The first byte picks the options and the index order, the rest is the text.
  const TFilterOptions options{.CaseInsensitive = (data[0] & 1) != 0, .WholeValue = (data[0] & 2) != 0};
  const int slot = (data[0] >> 2) % cursor.table().indexCount();
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TRecordsBitmap expected;
  try {
    expected = Reference(cursor, text, options);
  } catch (const EKeelEngineError&) {
    return 0;
  }
  // The evaluator took every record in the written order, so the filter must
  // not fail either, whatever order it computes in.
  TFilterList filters(cursor);
  filters.add(text, options);
  if (filters.combined() != expected || filters.recordCount() != expected.count()) std::abort();
  cursor.setIndex(slot);
  TRecordsBitmap visited(expected.size());
  for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next()) visited.set(cursor.currentRowNumber());
  if (visited != expected) std::abort();
  return 0;
}
