#include "engine/core/FieldCodec.h"

#include <gtest/gtest.h>

#include "engine/core/ByteOrder.h"
#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

FieldDescriptor Field(FieldType type, uint16_t size = 0, FieldSubtype subtype = FieldSubtype::None) {
  FieldDescriptor d;
  d.number = 1;
  d.name = "F";
  d.type = type;
  d.subtype = subtype;
  d.size = HasDeclaredSize(type) ? size : 0;
  d.dataLength = StoredLength(type, subtype, size);
  d.offset = kRowHeaderSize;
  return d;
}

std::vector<uint8_t> Row(const FieldDescriptor& d) { return std::vector<uint8_t>(kRowHeaderSize + 1 + d.dataLength, 0); }

std::string Slot(const std::vector<uint8_t>& row, const FieldDescriptor& d) {
  return std::string(reinterpret_cast<const char*>(row.data()) + d.offset + 1, d.dataLength);
}

struct StringCase {
  const char* name;
  FieldSubtype subtype;
  CharCase charCase;
  std::string input;
  std::string stored;  // slot content, zeros included
  bool isNull;
};

TEST(FieldCodecTest, StringWritesTrimCutCaseAndNull) {
  using std::string_literals::operator""s;
  const StringCase cases[] = {
      {"trailing blanks go", FieldSubtype::None, CharCase::None, "abc   ", "abc\0\0\0\0\0\0\0\0"s, false},
      {"fixed width keeps them", FieldSubtype::FixedChar, CharCase::None, "abc   ", "abc   \0\0\0\0\0"s, false},
      {"empty is NULL", FieldSubtype::None, CharCase::None, "", std::string(11, '\0'), true},
      {"blanks only is NULL", FieldSubtype::None, CharCase::None, "    ", std::string(11, '\0'), true},
      {"upper case rule", FieldSubtype::None, CharCase::Upper, "Smith", "SMITH\0\0\0\0\0\0"s, false},
      {"lower case rule", FieldSubtype::None, CharCase::Lower, "SMITH", "smith\0\0\0\0\0\0"s, false},
      {"cut to the size", FieldSubtype::None, CharCase::None, "abcdefghijkl", "abcdefghij\0"s, false},
      {"Windows-1252 letters", FieldSubtype::None, CharCase::Upper, "\xE9t\xE9 \x9A\xFF\xF7",
       "\xC9T\xC9 \x8A\x9F\xF7\0\0\0\0"s, false},
  };
  for (const StringCase& c : cases) {
    FieldDescriptor d = Field(FieldType::String, 10, c.subtype);
    d.charCase = c.charCase;
    ASSERT_EQ(d.dataLength, 11);
    auto row = Row(d);
    SetFieldText(row, d, c.input, 0);
    EXPECT_EQ(Slot(row, d), c.stored) << c.name;
    EXPECT_EQ(GetField(row, d).isNull, c.isNull) << c.name;
  }
}

TEST(FieldCodecTest, NonzeroLocaleUsesItsOwnCaseMapping) {
  FieldDescriptor d = Field(FieldType::String, 10);
  d.charCase = CharCase::Upper;
  auto row = Row(d);
  SetFieldText(row, d, "istanbul", 0x041F);  // Turkish: dotted capital I
  EXPECT_EQ(static_cast<uint8_t>(row[d.offset + 1]), '?');  // not in Windows-1252
  SetFieldText(row, d, "stra\xDF" "e", 0x0407);
#ifdef _WIN32
  // Windows maps case one character to one: the sharp s has no capital.
  EXPECT_EQ(Slot(row, d).substr(0, 6), "STRA\xDF" "E");
#else
  // ICU's German: the sharp s doubles, then the cut applies.
  EXPECT_EQ(Slot(row, d).substr(0, 7), "STRASSE");
#endif
}

TEST(FieldCodecTest, NullReadsAndWrites) {
  FieldDescriptor d = Field(FieldType::Integer);
  auto row = Row(d);
  SetFieldValue(row, d, std::vector<uint8_t>{1, 2, 3, 4}, 0);
  EXPECT_FALSE(GetField(row, d).isNull);
  SetFieldNull(row, d);
  FieldRead read = GetField(row, d);
  EXPECT_TRUE(read.isNull);
  EXPECT_EQ(std::vector<uint8_t>(read.bytes.begin(), read.bytes.end()), std::vector<uint8_t>(4, 0));
  row[d.offset] = 2;  // anything but 1 is NULL
  EXPECT_TRUE(GetField(row, d).isNull);
}

