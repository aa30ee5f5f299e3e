#pragma once

// Random rows for the fixture's table "T" and random filter expressions over
// its columns: constants near the stored values, every operator, NOT, OR,
// AND chains, IN, BETWEEN, UPPER/LOWER, wildcards and unoptimisable terms.

#include <random>
#include <string>
#include <vector>

#include "tests/sql-filter/FilterFixture.h"

namespace keel::testing {

constexpr uint32_t kGermanLocale = 1031;  // strings ordered by a collation, not by bytes

class RandomFilters {
 public:
  explicit RandomFilters(uint32_t seed) : random_(seed) {}

  std::vector<Values> Rows(int count) {
    std::vector<Values> rows;
    for (int i = 0; i < count; ++i) {
      Values v;
      if (Present()) v.I = Pick<int32_t>({-3, -1, 0, 1, 2, 3});
      if (Present()) v.SI = Pick<int16_t>({-2, 0, 1, 2});
      if (Present()) v.W = Pick<uint16_t>({0, 1, 3, 65535});
      if (Present()) v.L = Pick<int64_t>({-5, 0, 5, int64_t{1} << 40});
      if (Present()) v.B = Pick<int16_t>({0, 1, 0, 1, 7, -1});
      if (Present()) v.F = Pick<double>({-1.5, -0.0, 0.0, 2.25, 3.0});
      if (Present()) v.D = Day("2024-01-01") + Pick<int32_t>({0, 1, 2, 3});
      if (Present())
        v.S = Pick<std::string>({"a", "A", "ab", "AB", "Ab", "ab ", "abc", "b", "b ", " a", "", "zz"});
      if (Present()) v.TS = (Day("2024-01-01") + Pick<double>({0, 1})) * 86400000.0;
      if (Present()) v.T2 = (Day("2024-01-01") + Pick<double>({0, 0.5, 1, 2})) * 86400000.0;
      rows.push_back(std::move(v));
    }
    return rows;
  }

  std::string Expression(int depth) {
    if (depth == 0 || Chance(35)) return Condition();
    switch (Below(4)) {
      case 0:
        return "NOT (" + Expression(depth - 1) + ")";
      case 1:
        return "(" + Expression(depth - 1) + ") OR (" + Expression(depth - 1) + ")";
      default:
        return Expression(depth - 1) + " AND " + Expression(depth - 1);
    }
  }

  TFilterOptions Options() { return {.CaseInsensitive = Chance(30), .WholeValue = Chance(30)}; }
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

 private:
  struct Column {
    const char* name;
    std::vector<std::string> constants;
  };

  std::string Condition() {
    static const std::vector<Column> columns = {
        {"I", {"-3", "0", "1", "2", "3", "7", "2.5", "2.0", "-1"}},
        {"SI", {"-2", "0", "2", "40000"}},
        {"W", {"0", "1", "3", "65535", "-1"}},
        {"L", {"-5", "0", "5", "1099511627776", "1099511627777"}},
        {"B", {"TRUE", "FALSE", "0", "1"}},
        {"F", {"-1.5", "0", "2.25", "3", "1"}},
        {"D", {"'2024-01-01'", "'2024-01-02'", "'2024-01-04'", "'2023-12-31'"}},
        {"S",
         {"'a'", "'ab'", "'AB'", "'ab '", "'ab*'", "'A*'", "'*'", "'b'", "'zz'", "'abcdefghijk'", "'a**'"}},
        {"TS", {"'2024-01-01'", "'2024-01-02 00:00'"}},
        {"T2", {"'2024-01-01'", "'2024-01-02 00:00'", "'2024-01-01 12:00'", "'2024-01-03 06:00'"}},
    };
    static const std::vector<std::string> operators = {"=", "<>", "<", ">", "<=", ">="};
    const Column& column = columns[static_cast<size_t>(Below(static_cast<int>(columns.size())))];
    const std::string name = column.name;
    auto constant = [&] {
      return column.constants[static_cast<size_t>(Below(static_cast<int>(column.constants.size())))];
    };
    const std::string op = operators[static_cast<size_t>(Below(6))];
    switch (Below(14)) {
      case 0:
        return constant() + " " + op + " " + name;
      case 1:
        return name + " IS NULL";
      case 2:
        return name + " IS NOT NULL";
      case 3:
        return name + (Chance(50) ? " NOT" : "") + " IN (" + constant() + ", " + constant() +
               (Chance(30) ? ", NULL)" : ")");
      case 4:
        return name + (Chance(50) ? " NOT" : "") + " BETWEEN " + constant() + " AND " + constant();
      case 5:
        return std::string(Chance(50) ? "UPPER" : "LOWER") + "(S) " + (Chance(50) ? "=" : op) + " " +
               Pick<std::string>({"'AB'", "'ab'", "'A*'", "'B'", "'Ab'"});
      case 6:
        return Pick<std::string>({"I + 1 > 2", "I = SI", "S LIKE 'a%'", "TRUE", "FALSE", "B", "SI * 2 <= W"});
      default:
        return name + " " + op + " " + constant();
    }
  }

  bool Present() { return !Chance(20); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + Below(static_cast<int>(values.size())));
  }

  std::mt19937 random_;
};

}  // namespace keel::testing
