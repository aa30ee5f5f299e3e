#pragma once

// A table with one column of every key type that filters answer from
// indexes, several indexes over them (descending, case-insensitive, two
// fields, one column left without), and a reference that evaluates a
// filter text record by record in physical order with the plain evaluator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/FieldColumns.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/FilterList.h"
#include "engine/sql/TemporalText.h"

namespace keel::testing {

namespace fs = std::filesystem;

inline FieldDescriptor Field(const std::string& name, FieldType type, uint16_t size = 0) {
  FieldDescriptor d;
  d.name = name;
  d.type = type;
  d.size = size;
  return d;
}

inline IndexDescriptor Index(const std::string& name, std::vector<IndexKeyField> fields,
                             bool caseInsensitive = false) {
  IndexDescriptor d;
  d.name = name;
  d.fields = std::move(fields);
  d.caseInsensitive = caseInsensitive;
  return d;
}

// One stored value per column; nullopt is NULL.
struct Values {
  std::optional<int32_t> I = std::nullopt;
  std::optional<int16_t> SI = std::nullopt;
  std::optional<uint16_t> W = std::nullopt;
  std::optional<int64_t> L = std::nullopt;
  std::optional<int16_t> B = std::nullopt;  // the stored boolean word; any nonzero value is true
  std::optional<double> F = std::nullopt;
  std::optional<int32_t> D = std::nullopt;
  std::optional<std::string> S = std::nullopt;
  std::optional<double> TS = std::nullopt;
  std::optional<double> T2 = std::nullopt;
};

inline int32_t Day(const std::string& text) {
  int32_t day = 0;
  EXPECT_TRUE(ParseDateText(text, day)) << text;
  return day;
}

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-filter-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    directory_ = std::make_unique<TDataDirectory>(session_, root_.string());
  }
  void TearDown() override {
    directory_.reset();
    fs::remove_all(root_);
  }

  // "T": I, SI, W, L, B, F, D, S (8 characters), TS, T2; every column but TS is
  // the first key field of some index.
  void CreateTable(uint32_t locale = 0) {
    TableCreateRequest request;
    request.name = "T";
    request.locale = locale;
    request.fields = {Field("I", FieldType::Integer),    Field("SI", FieldType::SmallInt),
                      Field("W", FieldType::Word),       Field("L", FieldType::LargeInt),
                      Field("B", FieldType::Boolean),    Field("F", FieldType::Float),
                      Field("D", FieldType::Date),       Field("S", FieldType::String, 8),
                      Field("TS", FieldType::Timestamp), Field("T2", FieldType::Timestamp)};
    request.secondaries = {Index("ByIS", {{1, false}, {8, false}}),
                           Index("ByI", {{1, false}}),
                           Index("BySI", {{2, true}}),
                           Index("ByWI", {{3, false}, {1, true}}),
                           Index("ByL", {{4, false}}),
                           Index("ByB", {{5, false}}),
                           Index("ByF", {{6, true}}),
                           Index("ByD", {{7, true}}),
                           Index("ByS", {{8, false}}),
                           Index("BySNoCase", {{8, true}}, true),
                           Index("ByT2", {{10, false}})};
    directory_->createTable(request);
  }

  void Add(const std::vector<Values>& rows) {
    TDataCursor cursor(*directory_, "T");
    for (const Values& v : rows) {
      std::vector<uint8_t> row = cursor.newRow();
      uint8_t bytes[8];
      auto put = [&](const char* name) { SetFieldValue(row, cursor.field(name), bytes, 0); };
      if (v.I) {
        StoreI32(bytes, *v.I);
        put("I");
      }
      if (v.SI) {
        StoreI16(bytes, *v.SI);
        put("SI");
      }
      if (v.W) {
        StoreU16(bytes, *v.W);
        put("W");
      }
      if (v.L) {
        StoreI64(bytes, *v.L);
        put("L");
      }
      if (v.B) {
        StoreI16(bytes, *v.B);
        put("B");
      }
      if (v.F) {
        StoreF64(bytes, *v.F);
        put("F");
      }
      if (v.D) {
        StoreI32(bytes, *v.D);
        put("D");
      }
      if (v.TS) {
        StoreF64(bytes, *v.TS);
        put("TS");
      }
      if (v.T2) {
        StoreF64(bytes, *v.T2);
        put("T2");
      }
      if (v.S) SetFieldText(row, cursor.field("S"), *v.S, 0);
      cursor.append(row);
    }
  }

  // Deletes the rows whose I is `value`.
  void DeleteWhereI(int32_t value) {
    TDataCursor cursor(*directory_, "T", {.physicalOrderOnly = true});
    std::vector<uint8_t> row(cursor.rowSize());
    for (Nav at = cursor.first(); at == Nav::Ok;) {
      cursor.currentRow(row);
      FieldRead read = GetField(row, cursor.field("I"));
      if (!read.isNull && LoadI32(read.bytes.data()) == value) {
        cursor.remove(row);
        at = cursor.isEof() ? Nav::Eof : Nav::Ok;
      } else {
        at = cursor.next();
      }
    }
  }

  // Physical row numbers of `table` for which the evaluator finds `text` true.
  std::set<int64_t> Reference(const std::string& text, TFilterOptions options = {},
                              const std::string& table = "T") {
    TDataCursor cursor(*directory_, table, {.physicalOrderOnly = true});
    TExpressionParser parser(TExpressionErrors::ForFilter(table));
    parser.Load(text);
    std::unique_ptr<TExpToken> tree = parser.ParseWholeText(FilterContext);
    TFieldColumns columns(cursor.fields());
    TExpressionVerifier verifier(parser.Errors(), columns);
    verifier.VerifyFilter(*tree);
    std::unique_ptr<TExpToken> prepared = TFilterPreparer::Prepare(*tree, options);
    TExpressionEvaluator evaluator(TCollation::ForLocale(cursor.table().locale(), table), clock_);
    TRowBufferAccessor rows(cursor.fields());
    evaluator.SetRowAccessor(&rows);
    std::set<int64_t> passing;
    std::vector<uint8_t> row(cursor.rowSize());
    for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next()) {
      cursor.currentRow(row);
      rows.SetRow(row);
      if (evaluator.Passes(*prepared)) passing.insert(cursor.currentRowNumber());
    }
    return passing;
  }

  // The rows a filtered cursor visits, in the order it visits them.
  static std::vector<int64_t> Visit(TDataCursor& cursor) {
    std::vector<int64_t> rows;
    for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next())
      rows.push_back(cursor.currentRowNumber());
    return rows;
  }
  static std::set<int64_t> AsSet(const std::vector<int64_t>& rows) { return {rows.begin(), rows.end()}; }

  // Rows of `text` through a filter on a cursor in physical order.
  std::set<int64_t> Filtered(const std::string& text, TFilterOptions options = {},
                             const std::string& table = "T") {
    TDataCursor cursor(*directory_, table, {.physicalOrderOnly = true});
    TFilterList filters(cursor);
    filters.add(text, options);
    return AsSet(Visit(cursor));
  }

  fs::path root_;
  mindrel::FixedClock clock_{mindrel::LocalDateTime{{2024, 5, 1}, 9, 30, 0, 0}};
  TDataEngine engine_{clock_};
  TDataSession session_{engine_};
  std::unique_ptr<TDataDirectory> directory_;
};

}  // namespace keel::testing
