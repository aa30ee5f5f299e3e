#include "tools/keel/KeelTool.h"

#include <charconv>
#include <cstring>
#include <functional>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "engine/core/ByteOrder.h"
#include "engine/core/ConsistentRead.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/TableRepair.h"
#include "engine/core/TableVerifier.h"
#include "engine/core/TextCase.h"
#include "tools/keel/FilterCommands.h"
#include "tools/keel/Json.h"
#include "tools/keel/RowJson.h"
#include "tools/keel/SchemaJson.h"

namespace mindrel {

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitEngine = 2;
constexpr int kExitUsage = 64;

constexpr const char* kUsage =
    "usage: keel [--password TEXT] COMMAND DIR TABLE ...\n"
    "  info DIR TABLE\n"
    "  create DIR TABLE SCHEMA.json\n"
    "  insert DIR TABLE            (JSON objects on stdin, one per line)\n"
    "  update DIR TABLE RECORDID JSON\n"
    "  delete DIR TABLE RECORDID...\n"
    "  dump DIR TABLE [--index NAME | --physical] [--range-start JSON --range-end JSON] [--find JSON]\n"
    "       [--filter EXPR [--filter-nocase] [--filter-partial]]\n"
    "  explain DIR TABLE EXPR [--filter-nocase] [--filter-partial]\n"
    "  verify DIR TABLE\n"
    "  repair DIR TABLE            (rebuilds indexes and free chains from the rows)\n"
    "  sql DIR \"SQL TEXT\" [--max-rows N]\n";

struct Arguments {
  std::string command;
  std::vector<std::string> positional;
  std::string password;
  bool hasPassword = false;
  std::string index;
  bool physical = false;
  std::string rangeStart, rangeEnd, find;
  FilterArguments filter;
};

Arguments Parse(std::vector<std::string> args) {
  Arguments a;
  a.filter = TakeFilterArguments(args);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw EUsageError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--password") {
      a.password = value();
      a.hasPassword = true;
    } else if (arg == "--index") {
      a.index = value();
    } else if (arg == "--physical") {
      a.physical = true;
    } else if (arg == "--range-start") {
      a.rangeStart = value();
    } else if (arg == "--range-end") {
      a.rangeEnd = value();
    } else if (arg == "--find") {
      a.find = value();
    } else if (arg.rfind("--", 0) == 0) {
      throw EUsageError("unknown option " + arg);
    } else if (a.command.empty()) {
      a.command = arg;
    } else {
      a.positional.push_back(arg);
    }
  }
  if (a.filter.given && a.command != "dump") throw EUsageError("--filter belongs to dump");
  return a;
}

void Expect(const Arguments& a, size_t minimum, size_t maximum) {
  if (a.positional.size() < minimum || a.positional.size() > maximum)
    throw EUsageError("wrong number of arguments for " + a.command);
}

int32_t RecordIdArgument(const std::string& text) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value <= 0)
    throw EUsageError("not a RecordID: " + text);
  return value;
}

TJsonValue JsonArgument(const std::string& text, const char* what) {
  try {
    return TJsonValue::Parse(text);
  } catch (const EJsonError& error) {
    throw EUsageError(std::string(what) + ": " + error.what());
  }
}

class Tool {
 public:
  Tool(const Arguments& args, std::istream& in, std::ostream& out, std::ostream& err)
      : args_(args), in_(in), out_(out), err_(err), session_(engine_) {
    if (args.hasPassword) session_.passwords().add(keel::Utf8ToAnsi(args.password));
    // A change the tool reports done must survive a power failure.
    session_.ForceBufferFlush = true;
  }

  int run() {
    const std::string& c = args_.command;
    if (c == "info") return info();
    if (c == "create") return create();
    if (c == "insert") return insert();
    if (c == "update") return update();
    if (c == "delete") return remove();
    if (c == "dump") return dump();
    if (c == "verify") return verify();
    if (c == "repair") return repair();
    throw EUsageError(c.empty() ? "no command given" : "unknown command " + c);
  }

 private:
  keel::TDataDirectory& folder() {
    if (!folder_) folder_ = std::make_unique<keel::TDataDirectory>(session_, args_.positional.at(0));
    return *folder_;
  }
  // `physical` opens without touching any index, so damaged trees can be examined.
  std::unique_ptr<keel::TDataCursor> open(bool readOnly, bool physical = false) {
    return std::make_unique<keel::TDataCursor>(
        folder(), args_.positional.at(1), keel::CursorOpenFlags{.readOnly = readOnly, .physicalOrderOnly = physical});
  }

  int info() {
    Expect(args_, 2, 2);
    auto cursor = open(true);
    out_ << TableInfo(*cursor).write() << '\n';
    return 0;
  }

