#include "engine/core/FieldCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "engine/core/ByteOrder.h"
#include "engine/core/Collation.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

using Bytes = std::vector<uint8_t>;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

template <typename T>
std::optional<T> ParseInteger(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseDouble(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<int32_t> ParseDate(std::string_view text) {
  text = Trimmed(text);
  size_t first = text.find('-');
  size_t second = first == std::string_view::npos ? first : text.find('-', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  auto year = ParseInteger<int>(text.substr(0, first));
  auto month = ParseInteger<int>(text.substr(first + 1, second - first - 1));
  auto day = ParseInteger<int>(text.substr(second + 1));
  if (!year || !month || !day || *year < 1 || *year > 9999 || *month < 1 || *month > 12 || *day < 1 ||
      *day > DaysInMonth(*year, *month))
    return std::nullopt;
  return DayNumberOf({*year, *month, *day});
}

// Milliseconds since midnight.
std::optional<int32_t> ParseTime(std::string_view text) {
  text = Trimmed(text);
  int meridiem = 0;  // 1 AM, 2 PM
  if (text.size() >= 2 && (EqualsIgnoringCase(text.substr(text.size() - 2), "AM") ||
                           EqualsIgnoringCase(text.substr(text.size() - 2), "PM"))) {
    meridiem = EqualsIgnoringCase(text.substr(text.size() - 2), "AM") ? 1 : 2;
    text = Trimmed(text.substr(0, text.size() - 2));
  }
  std::string_view parts[3];
  int count = 0;
  for (size_t start = 0;;) {
    size_t colon = text.find(':', start);
    if (count == 3) return std::nullopt;
    parts[count++] = text.substr(start, colon == std::string_view::npos ? colon : colon - start);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (count < 2) return std::nullopt;
  int milliseconds = 0;
  if (count == 3) {
    size_t dot = parts[2].find('.');
    if (dot != std::string_view::npos) {
      std::string_view fraction = parts[2].substr(dot + 1);
      if (fraction.empty() || fraction.size() > 3 || !ParseInteger<int>(fraction)) return std::nullopt;
      std::string padded(fraction);
      padded.resize(3, '0');
      milliseconds = *ParseInteger<int>(padded);
      parts[2] = parts[2].substr(0, dot);
    }
  }
  auto hours = ParseInteger<int>(parts[0]);
  auto minutes = ParseInteger<int>(parts[1]);
  auto seconds = count == 3 ? ParseInteger<int>(parts[2]) : std::optional<int>(0);
  if (!hours || !minutes || !seconds || *minutes < 0 || *minutes > 59 || *seconds < 0 || *seconds > 59)
    return std::nullopt;
  int hour = *hours;
  if (meridiem != 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (meridiem == 2 ? 12 : 0);
  }
  if (hour < 0 || hour > 23) return std::nullopt;
  return ((hour * 60 + *minutes) * 60 + *seconds) * 1000 + milliseconds;
}

std::optional<double> ParseTimestamp(std::string_view text) {
  text = Trimmed(text);
  size_t blank = text.find(' ');
  auto day = ParseDate(text.substr(0, blank));
  auto time = blank == std::string_view::npos ? std::optional<int32_t>(0) : ParseTime(text.substr(blank + 1));
  if (!day || !time) return std::nullopt;
  return static_cast<double>(*day) * static_cast<double>(kMillisecondsPerDay) + *time;
}

std::optional<Bytes> ParseHex(std::string_view text, size_t size) {
  if (text.size() % 2 != 0 || text.size() / 2 > size) return std::nullopt;
  Bytes out(size, 0);
  for (size_t i = 0; i < text.size() / 2; ++i) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) return std::nullopt;
    out[i] = static_cast<uint8_t>(value);
  }
  return out;
}

Bytes Int16Bytes(int16_t v) { Bytes b(2); StoreI16(b.data(), v); return b; }
Bytes UInt16Bytes(uint16_t v) { Bytes b(2); StoreU16(b.data(), v); return b; }
Bytes Int32Bytes(int32_t v) { Bytes b(4); StoreI32(b.data(), v); return b; }
Bytes Int64Bytes(int64_t v) { Bytes b(8); StoreI64(b.data(), v); return b; }
Bytes DoubleBytes(double v) { Bytes b(8); StoreF64(b.data(), v); return b; }

std::string DateText(int32_t dayNumber) {
  mindrel::CivilDate date = CivilDateOf(dayNumber);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string TimeText(int64_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(milliseconds / 3600000),
                static_cast<long long>(milliseconds / 60000 % 60), static_cast<long long>(milliseconds / 1000 % 60),
                static_cast<long long>(milliseconds % 1000));
  return text;
}

std::string HexText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string DoubleText(double value) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

std::string StringOf(std::span<const uint8_t> stored) {
  const auto* chars = reinterpret_cast<const char*>(stored.data());
  return std::string(chars, strnlen(chars, stored.size()));
}

int Sign(auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); }

// Sign and 64 digits (32 whole, 32 decimal places) of a BCD record, so that
// records of any scale order by comparing these.
std::pair<bool, std::string> BcdDigits(std::span<const uint8_t> record) {
  std::string text = BcdToText(record, 32);
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.erase(0, 1);
  size_t dot = text.find('.');
  std::string whole = text.substr(0, dot);
  return {negative, std::string(32 - std::min<size_t>(32, whole.size()), '0') + whole + text.substr(dot + 1)};
}

// Locale 0 orders texts as unsigned bytes; other locales by the same collation
// that orders the table's keys.
int CompareStrings(const std::string& a, const std::string& b, uint32_t lcid) {
  if (lcid == 0 || !LocaleAvailable(lcid)) return Sign(a.compare(b), 0);
  return Sign(TCollation::ForLocale(lcid, std::string())->compare(a, b), 0);
}

bool IsKeyword(std::string_view text, std::string_view keyword) { return EqualsIgnoringCase(Trimmed(text), keyword); }

bool DefaultKeywordFits(const FieldDescriptor& field, std::string_view text) {
  switch (field.type) {
    case FieldType::String: return IsKeyword(text, "CURRENT_GUID");
    case FieldType::Date: return IsKeyword(text, "CURRENT_DATE");
    case FieldType::Time: return IsKeyword(text, "CURRENT_TIME");
    case FieldType::Timestamp:
      return IsKeyword(text, "CURRENT_TIMESTAMP") || IsKeyword(text, "CURRENT_DATE") ||
             IsKeyword(text, "CURRENT_TIME");
    default: return false;
  }
}

int32_t MillisecondsOf(const mindrel::LocalDateTime& moment) {
  return ((moment.hour * 60 + moment.minute) * 60 + moment.second) * 1000 + moment.millisecond;
}

std::optional<Bytes> DefaultBytes(const FieldDescriptor& field, const mindrel::Clock& clock) {
  const std::string& text = field.defaultValue;
  const mindrel::LocalDateTime now = clock.now();
  const double day = DayNumberOf(now.date);
  switch (field.type) {
    case FieldType::String:
      if (IsKeyword(text, "CURRENT_GUID")) {
        std::string guid = NewGuidText();
        return Bytes(guid.begin(), guid.end());
      }
      break;
    case FieldType::Date:
      if (IsKeyword(text, "CURRENT_DATE")) return Int32Bytes(DayNumberOf(now.date));
      break;
    case FieldType::Time:
      if (IsKeyword(text, "CURRENT_TIME")) return Int32Bytes(MillisecondsOf(now));
      break;
    case FieldType::Timestamp:
      if (IsKeyword(text, "CURRENT_TIMESTAMP"))
        return DoubleBytes(day * static_cast<double>(kMillisecondsPerDay) + MillisecondsOf(now));
      if (IsKeyword(text, "CURRENT_DATE")) return DoubleBytes(day * static_cast<double>(kMillisecondsPerDay));
      if (IsKeyword(text, "CURRENT_TIME")) return DoubleBytes(MillisecondsOf(now));
      break;
    default: break;
  }
  return ParseFieldText(field, text);
}

void CheckRowRoom(std::span<const uint8_t> row, const FieldDescriptor& field) {
  size_t end = static_cast<size_t>(field.offset) + (field.isSystem() ? 0 : 1) + field.dataLength;
  if (end > row.size()) raise(ErrorCode::KEEL_FILECORRUPT, {.field = field.name});
}

}  // namespace

