// Prepares and executes arbitrary statement text against a tiny in-memory
// family tree (People with a memo and a primary index on Code, Families),
// canned or live, and reads every result row. The only acceptable failure is
// the engine's own error; anything else (another exception, a crash, a hang,
// a sanitizer report) is a finding. Result tables go to a memory-backed
// folder where there is one.
//
// Input: one flags byte (bit 0: a live result wanted; bits 1-3: the most
// result rows, 7 meaning no limit), then the statement text.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/SelectExecutor.h"
#include "platform/Clock.h"
#include "tests/support/Descriptors.h"

namespace {

using namespace keel;

using testing::Field;

void SetInt(std::span<uint8_t> row, const FieldDescriptor& field, int32_t value) {
  uint8_t bytes[4];
  StoreI32(bytes, value);
  SetFieldValue(row, field, bytes, 0);
}

void AddPeople(TDataDirectory& folder) {
  TableCreateRequest request;
  request.name = "People";
  FieldDescriptor notes = Field("Notes", FieldType::Blob);
  notes.subtype = FieldSubtype::Memo;
  request.fields = {Field("Code", FieldType::Integer), Field("Given", FieldType::String, 20),
                    Field("Dead", FieldType::Boolean), Field("Born", FieldType::Date),
                    Field("Search date~J", FieldType::Integer), notes};
  request.primary.fields = {{1, false}};
  folder.createTable(request);
  TDataCursor people(folder, "People");
  const char* names[] = {"John", "Mary", "Ann", "Bob", "Eve"};
  for (int32_t code = 1; code <= 5; ++code) {
    std::vector<uint8_t> row = people.newRow();
    SetInt(row, people.field("Code"), 6 - code);
    SetFieldText(row, people.field("Given"), names[code - 1], 0);
    if (code != 4) SetFieldText(row, people.field("Dead"), code % 2 == 1 ? "True" : "False", 0);
    SetFieldText(row, people.field("Born"), "1951-03-0" + std::to_string(code), 0);
    SetInt(row, people.field("Search date~J"), 2700000 + code * 400);
    const std::string notes = code == 2 ? "" : "Notes on " + std::string(names[code - 1]);
    people.append(row, {{6, std::vector<uint8_t>(notes.begin(), notes.end())}});
  }
}

void AddFamilies(TDataDirectory& folder) {
  TableCreateRequest request;
  request.name = "Families";
  request.fields = {Field("Code", FieldType::Integer), Field("Husband", FieldType::Integer),
                    Field("Wife", FieldType::Integer), Field("Marriage date~J", FieldType::Integer)};
  folder.createTable(request);
  TDataCursor families(folder, "Families");
  for (int32_t code = 1; code <= 2; ++code) {
    std::vector<uint8_t> row = families.newRow();
    SetInt(row, families.field("Code"), code);
    SetInt(row, families.field("Husband"), code);
    SetInt(row, families.field("Wife"), code + 1);
    if (code == 1) SetInt(row, families.field("Marriage date~J"), 2702000);
    families.append(row);
  }
}

// One engine and folder for the whole run: the statements only read it.
struct Tree {
  Tree() : folder(session, "/fuzz/", true) {
    AddPeople(folder);
    AddFamilies(folder);
    const char* shared = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
    privateDir = std::string(shared) + "keel-sql-fuzz-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(privateDir);
  }
  TDataEngine engine;
  TDataSession session{engine};
  TDataDirectory folder;
  std::string privateDir;
};

void ReadEveryRow(TDataCursor& result) {
  std::vector<uint8_t> row(result.rowSize());
  for (Nav at = result.first(); at == Nav::Ok; at = result.next()) {
    result.currentRow(row);
    for (const FieldDescriptor& field : result.fields()) {
      if (field.isBlob()) {
        result.blobValue(row, field);
        continue;
      }
      const FieldRead value = GetField(row, field);
      if (!value.isNull) FormatFieldText(field, value.bytes);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static Tree tree;
  static const mindrel::FixedClock clock(mindrel::LocalDateTime{{2026, 12, 10}, 12, 0, 0, 0});
  TSelectSettings settings;
  settings.PrivateDir = tree.privateDir;
  settings.RequestLive = (data[0] & 1) != 0;
  const int limit = (data[0] >> 1) & 7;
  settings.MaxRowCount = limit == 7 ? -1 : limit;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    TSelectExecutor executor(tree.folder, settings, clock);
    executor.Prepare(text);
    ReadEveryRow(executor.Execute());
  } catch (const EKeelEngineError&) {
    // A statement refused or failed with the engine's own error is expected.
  }
  return 0;
}
