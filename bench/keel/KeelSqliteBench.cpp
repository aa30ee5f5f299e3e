// The storage engine against SQLite in one process, over the same rows of a
// 20-field table: Code (integer, unique index), Name and Town (texts, one
// non-unique index on both), Born (date), eight more integers and eight more
// short texts. Both write into a temporary folder on disk.
//
// Workloads, each run once and reported in rows per second:
//   insert          add the rows one by one (the table opened exclusively and
//                   written back at close / one SQLite transaction, committed)
//   scan_primary    read every whole row in primary-key order
//   scan_secondary  read every whole row in Name;Town order
//   find            100,000 random codes looked up on the unique index
//   raw_read        read the data file's bytes front to back (the floor for a
//                   sequential scan of the same data)
//
// Usage: bench_keel_sqlite [ROWS]   (default 1,000,000)

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "tests/support/Descriptors.h"

namespace {

namespace fs = std::filesystem;
using keel::testing::Field;
using keel::testing::Index;
using namespace keel;

constexpr int kProbes = 100'000;
constexpr int kExtraInts = 8;
constexpr int kExtraTexts = 8;

// The values of row i (0-based) of n: codes are a permutation of 1..n, so the
// primary order and the code order differ.
struct RowValues {
  int code = 0;
  std::string name;
  std::string town;
  int born = 0;
  std::array<int, kExtraInts> ints{};
  std::array<std::string, kExtraTexts> texts;
};

// Appends rather than "literal" + string: GCC 12 at -O3 warns falsely about
// the latter (-Wrestrict).
std::string Numbered(const char* prefix, int n) {
  std::string text(prefix);
  text += std::to_string(n);
  return text;
}

RowValues ValuesOf(int i, int n) {
  RowValues v;
  v.code = static_cast<int>((static_cast<int64_t>(i) * 7919) % n) + 1;
  v.name = Numbered("Name", (v.code * 31) % 50'021);
  v.town = Numbered("Town", v.code % 997);
  v.born = 690'000 + v.code % 40'000;
  for (int k = 0; k < kExtraInts; ++k) v.ints[k] = v.code * (k + 3);
  for (int k = 0; k < kExtraTexts; ++k) v.texts[k] = Numbered("t", v.code % (1000 + k));
  return v;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timings {
  double insert = 0;
  double scanPrimary = 0;
  double scanSecondary = 0;
  double find = 0;
};

class KeelSide {
 public:
  explicit KeelSide(const fs::path& folder) : session_(engine_), directory_(session_, folder.string()) {
    TableCreateRequest request;
    request.name = "People";
    request.fields = {Field("Code", FieldType::Integer), Field("Name", FieldType::String, 20),
                      Field("Town", FieldType::String, 20), Field("Born", FieldType::Date)};
    for (int k = 0; k < kExtraInts; ++k)
      request.fields.push_back(Field(Numbered("I", k), FieldType::Integer));
    for (int k = 0; k < kExtraTexts; ++k)
      request.fields.push_back(Field(Numbered("S", k), FieldType::String, 12));
    request.secondaries = {Index("ByCode", {1}, true), Index("ByName", {2, 3}, false)};
    directory_.createTable(request);
    dataPath_ = directory_.paths("People", false).data;
  }

  const std::string& dataPath() const { return dataPath_; }

  Timings run(int rows) {
    Timings t;
    t.insert = Seconds([&] {
      TDataCursor cursor(directory_, "People", CursorOpenFlags{.exclusive = true});
      for (int i = 0; i < rows; ++i) {
        std::vector<uint8_t> row = rowOf(cursor, ValuesOf(i, rows));
        cursor.append(row);
      }
    });  // the cursor's close writes the table back
    TDataCursor cursor(directory_, "People", CursorOpenFlags{.exclusive = true});
    t.scanPrimary = Seconds([&] { check(scan(cursor), rows, "primary scan"); });
    cursor.setIndex("ByName");
    t.scanSecondary = Seconds([&] { check(scan(cursor), rows, "secondary scan"); });
    cursor.setIndex("ByCode");
    std::mt19937 random(7);
    std::vector<uint8_t> probe = cursor.newRow();
    std::vector<uint8_t> code(4);
    int found = 0;
    t.find = Seconds([&] {
      for (int i = 0; i < kProbes; ++i) {
        StoreI32(code.data(), 1 + static_cast<int>(random() % rows));
        SetFieldValue(probe, cursor.field(1), code, 0);
        if (cursor.findKey(probe)) ++found;
      }
    });
    check(found, kProbes, "finds");
    return t;
  }

 private:
  std::vector<uint8_t> rowOf(TDataCursor& cursor, const RowValues& v) {
    std::vector<uint8_t> row = cursor.newRow();
    std::vector<uint8_t> number(4);
    auto integer = [&](uint16_t field, int value) {
      StoreI32(number.data(), value);
      SetFieldValue(row, cursor.field(field), number, 0);
    };
    integer(1, v.code);
    SetFieldText(row, cursor.field(2), v.name, 0);
    SetFieldText(row, cursor.field(3), v.town, 0);
    integer(4, v.born);
    for (int k = 0; k < kExtraInts; ++k) integer(static_cast<uint16_t>(5 + k), v.ints[k]);
    for (int k = 0; k < kExtraTexts; ++k)
      SetFieldText(row, cursor.field(static_cast<uint16_t>(5 + kExtraInts + k)), v.texts[k], 0);
    return row;
  }

  static int scan(TDataCursor& cursor) {
    std::vector<uint8_t> row(cursor.rowSize());
    int count = 0;
    for (Nav n = cursor.first(); n == Nav::Ok; n = cursor.next(row)) ++count;
    return count;
  }

  static void check(int got, int wanted, const char* what) {
    if (got == wanted) return;
    std::fprintf(stderr, "%s: %d rows instead of %d\n", what, got, wanted);
    std::exit(1);
  }

  TDataEngine engine_;
  TDataSession session_;
  TDataDirectory directory_;
  std::string dataPath_;
};

class SqliteSide {
 public:
  explicit SqliteSide(const fs::path& file) {
    if (sqlite3_open(file.string().c_str(), &db_) != SQLITE_OK) fail("open");
    std::string columns = "id INTEGER PRIMARY KEY, code INTEGER, name TEXT, town TEXT, born INTEGER";
    for (int k = 0; k < kExtraInts; ++k) columns += ", i" + std::to_string(k) + " INTEGER";
    for (int k = 0; k < kExtraTexts; ++k) columns += ", s" + std::to_string(k) + " TEXT";
    exec("CREATE TABLE people(" + columns + ")");
    exec("CREATE UNIQUE INDEX by_code ON people(code)");
    exec("CREATE INDEX by_name ON people(name, town)");
  }
  ~SqliteSide() { sqlite3_close(db_); }

  Timings run(int rows) {
    Timings t;
    t.insert = Seconds([&] {
      exec("BEGIN");
      std::string markers;
      for (int k = 0; k < 4 + kExtraInts + kExtraTexts; ++k) markers += ",?";
      sqlite3_stmt* insert = prepare("INSERT INTO people VALUES(NULL" + markers + ")");
      for (int i = 0; i < rows; ++i) {
        const RowValues v = ValuesOf(i, rows);
        int column = 1;
        sqlite3_bind_int(insert, column++, v.code);
        sqlite3_bind_text(insert, column++, v.name.c_str(), static_cast<int>(v.name.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, column++, v.town.c_str(), static_cast<int>(v.town.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, column++, v.born);
        for (int value : v.ints) sqlite3_bind_int(insert, column++, value);
        for (const std::string& text : v.texts)
          sqlite3_bind_text(insert, column++, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE) fail("insert");
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
      exec("COMMIT");
    });
    exec("BEGIN");
    t.scanPrimary = Seconds([&] { check(scan("SELECT * FROM people ORDER BY id"), rows); });
    t.scanSecondary = Seconds([&] { check(scan("SELECT * FROM people ORDER BY name, town"), rows); });
    sqlite3_stmt* find = prepare("SELECT * FROM people WHERE code = ?");
    std::mt19937 random(7);
    int found = 0;
    t.find = Seconds([&] {
      for (int i = 0; i < kProbes; ++i) {
        sqlite3_bind_int(find, 1, 1 + static_cast<int>(random() % rows));
        if (sqlite3_step(find) == SQLITE_ROW) ++found;
        sqlite3_reset(find);
      }
    });
    sqlite3_finalize(find);
    exec("COMMIT");
    check(found, kProbes);
    return t;
  }

 private:
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) fail(sql.c_str());
    return statement;
  }
  void exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql.c_str());
  }
  // Every column of every row is fetched, as a Keel row read copies them all.
  int scan(const std::string& sql) {
    sqlite3_stmt* statement = prepare(sql);
    const int columns = sqlite3_column_count(statement);
    int count = 0;
    int64_t sum = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c)
        sum += sqlite3_column_bytes(statement, c) + sqlite3_column_int(statement, c);
      ++count;
    }
    sqlite3_finalize(statement);
    if (sum == -1) std::puts("");  // keeps the column reads
    return count;
  }
  static void check(int got, int wanted) {
    if (got == wanted) return;
    std::fprintf(stderr, "sqlite: %d rows instead of %d\n", got, wanted);
    std::exit(1);
  }
  [[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db_));
    std::exit(1);
  }

  sqlite3* db_ = nullptr;
};