int32_t DayNumberOf(const mindrel::CivilDate& date) {
  // Days from 0000-03-01, shifted so that 0001-01-01 is day 1.
  int y = date.year - (date.month <= 2 ? 1 : 0);
  int era = (y >= 0 ? y : y - 399) / 400;
  int yearOfEra = y - era * 400;
  int dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 305;
}

mindrel::CivilDate CivilDateOf(int32_t dayNumber) {
  int z = dayNumber + 305;
  int era = (z >= 0 ? z : z - 146096) / 146097;
  int dayOfEra = z - era * 146097;
  int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int mp = (5 * dayOfYear + 2) / 153;
  int day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int month = mp < 10 ? mp + 3 : mp - 9;
  int year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

FieldRead GetField(std::span<const uint8_t> row, const FieldDescriptor& field) {
  CheckRowRoom(row, field);
  if (field.isSystem()) return {false, row.subspan(field.offset, field.dataLength)};
  const bool isNull = (row[field.offset] ^ 1) != 0;
  const size_t length = field.isBlob() ? 4 : field.dataLength;
  return {isNull, row.subspan(field.offset + 1u, length)};
}

void SetFieldNull(std::span<uint8_t> row, const FieldDescriptor& field) {
  if (field.isSystem() || field.takesNoRoom()) return;
  CheckRowRoom(row, field);
  if (!field.isBlob()) std::memset(row.data() + field.offset + 1, 0, field.dataLength);
  row[field.offset] = 0;
}

void SetFieldText(std::span<uint8_t> row, const FieldDescriptor& field, std::string_view text, uint32_t lcid) {
  SetFieldValue(row, field, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, lcid);
}

void SetFieldValue(std::span<uint8_t> row, const FieldDescriptor& field, std::span<const uint8_t> value,
                   uint32_t lcid) {
  if (field.isSystem() || field.takesNoRoom()) return;
  CheckRowRoom(row, field);
  uint8_t* slot = row.data() + field.offset + 1;
  switch (field.type) {
    case FieldType::String: {
      const size_t room = field.dataLength > 0 ? field.dataLength - 1u : 0u;
      std::string text(reinterpret_cast<const char*>(value.data()), std::min(value.size(), room));
      if (field.subtype != FieldSubtype::FixedChar) {
        while (!text.empty() && text.back() == ' ') text.pop_back();
      }
      if (field.charCase == CharCase::Lower) text = LowerCase(text, lcid);
      if (field.charCase == CharCase::Upper) text = UpperCase(text, lcid);
      text.resize(std::min(text.size(), room));
      std::memset(slot, 0, field.dataLength);
      std::memcpy(slot, text.data(), text.size());
      row[field.offset] = slot[0] != 0 ? 1 : 0;
      return;
    }
    case FieldType::Blob:
      std::memcpy(slot, value.data(), std::min<size_t>(4, value.size()));
      return;
    default: {
      std::memset(slot, 0, field.dataLength);
      std::memcpy(slot, value.data(), std::min<size_t>(field.dataLength, value.size()));
      if (field.type == FieldType::Boolean && LoadI16(slot) != 0) StoreI16(slot, 1);
      row[field.offset] = 1;
      return;
    }
  }
}

std::optional<Bytes> ParseFieldText(const FieldDescriptor& field, std::string_view text) {
  switch (field.type) {
    case FieldType::String: return Bytes(text.begin(), text.end());
    case FieldType::Date:
      if (auto day = ParseDate(text)) return Int32Bytes(*day);
      return std::nullopt;
    case FieldType::Time:
      if (auto time = ParseTime(text)) return Int32Bytes(*time);
      return std::nullopt;
    case FieldType::Timestamp:
      if (auto stamp = ParseTimestamp(text)) return DoubleBytes(*stamp);
      return std::nullopt;
    case FieldType::Boolean:
      if (IsKeyword(text, "TRUE")) return Int16Bytes(1);
      if (IsKeyword(text, "FALSE")) return Int16Bytes(0);
      return std::nullopt;
    case FieldType::SmallInt:
      if (auto v = ParseInteger<int16_t>(text)) return Int16Bytes(*v);
      return std::nullopt;
    case FieldType::Integer:
      if (auto v = ParseInteger<int32_t>(text)) return Int32Bytes(*v);
      return std::nullopt;
    case FieldType::Word:
      if (auto v = ParseInteger<uint16_t>(text)) return UInt16Bytes(*v);
      return std::nullopt;
    case FieldType::LargeInt:
      if (auto v = ParseInteger<int64_t>(text)) return Int64Bytes(*v);
      return std::nullopt;
    case FieldType::Float:
      if (auto v = ParseDouble(text)) return DoubleBytes(*v);
      return std::nullopt;
    case FieldType::Bcd:
      if (auto record = BcdFromText(text, field.storedDecimals)) return Bytes(record->begin(), record->end());
      return std::nullopt;
    case FieldType::Bytes:
    case FieldType::VarBytes: return ParseHex(Trimmed(text), field.dataLength);
    default: return std::nullopt;
  }
}

std::string FormatFieldText(const FieldDescriptor& field, std::span<const uint8_t> stored) {
  const uint8_t* p = stored.data();
  switch (field.type) {
    case FieldType::String: return StringOf(stored);
    case FieldType::Date: return DateText(LoadI32(p));
    case FieldType::Time: return TimeText(LoadI32(p));
    case FieldType::Timestamp: {
      auto total = static_cast<int64_t>(std::llround(LoadF64(p)));
      int64_t day = total / kMillisecondsPerDay, ms = total % kMillisecondsPerDay;
      if (ms < 0) {
        ms += kMillisecondsPerDay;
        --day;
      }
      return DateText(static_cast<int32_t>(day)) + " " + TimeText(ms);
    }
    case FieldType::Boolean: return LoadI16(p) != 0 ? "TRUE" : "FALSE";
    case FieldType::SmallInt: return std::to_string(LoadI16(p));
    case FieldType::Integer: return std::to_string(LoadI32(p));
    case FieldType::Word: return std::to_string(LoadU16(p));
    case FieldType::LargeInt: return std::to_string(LoadI64(p));
    case FieldType::Float: return DoubleText(LoadF64(p));
    case FieldType::Bcd: return BcdToText(stored, field.storedDecimals);
    default: return HexText(stored);
  }
}

int CompareFieldValues(const FieldDescriptor& field, std::span<const uint8_t> a, std::span<const uint8_t> b,
                       uint32_t lcid) {
  const uint8_t *x = a.data(), *y = b.data();
  switch (field.type) {
    case FieldType::String: return CompareStrings(StringOf(a), StringOf(b), lcid);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Integer: return Sign(LoadI32(x), LoadI32(y));
    case FieldType::Boolean:
    case FieldType::SmallInt: return Sign(LoadI16(x), LoadI16(y));
    case FieldType::Word: return Sign(LoadU16(x), LoadU16(y));
    case FieldType::LargeInt: return Sign(LoadI64(x), LoadI64(y));
    case FieldType::Float:
    case FieldType::Timestamp: return Sign(LoadF64(x), LoadF64(y));
    case FieldType::Bcd: {
      auto [negA, digitsA] = BcdDigits(a);
      auto [negB, digitsB] = BcdDigits(b);
      if (negA != negB) return negA ? -1 : 1;
      int order = Sign(digitsA, digitsB);
      return negA ? -order : order;
    }
    default: {
      size_t n = std::min(a.size(), b.size());
      int order = std::memcmp(x, y, n);
      return order != 0 ? Sign(order, 0) : Sign(a.size(), b.size());
    }
  }
}

bool ConstraintTextsValid(const FieldDescriptor& field) {
  if (field.isBlob()) return field.defaultValue.empty() && field.minValue.empty() && field.maxValue.empty();
  for (const std::string* text : {&field.minValue, &field.maxValue}) {
    if (!text->empty() && !ParseFieldText(field, *text)) return false;
  }
  const std::string& fallback = field.defaultValue;
  return fallback.empty() || DefaultKeywordFits(field, fallback) || ParseFieldText(field, fallback).has_value();
}

void ApplyDefaults(std::span<uint8_t> row, std::span<const FieldDescriptor> fields, const mindrel::Clock& clock,
                   uint32_t lcid) {
  for (const FieldDescriptor& field : fields) {
    if (field.defaultValue.empty() || field.isBlob() || field.isSystem()) continue;
    if (auto value = DefaultBytes(field, clock)) SetFieldValue(row, field, *value, lcid);
  }
}

void CheckConstraints(std::span<const uint8_t> row, std::span<const FieldDescriptor> fields,
                      const std::string& tableName, uint32_t lcid) {
  for (const FieldDescriptor& field : fields) {
    if (field.isSystem()) continue;
    FieldRead value = GetField(row, field);
    if (value.isNull) {
      if (field.required) raise(ErrorCode::KEEL_REQDERR, {.table = tableName, .field = field.name});
      continue;
    }
    if (field.isBlob()) continue;
    if (auto minimum = field.minValue.empty() ? std::nullopt : ParseFieldText(field, field.minValue)) {
      if (CompareFieldValues(field, value.bytes, *minimum, lcid) < 0)
        raise(ErrorCode::KEEL_MINVALERR, {.table = tableName, .field = field.name});
    }
    if (auto maximum = field.maxValue.empty() ? std::nullopt : ParseFieldText(field, field.maxValue)) {
      if (CompareFieldValues(field, value.bytes, *maximum, lcid) > 0)
        raise(ErrorCode::KEEL_MAXVALERR, {.table = tableName, .field = field.name});
    }
  }
}

std::optional<std::array<uint8_t, kBcdLength>> BcdFromText(std::string_view text, uint8_t decimals) {
  text = Trimmed(text);
  if (decimals > kMaxBcdDecimals) return std::nullopt;
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  size_t dot = text.find('.');
  std::string whole(text.substr(0, dot));
  std::string fraction(dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1));
  if (whole.empty() && fraction.empty()) return std::nullopt;
  auto allDigits = [](const std::string& s) { return std::all_of(s.begin(), s.end(), ::isdigit); };
  if (!allDigits(whole) || !allDigits(fraction)) return std::nullopt;
  // Round half away from zero to the field's places.
  bool roundUp = fraction.size() > decimals && fraction[decimals] >= '5';
  fraction.resize(decimals, '0');
  std::string digits = whole + fraction;
  if (roundUp) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) digits.insert(digits.begin(), '1');
    else ++digits[i - 1];
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.size() > 32) return std::nullopt;
  digits.insert(0, 32 - digits.size(), '0');
  std::array<uint8_t, kBcdLength> record{};
  record[0] = 32;
  const bool isZero = digits.find_first_not_of('0') == std::string::npos;
  record[1] = static_cast<uint8_t>(((negative && !isZero) ? 0x80 : 0) | decimals);
  for (size_t i = 0; i < 16; ++i)
    record[2 + i] = static_cast<uint8_t>(((digits[2 * i] - '0') << 4) | (digits[2 * i + 1] - '0'));
  return record;
}