TEST(FieldCodecTest, BooleansNormaliseAndSystemFieldsStayUnwritten) {
  FieldDescriptor b = Field(FieldType::Boolean);
  auto row = Row(b);
  SetFieldValue(row, b, std::vector<uint8_t>{5, 0}, 0);
  EXPECT_EQ(LoadI16(row.data() + b.offset + 1), 1);

  std::vector<uint8_t> header(kRowHeaderSize, 0);
  StoreI32(header.data() + 5, 77);
  FieldDescriptor id = FieldDescriptor::RecordIdField();
  SetFieldValue(header, id, std::vector<uint8_t>{9, 9, 9, 9}, 0);
  FieldRead read = GetField(header, id);
  EXPECT_FALSE(read.isNull);
  EXPECT_EQ(LoadI32(read.bytes.data()), 77);
}

struct TextCase {
  FieldType type;
  uint8_t decimals;
  const char* input;
  const char* formatted;  // nullptr: the text must be refused
};

TEST(FieldCodecTest, TextFormsRoundTripOrAreRefused) {
  const TextCase cases[] = {
      {FieldType::Date, 0, "2000-01-01", "2000-01-01"},
      {FieldType::Date, 0, "2000-2-29", "2000-02-29"},
      {FieldType::Date, 0, "1900-02-29", nullptr},
      {FieldType::Date, 0, "2000/01/01", nullptr},
      {FieldType::Time, 0, "13:05", "13:05:00.000"},
      {FieldType::Time, 0, "1:05:07.25 PM", "13:05:07.250"},
      {FieldType::Time, 0, "12:00 AM", "00:00:00.000"},
      {FieldType::Time, 0, "24:00", nullptr},
      {FieldType::Timestamp, 0, "2000-01-01 12:00", "2000-01-01 12:00:00.000"},
      {FieldType::Boolean, 0, "true", "TRUE"},
      {FieldType::Boolean, 0, "yes", nullptr},
      {FieldType::SmallInt, 0, "-32768", "-32768"},
      {FieldType::SmallInt, 0, "32768", nullptr},
      {FieldType::Word, 0, "65535", "65535"},
      {FieldType::Word, 0, "-1", nullptr},
      {FieldType::Integer, 0, "12x", nullptr},
      {FieldType::LargeInt, 0, "-9223372036854775808", "-9223372036854775808"},
      {FieldType::Float, 0, "2.5", "2.5"},
      {FieldType::Float, 0, "1,5", nullptr},
      {FieldType::Bcd, 4, "-123.45", "-123.4500"},
      {FieldType::Bcd, 2, "0.005", "0.01"},
      {FieldType::Bcd, 2, "-0.001", "0.00"},
      {FieldType::Bcd, 0, "99999999999999999999999999999999", "99999999999999999999999999999999"},
      {FieldType::Bcd, 0, "999999999999999999999999999999999", nullptr},
      {FieldType::Bcd, 2, "abc", nullptr},
  };
  for (const TextCase& c : cases) {
    FieldDescriptor d = Field(c.type);
    d.decimals = d.storedDecimals = c.decimals;
    auto stored = ParseFieldText(d, c.input);
    if (c.formatted == nullptr) {
      EXPECT_FALSE(stored.has_value()) << c.input;
      continue;
    }
    ASSERT_TRUE(stored.has_value()) << c.input;
    EXPECT_EQ(FormatFieldText(d, *stored), c.formatted) << c.input;
  }
}

TEST(FieldCodecTest, DayNumbersAndTimestampsMatchTheEncoding) {
  EXPECT_EQ(DayNumberOf({1, 1, 1}), 1);
  EXPECT_EQ(DayNumberOf({1899, 12, 30}), kDayNumberOf18991230);
  EXPECT_EQ(DayNumberOf({2000, 1, 1}), 730120);
  for (int32_t day : {1, 693594, 730120, 3652059}) EXPECT_EQ(DayNumberOf(CivilDateOf(day)), day);

  auto stamp = ParseFieldText(Field(FieldType::Timestamp), "2000-01-01 12:00");
  EXPECT_EQ(LoadF64(stamp->data()), 63082411200000.0);
}

TEST(FieldCodecTest, BcdRecordLayout) {
  auto record = BcdFromText("-123.45", 4);
  ASSERT_TRUE(record);
  EXPECT_EQ((*record)[0], 32);
  EXPECT_EQ((*record)[1], 0x80 | 4);
  // 32 digits right-aligned: ...0001234500 -> last packed bytes 0x01 0x23 0x45 0x00.
  EXPECT_EQ((*record)[14], 0x01);
  EXPECT_EQ((*record)[15], 0x23);
  EXPECT_EQ((*record)[16], 0x45);
  EXPECT_EQ((*record)[17], 0x00);
  EXPECT_DOUBLE_EQ(BcdToCurrency(*record), -123.45);
  std::array<uint8_t, kBcdLength> zero{};  // precision 0 is zero
  EXPECT_EQ(BcdToText(zero, 2), "0.00");
}

