#pragma once

// The permissions an expression is parsed under. Sub-expressions (parenthesised
// expressions, function arguments) inherit the set without AllowStar.

#include <cstdint>

namespace keel {

enum TExpPermission : uint8_t {
  AllowAggregates = 1,
  AllowStar = 2,
  AllowPredicates = 4,
  AllowParams = 8,
  AllowSubqueries = 16,
  AllowQualified = 32,
};

struct TExpContext {
  uint8_t Permissions = 0;
  bool SinglePrimary = false;  // only one primary is parsed (names)

  bool Allows(TExpPermission permission) const { return (Permissions & permission) != 0; }
  TExpContext WithoutStar() const { return {static_cast<uint8_t>(Permissions & ~AllowStar), SinglePrimary}; }
};

inline constexpr TExpContext SelectItemContext{AllowAggregates | AllowStar | AllowPredicates | AllowQualified, false};
inline constexpr TExpContext WhereContext{AllowPredicates | AllowParams | AllowSubqueries | AllowQualified, false};
inline constexpr TExpContext JoinContext{AllowPredicates | AllowParams | AllowQualified, false};
inline constexpr TExpContext HavingContext{AllowAggregates | AllowPredicates | AllowQualified, false};
inline constexpr TExpContext NameContext{AllowQualified, true};
inline constexpr TExpContext FilterContext{AllowPredicates, false};

}  // namespace keel
