// The whole alert scan as mindrel-list runs it (default settings: births of
// living people, marriages with a living partner, 30 days), over made-up
// trees of several sizes, against SQLite doing the same data work over the
// same rows in the same process:
//   - SELECT * FROM People WHERE Dead <> 1 AND [Search date~J] IS NOT NULL
//     ORDER BY [Search date~J], every column of every row read;
//   - SELECT * FROM Families WHERE [Marriage date~J] IS NOT NULL ORDER BY
//     [Marriage date~J], every column read, and for every family the living
//     partner looked up through indexes on Links(RecType, ChildMarr) and
//     People(Code).
// SQLite gets the rows copied from the tree's own tables, column for column,
// into an in-memory database, so both read the same bytes from memory.
//
// Reported per size: the median of three runs of each side in CPU and wall
// time, the ratio of the CPU times, the time per person, and the process's
// peak resident memory after each side; then the CPU time of every run, for
// the spread between them.
//
// Run: build/bin/bench_scan [--sizes 10000,100000,1000000]

#include <sqlite3.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/AlertSession.h"
#include "bench/BenchArguments.h"
#include "app/Settings.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataDirectory.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "formats/EventFormats.h"
#include "tools/mktree/TreeGenerator.h"
#include "tools/mktree/TreeWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace mindrel;

constexpr CivilDate kToday{2026, 12, 10};
constexpr int kRuns = 3;

struct Times {
  double Cpu = 0;
  double Wall = 0;
};

// The peak resident size since the last ResetPeak (VmHWM), so that making the
// tree does not count.
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

Times Measure(const std::function<void()>& work) {
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = bench::CpuSeconds();
  work();
  const double cpu = bench::CpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  return {cpu, wall};
}

Times Median(std::vector<Times> runs) {
  auto middle = [&](auto member) {
    std::vector<double> values;
    for (const Times& run : runs) values.push_back(run.*member);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  return {middle(&Times::Cpu), middle(&Times::Wall)};
}

void Check(int status, sqlite3* db, int expected = SQLITE_OK) {
  if (status == expected) return;
  std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
  std::exit(1);
}

class SqliteTree {
 public:
  SqliteTree() { Check(sqlite3_open(":memory:", &db_), db_); }
  ~SqliteTree() { sqlite3_close(db_); }
  SqliteTree(const SqliteTree&) = delete;
  SqliteTree& operator=(const SqliteTree&) = delete;

  void CopyTable(keel::TDataDirectory& folder, const std::string& table) {
    keel::TDataCursor cursor(folder, table);
    const std::vector<keel::FieldDescriptor>& fields = cursor.fields();
    std::string create = "CREATE TABLE \"" + table + "\" (";
    std::string insert = "INSERT INTO \"" + table + "\" VALUES (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      create += (i ? ", \"" : "\"") + fields[i].name + "\"";
      insert += i ? ", ?" : "?";
    }
    Execute(create + ")");
    Execute("BEGIN");
    sqlite3_stmt* statement = Prepare(insert + ")");
    std::vector<std::uint8_t> row(cursor.rowSize());
    for (keel::Nav at = cursor.first(); at == keel::Nav::Ok; at = cursor.next()) {
      cursor.currentRow(row);
      for (std::size_t i = 0; i < fields.size(); ++i) Bind(statement, static_cast<int>(i) + 1, row, fields[i]);
      Check(sqlite3_step(statement), db_, SQLITE_DONE);
      sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    Execute("COMMIT");
  }

  void Execute(const std::string& sql) { Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), db_); }

  // The scan's data work; answers the rows it read, so that both sides can be
  // seen to have done the same.
  long Scan() {
    long rows = ReadAll(
        "SELECT * FROM People WHERE Dead IS NOT 1 AND \"Search date~J\" IS NOT NULL ORDER BY \"Search date~J\"",
        nullptr);
    sqlite3_stmt* partners = Prepare("SELECT PersFam FROM Links WHERE RecType = 'P' AND ChildMarr = ?");
    sqlite3_stmt* person = Prepare("SELECT Dead FROM People WHERE Code = ?");
    int codeColumn = -1;
    long living = 0;
    rows += ReadAll(
        "SELECT * FROM Families WHERE \"Marriage date~J\" IS NOT NULL ORDER BY \"Marriage date~J\"",
        [&](sqlite3_stmt* family) {
          if (codeColumn < 0) codeColumn = ColumnNamed(family, "Code");
          living += HasLivingPartner(partners, person, sqlite3_column_int(family, codeColumn)) ? 1 : 0;
        });
    sqlite3_finalize(partners);
    sqlite3_finalize(person);
    livingFamilies_ = living;
    return rows;
  }

  long LivingFamilies() const { return livingFamilies_; }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), db_);
    return statement;
  }

  static void Bind(sqlite3_stmt* statement, int column, const std::vector<std::uint8_t>& row,
                   const keel::FieldDescriptor& field) {
    const keel::FieldRead read = keel::GetField(row, field);
    if (read.isNull) {
      sqlite3_bind_null(statement, column);
      return;
    }
    switch (field.type) {
      case keel::FieldType::String: {
        const auto* text = reinterpret_cast<const char*>(read.bytes.data());
        sqlite3_bind_text(statement, column, text, static_cast<int>(strnlen(text, read.bytes.size())),
                          SQLITE_TRANSIENT);
        return;
      }
      case keel::FieldType::Bytes:
      case keel::FieldType::VarBytes:
        sqlite3_bind_blob(statement, column, read.bytes.data(), static_cast<int>(read.bytes.size()),
                          SQLITE_TRANSIENT);
        return;
      case keel::FieldType::Boolean:
      case keel::FieldType::SmallInt:
      case keel::FieldType::Integer:
      case keel::FieldType::Word:
      case keel::FieldType::LargeInt:
        sqlite3_bind_int64(statement, column, std::strtoll(keel::FormatFieldText(field, read.bytes).c_str(), nullptr, 10));
        return;
      default:
        sqlite3_bind_text(statement, column, keel::FormatFieldText(field, read.bytes).c_str(), -1, SQLITE_TRANSIENT);
        return;
    }
  }

  static int ColumnNamed(sqlite3_stmt* statement, const char* name) {
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (std::strcmp(sqlite3_column_name(statement, i), name) == 0) return i;
    }
    std::fprintf(stderr, "no column %s\n", name);
    std::exit(1);
  }

  // Every column of every row is fetched, as the table engine copies them.
  long ReadAll(const std::string& sql, const std::function<void(sqlite3_stmt*)>& eachRow) {
    sqlite3_stmt* statement = Prepare(sql);
    long rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        sqlite3_column_blob(statement, i);
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, i));
      }
      if (eachRow) eachRow(statement);
      ++rows;
    }
    sqlite3_finalize(statement);
    return bytes > 0 ? rows : 0;
  }

  static bool HasLivingPartner(sqlite3_stmt* partners, sqlite3_stmt* person, int familyCode) {
    bool living = false;
    sqlite3_bind_int(partners, 1, familyCode);
    while (!living && sqlite3_step(partners) == SQLITE_ROW) {
      sqlite3_bind_int(person, 1, sqlite3_column_int(partners, 0));
      living = sqlite3_step(person) == SQLITE_ROW && sqlite3_column_int(person, 0) != 1;
      sqlite3_reset(person);
    }
    sqlite3_reset(partners);
    return living;
  }

  sqlite3* db_ = nullptr;
  long livingFamilies_ = 0;
};