std::string BcdToText(std::span<const uint8_t> record, uint8_t decimals) {
  if (record.size() < kBcdLength) return "0";
  const size_t precision = std::min<size_t>(record[0], 64);
  const size_t scale = record[1] & 0x3F;
  const bool negative = (record[1] & 0x80) != 0;
  std::string digits;
  for (size_t i = 0; i < precision; ++i) {
    uint8_t nibble = (i % 2 == 0) ? record[2 + i / 2] >> 4 : record[2 + i / 2] & 15;
    digits += static_cast<char>('0' + std::min<uint8_t>(nibble, 9));
  }
  if (digits.size() < scale) digits.insert(0, scale - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - scale);
  std::string fraction = digits.substr(digits.size() - scale);
  bool roundUp = fraction.size() > decimals && fraction[decimals] >= '5';
  fraction.resize(decimals, '0');
  std::string all = whole + fraction;
  if (roundUp) {
    size_t i = all.size();
    while (i > 0 && all[i - 1] == '9') all[--i] = '0';
    if (i == 0) all.insert(all.begin(), '1');
    else ++all[i - 1];
  }
  whole = all.substr(0, all.size() - decimals);
  fraction = all.substr(all.size() - decimals);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole.push_back('0');
  const bool isZero = all.find_first_not_of('0') == std::string::npos;
  std::string text = negative && !isZero ? "-" : "";
  text += whole;
  if (decimals > 0) {
    text += '.';
    text += fraction;
  }
  return text;
}

double BcdToCurrency(std::span<const uint8_t> record) { return ParseDouble(BcdToText(record, 4)).value_or(0.0); }

std::string NewGuidText() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  uint8_t bytes[16];
  for (size_t i = 0; i < 16; i += 8) StoreU64(bytes + i, generator());
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "{";
  for (size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out + "}";
}

}  // namespace keel
