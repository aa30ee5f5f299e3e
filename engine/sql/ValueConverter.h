#pragma once

// Conversions between the stored types of expression values (CAST, widening
// of branch results, strings compared with other types). Failures raise the
// SQL execution error 11950 with the offending value in the message.

#include <string>

#include "engine/sql/ExpToken.h"

namespace keel {

class TValueConverter {
 public:
  // Converts the value held by `value` to the type; a null stays null.
  static void Convert(TExpToken& value, FieldType type, FieldSubtype subtype = FieldSubtype::None,
                      uint32_t size = 0);

  // The value as a number: whole types and booleans from Int, the others from Real.
  static double AsDouble(const TExpToken& value);
  // Dates, times and timestamps as milliseconds (dates at midnight).
  static double AsMsecs(const TExpToken& value);

  [[noreturn]] static void RaiseExecution(const std::string& message);
};

}  // namespace keel