TScanOptions DefaultOptions(const fs::path& folder) {
  TSettings settings;
  for (int index : {0, 1, 4, 5}) settings.EventItems[static_cast<std::size_t>(index)].Ticked = true;
  TScanOptions options = TScanOptions::From(settings, TEventFormats());
  options.Folders = {folder.string() + "/"};
  return options;
}

void RunSize(int people, const fs::path& root) {
  const fs::path folder = root / ("tree" + std::to_string(people));
  const fs::path data = root / ("data" + std::to_string(people));
  fs::create_directories(folder);
  fs::create_directories(data);
  const FixedClock clock(kToday);
  TTreeWriter(folder.string(), clock).Write(TTreeGenerator({people, 1, kToday}).Generate(), false);

  ResetPeak();
  TAlertSession session;
  session.Initialize(data.string() + "/");
  const TScanOptions options = DefaultOptions(folder);
  TAlertList alerts;
  std::vector<Times> keelRuns;
  for (int run = 0; run < kRuns; ++run) {
    keelRuns.push_back(Measure([&] {
      const std::vector<std::string> problems = session.RefreshOutputList(options, clock, alerts);
      if (!problems.empty()) std::fprintf(stderr, "%s\n", problems.front().c_str());
    }));
  }
  const double keelPeak = PeakMegabytes();
  ResetPeak();

  SqliteTree sqlite;
  {
    keel::TDataEngine engine;
    keel::TDataSession copySession(engine);
    keel::TDataDirectory tree(copySession, folder.string());
    for (const char* table : {"People", "Families", "Links"}) sqlite.CopyTable(tree, table);
  }
  sqlite.Execute("CREATE INDEX PeopleCode ON People(Code)");
  sqlite.Execute("CREATE INDEX LinksPartner ON Links(RecType, ChildMarr)");
  long sqliteRows = 0;
  std::vector<Times> sqliteRuns;
  for (int run = 0; run < kRuns; ++run) sqliteRuns.push_back(Measure([&] { sqliteRows = sqlite.Scan(); }));

  const Times keel = Median(keelRuns);
  const Times peer = Median(sqliteRuns);
  std::printf("%9d people  %6d alerts  scan cpu %7.3f s wall %7.3f s  |  sqlite (%ld rows, %ld living couples)"
              " cpu %7.3f s wall %7.3f s  |  cpu ratio %5.2f  |  %.2f us/person  |  peak RSS: scan %.0f MB,"
              " sqlite %.0f MB\n",
              people, alerts.Count(), keel.Cpu, keel.Wall, sqliteRows, sqlite.LivingFamilies(), peer.Cpu, peer.Wall,
              keel.Cpu / peer.Cpu, keel.Cpu / people * 1e6, keelPeak, PeakMegabytes());
  std::printf("           cpu of each run:");
  for (const Times& run : keelRuns) std::printf(" %.3f", run.Cpu);
  std::printf(" s  |  sqlite");
  for (const Times& run : sqliteRuns) std::printf(" %.3f", run.Cpu);
  std::printf(" s\n");
  std::fflush(stdout);
  fs::remove_all(folder);
  fs::remove_all(data);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench-scan-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  for (int people : bench::Sizes(argc, argv, "10000,100000,1000000")) RunSize(people, root);
  fs::remove_all(root);
  return 0;
}
