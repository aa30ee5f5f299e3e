#pragma once

// Small family-tree folders for SELECT execution tests: a People and a
// Families table built through the core engine in a temporary folder, a
// private folder for result tables, and functions that read result rows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/SelectExecutor.h"

namespace keel::testing {

namespace fs = std::filesystem;

inline FieldDescriptor Field(const std::string& name, FieldType type, uint16_t size = 0,
                             FieldSubtype subtype = FieldSubtype::None) {
  FieldDescriptor d;
  d.name = name;
  d.type = type;
  d.size = size;
  d.subtype = subtype;
  return d;
}

struct Person {
  int32_t Code;
  std::optional<std::string> Given;
  std::optional<bool> Dead;
  std::optional<int32_t> SearchJ;  // "Search date~J"
  std::optional<int32_t> ChristeningJ = std::nullopt;
  std::string Notes = {};
};

// The engine error an action raised; KEEL_NONE when it raised none.
inline EKeelEngineError ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKeelEngineError& error) {
    return error;
  }
  return EKeelEngineError(ErrorCode::KEEL_NONE, {});
}

class ExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-exec-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directory(root_ / "db");
    fs::create_directory(root_ / "private");
    TEngineSettings& settings = engine_.settings();
    settings.TableDataTempExtension = ".tmpd";
    settings.TableIndexTempExtension = ".tmpi";
    settings.TableBlobTempExtension = ".tmpb";
    database_ = std::make_unique<TDataDirectory>(session_, (root_ / "db").string());
    CreatePeople();
  }
  void TearDown() override {
    database_.reset();
    fs::remove_all(root_);
  }

  std::string PrivateDir() const { return (root_ / "private").string() + "/"; }
  // The files of the private folder except the folder's lock file, which
  // belongs to the folder rather than to any one table.
  std::vector<std::string> PrivateFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "private")) {
      if (entry.path().filename() != engine_.settings().LockFileName)
        names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TSelectSettings Settings() const {
    TSelectSettings settings;
    settings.PrivateDir = PrivateDir();
    return settings;
  }

  // People: primary index on Code, so that its order differs from the
  // physical order the rows are added in.
  void CreatePeople() {
    TableCreateRequest request;
    request.name = "People";
    request.userMajor = 3;
    request.fields = {Field("Code", FieldType::Integer),
                      Field("Given", FieldType::String, 30),
                      Field("Dead", FieldType::Boolean),
                      Field("Search date~B", FieldType::Bytes, 72),
                      Field("Search date~J", FieldType::Integer),
                      Field("Search date~D", FieldType::String, 40),
                      Field("Christening day~J", FieldType::Integer),
                      Field("Place", FieldType::String, 300),
                      Field("Notes", FieldType::Blob, 0, FieldSubtype::Memo)};
    request.primary.fields = {{1, false}};
    database_->createTable(request);
  }

  void CreateFamilies(const std::vector<std::pair<int32_t, std::optional<int32_t>>>& rows) {
    TableCreateRequest request;
    request.name = "Families";
    request.fields = {Field("Code", FieldType::Integer), Field("Marriage date~J", FieldType::Integer)};
    database_->createTable(request);
    TDataCursor cursor(*database_, "Families");
    for (const auto& [code, date] : rows) {
      std::vector<uint8_t> row = cursor.newRow();
      SetInt(row, cursor.field("Code"), code);
      if (date) SetInt(row, cursor.field("Marriage date~J"), *date);
      cursor.append(row);
    }
  }

  static void SetInt(std::span<uint8_t> row, const FieldDescriptor& field, int32_t value) {
    uint8_t bytes[4];
    StoreI32(bytes, value);
    SetFieldValue(row, field, bytes, 0);
  }

  // The 72 bytes of the date record: the day number in front, the rest a
  // pattern that a raw copy must keep.
  static std::vector<uint8_t> DateRecord(int32_t day) {
    std::vector<uint8_t> record(72);
    for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + 1);
    StoreI32(record.data(), day);
    return record;
  }

  void AddPeople(const std::vector<Person>& people) {
    TDataCursor cursor(*database_, "People");
    for (const Person& person : people) {
      std::vector<uint8_t> row = cursor.newRow();
      SetInt(row, cursor.field("Code"), person.Code);
      if (person.Given) SetFieldText(row, cursor.field("Given"), *person.Given, 0);
      if (person.Dead) {
        uint8_t value[2];
        StoreI16(value, *person.Dead ? 1 : 0);
        SetFieldValue(row, cursor.field("Dead"), value, 0);
      }
      if (person.SearchJ) {
        SetFieldValue(row, cursor.field("Search date~B"), DateRecord(*person.SearchJ), 0);
        SetInt(row, cursor.field("Search date~J"), *person.SearchJ);
        SetFieldText(row, cursor.field("Search date~D"), "day " + std::to_string(*person.SearchJ), 0);
      }
      if (person.ChristeningJ) SetInt(row, cursor.field("Christening day~J"), *person.ChristeningJ);
      TDataCursor::BlobValues blobs;
      if (!person.Notes.empty())
        blobs[cursor.field("Notes").number] = {person.Notes.begin(), person.Notes.end()};
      cursor.append(row, blobs);
    }
  }

  void DeletePerson(int32_t code) {
    TDataCursor cursor(*database_, "People");
    std::vector<uint8_t> row(cursor.rowSize());
    for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next()) {
      cursor.currentRow(row);
      if (LoadI32(GetField(row, cursor.field("Code")).bytes.data()) == code) {
        cursor.remove(row);
        return;
      }
    }
    FAIL() << "no person " << code;
  }

  // One column of every result row in result order, as text; "NULL" for null.
  static std::vector<std::string> Column(TDataCursor& result, const std::string& name) {
    std::vector<std::string> values;
    std::vector<uint8_t> row(result.rowSize());
    const FieldDescriptor& field = result.field(name);
    for (Nav at = result.first(); at == Nav::Ok; at = result.next()) {
      result.currentRow(row);
      FieldRead read = GetField(row, field);
      if (read.isNull) {
        values.push_back("NULL");
      } else if (field.isBlob()) {
        std::vector<uint8_t> blob = result.blobValue(row, field);
        values.emplace_back(blob.begin(), blob.end());
      } else {
        values.push_back(FormatFieldText(field, read.bytes));
      }
    }
    return values;
  }

  static std::vector<int> Codes(TDataCursor& result) {
    std::vector<int> codes;
    for (const std::string& text : Column(result, "Code")) codes.push_back(std::stoi(text));
    return codes;
  }

  // Prepares and executes `sql`, answering the result's codes.
  std::vector<int> CodesOf(const std::string& sql, TSelectSettings settings) {
    TSelectExecutor executor(*database_, std::move(settings), clock_);
    executor.Prepare(sql);
    return Codes(executor.Execute());
  }
  std::vector<int> CodesOf(const std::string& sql) { return CodesOf(sql, Settings()); }

  fs::path root_;
  mindrel::FixedClock clock_{mindrel::LocalDateTime{{2024, 5, 1}, 9, 30, 0, 0}};
  TDataEngine engine_{clock_};
  TDataSession session_{engine_};
  std::unique_ptr<TDataDirectory> database_;
};

}  // namespace keel::testing