  int create() {
    Expect(args_, 3, 3);
    std::ifstream file(args_.positional[2], std::ios::binary);
    if (!file) throw EUsageError("cannot read " + args_.positional[2]);
    std::stringstream text;
    text << file.rdbuf();
    keel::TableCreateRequest request =
        SchemaToRequest(JsonArgument(text.str(), "schema"), keel::Utf8ToAnsi(args_.positional[1]));
    folder().createTable(request);
    return 0;
  }

  int insert() {
    Expect(args_, 2, 2);
    auto cursor = open(false);
    // Every line is converted before the first row is written.
    std::vector<std::pair<std::vector<uint8_t>, keel::TDataCursor::BlobValues>> rows;
    std::string line;
    for (size_t number = 1; std::getline(in_, line); ++number) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      TJsonValue object = JsonArgument(line, ("line " + std::to_string(number)).c_str());
      std::vector<uint8_t> row = cursor->newRow();
      keel::TDataCursor::BlobValues blobs;
      try {
        JsonToRow(*cursor, row, object, blobs);
      } catch (const EUsageError& error) {
        throw EUsageError("line " + std::to_string(number) + ": " + error.what());
      }
      rows.emplace_back(std::move(row), std::move(blobs));
    }
    for (auto& [row, blobs] : rows) {
      cursor->append(row, blobs);
      out_ << keel::LoadI32(row.data() + keel::kRowRecordIdAt) << '\n';
    }
    return 0;
  }

  // Moves the cursor onto the row with this RecordID; 8710 when there is none.
  void seekRecord(keel::TDataCursor& cursor, int32_t recordId) {
    cursor.setIndex(keel::TDataCursor::kPhysicalOrder);
    std::vector<uint8_t> row(cursor.rowSize());
    for (keel::Nav r = cursor.first(); r == keel::Nav::Ok; r = cursor.next()) {
      cursor.currentRow(row);
      if (keel::LoadI32(row.data() + keel::kRowRecordIdAt) == recordId) return;
    }
    keel::raise(keel::ErrorCode::KEEL_RECNOTFOUND, {.table = cursor.table().name()});
  }

  int update() {
    Expect(args_, 4, 4);
    const int32_t recordId = RecordIdArgument(args_.positional[2]);
    TJsonValue changes = JsonArgument(args_.positional[3], "values");
    auto cursor = open(false);
    seekRecord(*cursor, recordId);
    std::vector<uint8_t> row(cursor->rowSize());
    cursor->currentRow(row);
    keel::TDataCursor::BlobValues blobs;
    JsonToRow(*cursor, row, changes, blobs);
    cursor->modify(row, blobs);
    return 0;
  }

  // One pass in physical order finds every listed row, a second deletes
  // them; a RecordID that is not there fails with 8710 before any delete.
  int remove() {
    Expect(args_, 3, SIZE_MAX);
    std::set<int32_t> ids;
    for (size_t i = 2; i < args_.positional.size(); ++i) ids.insert(RecordIdArgument(args_.positional[i]));
    auto cursor = open(false);
    cursor->setIndex(keel::TDataCursor::kPhysicalOrder);
    std::vector<uint8_t> row(cursor->rowSize());
    std::set<int32_t> missing = ids;
    for (keel::Nav r = cursor->first(); r == keel::Nav::Ok && !missing.empty(); r = cursor->next(row)) {
      cursor->currentRow(row);
      missing.erase(keel::LoadI32(row.data() + keel::kRowRecordIdAt));
    }
    if (!missing.empty()) keel::raise(keel::ErrorCode::KEEL_RECNOTFOUND, {.table = cursor->table().name()});
    keel::Nav at = cursor->first();
    while (at == keel::Nav::Ok && !ids.empty()) {
      cursor->currentRow(row);
      if (ids.erase(keel::LoadI32(row.data() + keel::kRowRecordIdAt)) == 0) {
        at = cursor->next();
        continue;
      }
      cursor->remove(row);
      at = cursor->isEof() ? keel::Nav::Eof : keel::Nav::Ok;
    }
    return 0;
  }

  // A row buffer holding the values of `object` for the leading key fields of
  // the active index; answers how many leading key fields were given.
  size_t keyValues(keel::TDataCursor& cursor, const TJsonValue& object, std::vector<uint8_t>& row) {
    if (cursor.activeSlot() == keel::TDataCursor::kPhysicalOrder)
      throw EUsageError("--find and ranges need an index, not --physical");
    if (object.kind() != TJsonValue::Kind::Object) throw EUsageError("key values must be a JSON object");
    const keel::IndexDescriptor& index = cursor.table().index().descriptor(cursor.activeSlot());
    row.assign(cursor.rowSize(), 0);
    keel::TDataCursor::BlobValues unused;
    size_t given = 0;
    for (const keel::IndexKeyField& key : index.fields) {
      const keel::FieldDescriptor& f = cursor.field(key.fieldNumber);
      const TJsonValue* value = object.find(keel::AnsiToUtf8(f.name));
      if (!value) break;
      if (f.isSystem()) {
        std::optional<int64_t> id = value->asInteger();
        if (!id || f.number != keel::FieldDescriptor::kRecordIdNumber) throw EUsageError("bad value for " + f.name);
        keel::StoreI32(row.data() + keel::kRowRecordIdAt, static_cast<int32_t>(*id));
      } else {
        JsonToField(cursor, row, f, *value, unused);
      }
      ++given;
    }
    if (given != object.members().size())
      throw EUsageError("key values must name leading fields of the index, in any order");
    return given;
  }

  int dump() {
    Expect(args_, 2, 2);
    if (args_.physical && !args_.index.empty()) throw EUsageError("--index and --physical exclude each other");
    if (args_.rangeStart.empty() != args_.rangeEnd.empty())
      throw EUsageError("--range-start and --range-end go together");
    const TJsonValue start = args_.rangeStart.empty() ? TJsonValue() : JsonArgument(args_.rangeStart, "range start");
    const TJsonValue end = args_.rangeEnd.empty() ? TJsonValue() : JsonArgument(args_.rangeEnd, "range end");
    const TJsonValue find = args_.find.empty() ? TJsonValue() : JsonArgument(args_.find, "find");
    auto cursor = open(true);
    if (args_.physical) cursor->setIndex(keel::TDataCursor::kPhysicalOrder);
    if (!args_.index.empty()) cursor->setIndex(keel::Utf8ToAnsi(args_.index));
    std::vector<uint8_t> row(cursor->rowSize());
    if (!args_.rangeStart.empty()) {
      std::vector<uint8_t> low, high;
      const size_t lowCount = keyValues(*cursor, start, low);
      const size_t highCount = keyValues(*cursor, end, high);
      if (lowCount == 0 || highCount == 0) throw EUsageError("a range needs at least the first key field");
      cursor->setRange(low, lowCount, high, highCount);
    }
    const std::unique_ptr<keel::TFilterList> filter = InstallFilter(*cursor, args_.filter);
    std::vector<uint8_t> values;
    const size_t findCount = args_.find.empty() ? 0 : keyValues(*cursor, find, values);
    if (!args_.find.empty() && findCount == 0) throw EUsageError("--find needs at least the first key field");
    // The lines are one state of the table, each row with its own BLOB values.
    std::vector<std::string> lines;
    bool found = true;
    keel::TConsistentRead({&cursor->table()}).run([&] {
      lines.clear();
      if (!args_.find.empty()) {
        found = cursor->findKey(values, findCount);
        if (!found) return;
        cursor->currentRow(row);
        lines.push_back(RowToJson(*cursor, row).write());
        return;
      }
      for (keel::Nav r = cursor->first(); r == keel::Nav::Ok; r = cursor->next()) {
        cursor->currentRow(row);
        lines.push_back(RowToJson(*cursor, row).write());
      }
    });
    if (!found) {
      err_ << "not found\n";
      return kExitProblems;
    }
    for (const std::string& line : lines) out_ << line << '\n';
    return 0;
  }

  int verify() {
    Expect(args_, 2, 2);
    auto cursor = open(true, true);
    const std::vector<std::string> problems = keel::TTableVerifier::Check(cursor->table());
    if (problems.empty()) {
      out_ << "ok\n";
      return 0;
    }
    for (const std::string& problem : problems) out_ << keel::AnsiToUtf8(problem) << '\n';
    return kExitProblems;
  }

  // Everything rebuilt, then everything that could not be kept; the latter
  // makes the exit code 1.
  int repair() {
    Expect(args_, 2, 2);
    const keel::TableRepairReport report = keel::TTableRepair(folder(), args_.positional[1]).run();
    for (const std::string& line : report.rebuilt) out_ << "rebuilt: " << keel::AnsiToUtf8(line) << '\n';
    for (const std::string& line : report.lost) out_ << "not kept: " << keel::AnsiToUtf8(line) << '\n';
    return report.lost.empty() ? 0 : kExitProblems;
  }

  const Arguments& args_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  keel::TDataEngine engine_;
  keel::TDataSession session_;
  std::unique_ptr<keel::TDataDirectory> folder_;
};

}  // namespace

int RunKeelTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  try {
    Arguments parsed = Parse(args);
    return Tool(parsed, in, out, err).run();
  } catch (const EUsageError& error) {
    err << "keel: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  } catch (const keel::EKeelEngineError& error) {
    err << error.what() << '\n';
    return kExitEngine;
  }
}

}  // namespace mindrel