// Reads the file front to back in 1 MB pieces, touching every byte.
double RawRead(const std::string& path, uint64_t& bytes) {
  std::vector<char> piece(1 << 20);
  uint64_t sum = 0;
  bytes = 0;
  const double seconds = Seconds([&] {
    std::ifstream in(path, std::ios::binary);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
      const auto got = static_cast<size_t>(in.gcount());
      for (size_t i = 0; i < got; ++i) sum += static_cast<uint8_t>(piece[i]);
      bytes += got;
    }
  });
  if (sum == 1) std::puts("");  // keeps the byte reads
  return seconds;
}

void Report(const char* what, int rows, double keel, double sqlite) {
  std::printf("%-16s keel %12.0f rows/s   sqlite %12.0f rows/s   keel/sqlite %.2f\n", what, rows / keel,
              rows / sqlite, sqlite / keel);
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
  if (rows < 1) {
    std::fprintf(stderr, "usage: bench_keel_sqlite [ROWS]\n");
    return 64;
  }
  const fs::path folder =
      fs::temp_directory_path() / ("keel-vs-sqlite-" + std::to_string(std::random_device()()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  int status = 0;
  try {
    KeelSide keel(folder);
    const Timings k = keel.run(rows);
    uint64_t bytes = 0;
    const double raw = RawRead(keel.dataPath(), bytes);
    SqliteSide sqlite(folder / "people.db");
    const Timings s = sqlite.run(rows);

    std::printf("%d rows, %d finds; data file %.1f MB\n", rows, kProbes, bytes / 1e6);
    Report("insert", rows, k.insert, s.insert);
    Report("scan_primary", rows, k.scanPrimary, s.scanPrimary);
    Report("scan_secondary", rows, k.scanSecondary, s.scanSecondary);
    Report("find", kProbes, k.find, s.find);
    std::printf("%-16s %12.0f rows/s (%.0f MB/s); keel primary scan at %.3f of it\n", "raw_read", rows / raw,
                bytes / 1e6 / raw, raw / k.scanPrimary);
  } catch (const EKeelEngineError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 2;
  }
  fs::remove_all(folder);
  return status;
}
