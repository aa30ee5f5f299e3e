#include "engine/sql/ValueConverter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/core/ErrorCodes.h"
#include "engine/sql/ExpTypes.h"
#include "engine/sql/TemporalText.h"

namespace keel {

namespace {

using FT = FieldType;

bool IsWhole(FT type) { return IsIntegerType(type) || type == FT::LargeInt; }

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string NumberText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string AsText(const TExpToken& value) {
  FT type = value.Type;
  if (HoldsText(type)) return value.Str;
  if (type == FT::Boolean) return value.Int != 0 ? "TRUE" : "FALSE";
  if (IsWhole(type)) return std::to_string(value.Int);
  if (type == FT::Date) return FormatDateText(static_cast<int32_t>(value.Int));
  if (type == FT::Time) return FormatTimeText(static_cast<int32_t>(value.Int));
  if (type == FT::Timestamp) return FormatTimestampText(value.Real);
  return NumberText(value.Real);
}

int64_t RangeChecked(double number, const std::string& shown) {
  if (!std::isfinite(number) || number < -9.2233720368547758e18 || number >= 9.2233720368547758e18) {
    TValueConverter::RaiseExecution("'" + shown + "' is not a valid integer value");
  }
  return static_cast<int64_t>(std::trunc(number));
}

int64_t ToWhole(const TExpToken& value) {
  if (IsWhole(value.Type) || value.Type == FT::Boolean || value.Type == FT::Date || value.Type == FT::Time) {
    return value.Int;
  }
  if (value.Type == FT::String) {
    std::string text = TrimBlanks(value.Str);
    int64_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      TValueConverter::RaiseExecution("'" + value.Str + "' is not a valid integer value");
    }
    return number;
  }
  if (HoldsReal(value.Type)) return RangeChecked(value.Real, AsText(value));
  TValueConverter::RaiseExecution("'" + AsText(value) + "' is not a valid integer value");
}

double ToReal(const TExpToken& value) {
  if (value.Type == FT::String) {
    std::string text = TrimBlanks(value.Str);
    double number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      TValueConverter::RaiseExecution("'" + value.Str + "' is not a valid floating point value");
    }
    return number;
  }
  if (IsNumericType(value.Type) || value.Type == FT::Boolean) return TValueConverter::AsDouble(value);
  TValueConverter::RaiseExecution("'" + AsText(value) + "' is not a valid floating point value");
}

void CheckWholeRange(FT type, int64_t number, const TExpToken& value) {
  int64_t low = std::numeric_limits<int64_t>::min();
  int64_t high = std::numeric_limits<int64_t>::max();
  if (type == FT::SmallInt) {
    low = -32768;
    high = 32767;
  } else if (type == FT::Word) {
    low = 0;
    high = 65535;
  } else if (type == FT::Integer) {
    low = std::numeric_limits<int32_t>::min();
    high = std::numeric_limits<int32_t>::max();
  }
  if (number < low || number > high) {
    TValueConverter::RaiseExecution("'" + AsText(value) + "' is out of range for " + TypeName(type));
  }
}

[[noreturn]] void RaiseNotConvertible(const TExpToken& value, FT type) {
  TValueConverter::RaiseExecution("A " + TypeName(value.Type) + " value cannot be converted to " + TypeName(type));
}

}  // namespace

void TValueConverter::RaiseExecution(const std::string& message) {
  ErrorContext context;
  context.extra = message;
  raise(ErrorCode::KEEL_SQLEXEC, std::move(context));
}

double TValueConverter::AsDouble(const TExpToken& value) {
  return HoldsReal(value.Type) ? value.Real : static_cast<double>(value.Int);
}

double TValueConverter::AsMsecs(const TExpToken& value) {
  if (value.Type == FT::Date) return static_cast<double>(value.Int) * kMsecsPerDay;
  if (value.Type == FT::Time) return static_cast<double>(value.Int);
  return value.Real;
}

void TValueConverter::Convert(TExpToken& value, FieldType type, FieldSubtype subtype, uint32_t size) {
  auto finish = [&] {
    value.Type = type;
    value.Subtype = subtype;
    if (size != 0) value.Size = size;
  };
  if (value.Null || value.Type == type) {
    if (!value.Null && type == FT::String && size > 0 && value.Str.size() > size - 1) value.Str.resize(size - 1);
    finish();
    return;
  }
  FT from = value.Type;
  if (type == FT::String) {
    std::string text = AsText(value);
    if (from == FT::Bytes || from == FT::VarBytes || from == FT::Blob) text = text.substr(0, text.find('\0'));
    if (size > 0 && text.size() > size - 1) text.resize(size - 1);
    value.SetText(type, std::move(text));
    value.Null = value.Str.empty();
  } else if (IsWhole(type)) {
    int64_t number = ToWhole(value);
    CheckWholeRange(type, number, value);
    value.SetInteger(type, number);
  } else if (type == FT::Float || type == FT::Bcd) {
    value.SetReal(type, ToReal(value));
  } else if (type == FT::Boolean) {
    bool truth = false;
    if (from == FT::String) {
      if (!ParseBooleanText(value.Str, truth)) RaiseExecution("'" + value.Str + "' is not a valid boolean");
    } else if (IsNumericType(from)) {
      truth = AsDouble(value) != 0;
    } else {
      RaiseNotConvertible(value, type);
    }
    value.SetBoolean(truth);
  } else if (type == FT::Date) {
    int32_t day = 0;
    if (from == FT::String) {
      if (!ParseDateText(value.Str, day)) RaiseExecution("'" + value.Str + "' is not a valid date");
    } else if (from == FT::Timestamp) {
      day = static_cast<int32_t>(std::floor(value.Real / kMsecsPerDay));
    } else {
      RaiseNotConvertible(value, type);
    }
    value.SetInteger(type, day);
  } else if (type == FT::Time) {
    int32_t time = 0;
    if (from == FT::String) {
      if (!ParseTimeText(value.Str, time)) RaiseExecution("'" + value.Str + "' is not a valid time");
    } else if (from == FT::Timestamp) {
      double day = std::floor(value.Real / kMsecsPerDay);
      time = static_cast<int32_t>(value.Real - day * kMsecsPerDay);
    } else {
      RaiseNotConvertible(value, type);
    }
    value.SetInteger(type, time);
  } else if (type == FT::Timestamp) {
    double stamp = 0;
    if (from == FT::String) {
      if (!ParseTimestampText(value.Str, stamp)) RaiseExecution("'" + value.Str + "' is not a valid date and time");
    } else if (from == FT::Date || from == FT::Time) {
      stamp = AsMsecs(value);
    } else {
      RaiseNotConvertible(value, type);
    }
    value.SetReal(type, stamp);
  } else if (HoldsText(type) && HoldsText(from)) {
    value.SetText(type, value.Str);
  } else {
    RaiseNotConvertible(value, type);
  }
  finish();
}

}  // namespace keel