TEST(FieldCodecTest, ConstraintsRaiseInFieldOrder) {
  FieldDescriptor age = Field(FieldType::Integer);
  age.name = "Age";
  age.minValue = "0";
  age.maxValue = "150";
  FieldDescriptor name = Field(FieldType::String, 10);
  name.name = "Name";
  name.number = 2;
  name.offset = static_cast<uint16_t>(age.offset + 1 + age.dataLength);
  name.required = true;
  name.minValue = "B";
  std::vector<FieldDescriptor> fields = {age, name};
  std::vector<uint8_t> row(name.offset + 1 + name.dataLength, 0);

  auto codeFor = [&](int32_t years, const char* text) {
    std::vector<uint8_t> value(4);
    StoreI32(value.data(), years);
    SetFieldValue(row, age, value, 0);
    SetFieldText(row, name, text, 0);
    try {
      CheckConstraints(row, fields, "People", 0);
    } catch (const EKeelEngineError& error) {
      return std::make_pair(error.code(), error.context().field);
    }
    return std::make_pair(ErrorCode::KEEL_NONE, std::string());
  };
  EXPECT_EQ(codeFor(30, "Bob"), std::make_pair(ErrorCode::KEEL_NONE, std::string()));
  EXPECT_EQ(codeFor(-1, "Bob"), std::make_pair(ErrorCode::KEEL_MINVALERR, std::string("Age")));
  EXPECT_EQ(codeFor(151, "Bob"), std::make_pair(ErrorCode::KEEL_MAXVALERR, std::string("Age")));
  EXPECT_EQ(codeFor(30, ""), std::make_pair(ErrorCode::KEEL_REQDERR, std::string("Name")));
  EXPECT_EQ(codeFor(30, "Al"), std::make_pair(ErrorCode::KEEL_MINVALERR, std::string("Name")));
}

TEST(FieldCodecTest, DefaultsUseTheClockAndConstantTexts) {
  mindrel::FixedClock clock(mindrel::LocalDateTime{{2000, 1, 1}, 12, 0, 0, 0});
  std::vector<FieldDescriptor> fields;
  uint16_t offset = kRowHeaderSize;
  auto add = [&](FieldType type, const char* fallback, uint16_t size = 0) {
    FieldDescriptor d = Field(type, size);
    d.offset = offset;
    d.defaultValue = fallback;
    offset = static_cast<uint16_t>(offset + 1 + d.dataLength);
    fields.push_back(d);
  };
  add(FieldType::Date, "CURRENT_DATE");
  add(FieldType::Timestamp, "CURRENT_TIMESTAMP");
  add(FieldType::Timestamp, "CURRENT_TIME");
  add(FieldType::String, "CURRENT_GUID", 38);
  add(FieldType::Boolean, "False");
  add(FieldType::Integer, "");
  std::vector<uint8_t> row(offset, 0);
  ApplyDefaults(row, fields, clock, 0);
  EXPECT_EQ(FormatFieldText(fields[0], GetField(row, fields[0]).bytes), "2000-01-01");
  EXPECT_EQ(LoadF64(GetField(row, fields[1]).bytes.data()), 63082411200000.0);
  EXPECT_EQ(LoadF64(GetField(row, fields[2]).bytes.data()), 43200000.0);
  std::string guid = FormatFieldText(fields[3], GetField(row, fields[3]).bytes);
  EXPECT_EQ(guid.size(), 38u);
  EXPECT_EQ(guid.front(), '{');
  EXPECT_EQ(guid[9], '-');
  EXPECT_FALSE(GetField(row, fields[4]).isNull);
  EXPECT_TRUE(GetField(row, fields[5]).isNull);
}

TEST(FieldCodecTest, ConstraintTextsMustFitTheType) {
  FieldDescriptor date = Field(FieldType::Date);
  date.defaultValue = "CURRENT_DATE";
  EXPECT_TRUE(ConstraintTextsValid(date));
  date.minValue = "CURRENT_DATE";  // keywords are defaults only
  EXPECT_FALSE(ConstraintTextsValid(date));
  FieldDescriptor number = Field(FieldType::Integer);
  number.defaultValue = "CURRENT_TIME";
  EXPECT_FALSE(ConstraintTextsValid(number));
  FieldDescriptor memo = Field(FieldType::Blob, 0, FieldSubtype::Memo);
  memo.defaultValue = "x";
  EXPECT_FALSE(ConstraintTextsValid(memo));
}

}  // namespace
}  // namespace keel
