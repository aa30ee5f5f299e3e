// SELECT execution over a synthetic family-tree People table of 100,000 rows
// (40 columns: names, places, a "Dead" flag, three dates of three columns
// each with the 72-byte date record, and filler), against SQLite answering
// the same queries over the same rows in the same process.
//
// Workloads, each run to the last result row with every column read:
//   birth_living  "P.[Dead] <> True AND P.[Search date~J] IS NOT NULL" by Search date~J
//   birth_all     "P.[Search date~J] IS NOT NULL" by Search date~J
//   death         "P.[Death date~J] IS NOT NULL" by Death date~J
//   custom_living "P.[Dead] <> True AND P.[Christening date~J] IS NOT NULL" by Christening date~J
//
// After the Google Benchmark runs, a summary gives the median of five runs
// per query for both engines, their ratio, and the process's peak memory.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/SelectExecutor.h"
#include "tests/support/Descriptors.h"

namespace {

namespace fs = std::filesystem;
using keel::testing::Field;
using keel::FieldDescriptor;
using keel::FieldType;

constexpr int kRows = 100'000;
const char* const kDates[] = {"Search date", "Death date", "Christening date"};
constexpr int kFillerColumns = 21;

struct Query {
  const char* Name;
  std::string Keel;
  std::string Sqlite;
};

const std::vector<Query>& Queries() {
  static const std::vector<Query> queries = {
      {"birth_living",
       "SELECT *\nFROM People P\nWHERE P.[Dead] <> True AND P.[Search date~J] IS NOT NULL\nORDER BY "
       "P.[Search date~J]",
       "SELECT * FROM People WHERE Dead IS NOT 1 AND SearchJ IS NOT NULL ORDER BY SearchJ, rowid"},
      {"birth_all",
       "SELECT *\nFROM People P\nWHERE P.[Search date~J] IS NOT NULL\nORDER BY P.[Search date~J]",
       "SELECT * FROM People WHERE SearchJ IS NOT NULL ORDER BY SearchJ, rowid"},
      {"death", "SELECT *\nFROM People P\nWHERE P.[Death date~J] IS NOT NULL\nORDER BY P.[Death date~J]",
       "SELECT * FROM People WHERE DeathJ IS NOT NULL ORDER BY DeathJ, rowid"},
      {"custom_living",
       "SELECT *\nFROM People P\nWHERE P.[Dead] <> True AND P.[Christening date~J] IS NOT NULL\n"
       "ORDER BY P.[Christening date~J]",
       "SELECT * FROM People WHERE Dead IS NOT 1 AND ChristeningJ IS NOT NULL ORDER BY ChristeningJ, rowid"},
  };
  return queries;
}

// One synthetic person; optional values are null.
struct Person {
  int32_t Code = 0;
  std::string Given, Surname, Sex, Place, Occupation;
  int Dead = -1;        // -1 null, 0, 1
  int32_t Day[3] = {};  // 0: no date
  std::vector<int32_t> Filler;
};

std::vector<Person> MakePeople() {
  std::mt19937 random(20240501);
  auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
  const char* given[] = {"Anna", "Bert", "Carl", "Dora", "Emil", "Frieda", "Gustav", "Hanna"};
  const char* surnames[] = {"Meyer", "Schmidt", "Fischer", "Weber", "Wagner", "Becker", "Hoffmann", "Koch"};
  std::vector<Person> people(kRows);
  for (int i = 0; i < kRows; ++i) {
    Person& p = people[static_cast<size_t>(i)];
    p.Code = i + 1;
    p.Given = given[random() % 8];
    p.Surname = surnames[random() % 8];
    p.Sex.assign(1, chance(50) ? 'M' : 'F');
    p.Place = std::string("Parish ").append(std::to_string(random() % 500));
    p.Occupation = chance(40) ? "Farmer" : "";
    const bool dead = chance(35);
    p.Dead = chance(10) ? -1 : (dead ? 1 : 0);
    if (chance(85)) p.Day[0] = 2'300'000 + static_cast<int32_t>(random() % 80'000);
    if (dead && chance(80)) p.Day[1] = 2'330'000 + static_cast<int32_t>(random() % 50'000);
    if (chance(20)) p.Day[2] = 2'300'000 + static_cast<int32_t>(random() % 80'000);
    for (int f = 0; f < kFillerColumns; ++f) p.Filler.push_back(static_cast<int32_t>(random() % 100'000));
  }
  return people;
}

std::vector<uint8_t> DateRecord(int32_t day) {
  std::vector<uint8_t> record(72, 0);
  keel::StoreI32(record.data(), day);
  return record;
}

class KeelFolder {
 public:
  explicit KeelFolder(const fs::path& root) : root_(root) {
    engine_.settings().TableDataTempExtension = ".tmpd";
    engine_.settings().TableIndexTempExtension = ".tmpi";
    engine_.settings().TableBlobTempExtension = ".tmpb";
    fs::create_directories(root_ / "db");
    fs::create_directories(root_ / "private");
    folder_ = std::make_unique<keel::TDataDirectory>(session_, (root_ / "db").string());
  }

  void Build(const std::vector<Person>& people) {
    keel::TableCreateRequest request;
    request.name = "People";
    request.userMajor = 3;
    request.fields = {Field("Code", FieldType::Integer),         Field("Given", FieldType::String, 40),
                      Field("Surname", FieldType::String, 40),   Field("Sex", FieldType::String, 1),
                      Field("Dead", FieldType::Boolean),         Field("Search place", FieldType::String, 60),
                      Field("Occupation", FieldType::String, 40)};
    for (const char* date : kDates) {
      request.fields.push_back(Field(std::string(date) + "~B", FieldType::Bytes, 72));
      request.fields.push_back(Field(std::string(date) + "~J", FieldType::Integer));
      request.fields.push_back(Field(std::string(date) + "~D", FieldType::String, 40));
    }
    for (int f = 0; f < kFillerColumns; ++f)
      request.fields.push_back(Field(std::string("Extra ").append(std::to_string(f)), FieldType::Integer));
    request.primary.fields = {{1, false}};
    folder_->createTable(request);
    keel::TDataCursor cursor(*folder_, "People");
    const auto& fields = cursor.fields();
    for (const Person& p : people) {
      std::vector<uint8_t> row = cursor.newRow();
      SetInt(row, fields[0], p.Code);
      keel::SetFieldText(row, fields[1], p.Given, 0);
      keel::SetFieldText(row, fields[2], p.Surname, 0);
      keel::SetFieldText(row, fields[3], p.Sex, 0);
      if (p.Dead >= 0) {
        uint8_t flag[2];
        keel::StoreI16(flag, static_cast<int16_t>(p.Dead));
        keel::SetFieldValue(row, fields[4], flag, 0);
      }
      keel::SetFieldText(row, fields[5], p.Place, 0);
      keel::SetFieldText(row, fields[6], p.Occupation, 0);
      for (int d = 0; d < 3; ++d) {
        if (p.Day[d] == 0) continue;
        keel::SetFieldValue(row, fields[7 + 3 * d], DateRecord(p.Day[d]), 0);
        SetInt(row, fields[8 + 3 * d], p.Day[d]);
        keel::SetFieldText(row, fields[9 + 3 * d], std::string("day ").append(std::to_string(p.Day[d])), 0);
      }
      for (int f = 0; f < kFillerColumns; ++f)
        SetInt(row, fields[16 + static_cast<size_t>(f)], p.Filler[static_cast<size_t>(f)]);
      cursor.append(row);
    }
  }

  // Runs the query to its last row, reading every row; answers the row count.
  int64_t Run(const std::string& sql) {
    keel::TSelectSettings settings;
    settings.PrivateDir = (root_ / "private").string() + "/";
    keel::TSelectExecutor executor(*folder_, settings);
    executor.Prepare(sql);
    keel::TDataCursor& result = executor.Execute();
    std::vector<uint8_t> row(result.rowSize());
    int64_t rows = 0;
    uint64_t checksum = 0;
    for (keel::Nav at = result.first(); at == keel::Nav::Ok; at = result.next()) {
      result.currentRow(row);
      checksum += row[30];
      ++rows;
    }
    benchmark::DoNotOptimize(checksum);
    return rows;
  }

 private:
  static void SetInt(std::span<uint8_t> row, const FieldDescriptor& field, int32_t value) {
    uint8_t bytes[4];
    keel::StoreI32(bytes, value);
    keel::SetFieldValue(row, field, bytes, 0);
  }

  fs::path root_;
  keel::TDataEngine engine_;
  keel::TDataSession session_{engine_};
  std::unique_ptr<keel::TDataDirectory> folder_;
};

class SqliteDatabase {
 public:
  explicit SqliteDatabase(const fs::path& file) { sqlite3_open(file.string().c_str(), &db_); }
  ~SqliteDatabase() { sqlite3_close(db_); }

  void Build(const std::vector<Person>& people) {
    std::string columns =
        "Code INTEGER PRIMARY KEY, Given TEXT, Surname TEXT, Sex TEXT, Dead INTEGER, Place TEXT, Occupation "
        "TEXT";
    const char* names[] = {"Search", "Death", "Christening"};
    for (const char* name : names) {
      columns += std::string(", ") + name + "B BLOB, " + name + "J INTEGER, " + name + "D TEXT";
    }
    for (int f = 0; f < kFillerColumns; ++f)
      columns += std::string(", Extra").append(std::to_string(f)) + " INTEGER";
    Exec("CREATE TABLE People (" + columns + ")");
    Exec("BEGIN");
    std::string insert = "INSERT INTO People VALUES (?";
    for (int c = 1; c < 7 + 9 + kFillerColumns; ++c) insert += ",?";
    insert += ")";
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, insert.c_str(), -1, &statement, nullptr);
    for (const Person& p : people) {
      int c = 1;
      sqlite3_bind_int(statement, c++, p.Code);
      for (const std::string* text : {&p.Given, &p.Surname, &p.Sex}) BindText(statement, c++, *text);
      if (p.Dead >= 0)
        sqlite3_bind_int(statement, c++, p.Dead);
      else
        sqlite3_bind_null(statement, c++);
      BindText(statement, c++, p.Place);
      BindText(statement, c++, p.Occupation);
      for (int d = 0; d < 3; ++d) {
        if (p.Day[d] == 0) {
          for (int k = 0; k < 3; ++k) sqlite3_bind_null(statement, c++);
          continue;
        }
        std::vector<uint8_t> record = DateRecord(p.Day[d]);
        sqlite3_bind_blob(statement, c++, record.data(), static_cast<int>(record.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(statement, c++, p.Day[d]);
        BindText(statement, c++, std::string("day ").append(std::to_string(p.Day[d])));
      }
      for (int32_t value : p.Filler) sqlite3_bind_int(statement, c++, value);
      sqlite3_step(statement);
      sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    Exec("COMMIT");
  }

  int64_t Run(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
    int64_t rows = 0;
    uint64_t checksum = 0;
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(statement, c)) {
          case SQLITE_INTEGER:
            checksum += static_cast<uint64_t>(sqlite3_column_int64(statement, c));
            break;
          case SQLITE_TEXT:
            checksum += static_cast<uint64_t>(sqlite3_column_bytes(statement, c));
            break;
          case SQLITE_BLOB:
            checksum += static_cast<const uint8_t*>(sqlite3_column_blob(statement, c))[0];
            break;
          default:
            break;
        }
      }
      ++rows;
    }
    sqlite3_finalize(statement);
    benchmark::DoNotOptimize(checksum);
    return rows;
  }

 private:
  void Exec(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  static void BindText(sqlite3_stmt* statement, int column, const std::string& text) {
    if (text.empty())
      sqlite3_bind_null(statement, column);
    else
      sqlite3_bind_text(statement, column, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }

  sqlite3* db_ = nullptr;
};

struct Fixture {
  fs::path root;
  std::unique_ptr<KeelFolder> keel;
  std::unique_ptr<SqliteDatabase> sqlite;
};

Fixture& Data() {
  static Fixture fixture = [] {
    Fixture f;
    f.root = fs::temp_directory_path() /
             (std::string("bench-select-").append(std::to_string(std::random_device{}())));
    fs::create_directories(f.root);
    std::vector<Person> people = MakePeople();
    f.keel = std::make_unique<KeelFolder>(f.root);
    f.keel->Build(people);
    f.sqlite = std::make_unique<SqliteDatabase>(f.root / "people.sqlite");
    f.sqlite->Build(people);
    return f;
  }();
  return fixture;
}

// Peak resident memory of the process in KiB ("VmHWM").
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

void BM_Keel(benchmark::State& state, const Query* query) {
  int64_t rows = 0;
  for (auto _ : state) rows = Data().keel->Run(query->Keel);
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_Sqlite(benchmark::State& state, const Query* query) {
  int64_t rows = 0;
  for (auto _ : state) rows = Data().sqlite->Run(query->Sqlite);
  state.counters["rows"] = static_cast<double>(rows);
}

double MedianMs(const std::function<int64_t()>& run, int64_t& rows) {
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    auto start = std::chrono::steady_clock::now();
    rows = run();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[2];
}

void Summary() {
  std::printf("\n%-14s %8s %10s %10s %7s\n", "query", "rows", "keel ms", "sqlite ms", "ratio");
  for (const Query& query : Queries()) {
    int64_t keelRows = 0, sqliteRows = 0;
    double keelMs = MedianMs([&] { return Data().keel->Run(query.Keel); }, keelRows);
    double sqliteMs = MedianMs([&] { return Data().sqlite->Run(query.Sqlite); }, sqliteRows);
    std::printf("%-14s %8lld %10.1f %10.1f %7.2f%s\n", query.Name, static_cast<long long>(keelRows), keelMs,
                sqliteMs, keelMs / sqliteMs, keelRows == sqliteRows ? "" : "  ROW COUNTS DIFFER");
  }
  std::printf("peak resident memory: %ld KiB\n", PeakKiB());
}

}  // namespace

int main(int argc, char** argv) {
  auto start = std::chrono::steady_clock::now();
  Data();
  std::printf("tables built in %.1f s; peak resident memory after building: %ld KiB\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), PeakKiB());
  for (const Query& query : Queries()) {
    benchmark::RegisterBenchmark((std::string("keel/") + query.Name).c_str(), BM_Keel, &query)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("sqlite/") + query.Name).c_str(), BM_Sqlite, &query)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary();
  Data().keel.reset();
  Data().sqlite.reset();
  fs::remove_all(Data().root);
  return 0;
}
