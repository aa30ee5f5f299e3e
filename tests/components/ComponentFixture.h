#pragma once

// A fresh engine component and a temporary database folder per test, with
// builders for the tables the application keeps and reads.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/components/DatabaseError.h"
#include "engine/components/KeelEngine.h"
#include "engine/components/KeelSession.h"
#include "engine/components/KeelTable.h"
#include "engine/core/ErrorCodes.h"

namespace keel::testing {

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = &TKeelEngine::Acquire();
    char pattern[] = "/tmp/keel-components-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    TKeelEngine::Release();
    std::filesystem::remove_all(folder_);
  }

  TKeelEngine& engine() { return *engine_; }
  const std::string& folder() const { return folder_; }

  // A table component pointed at the test folder.
  void point(TKeelTable& table, const std::string& name) {
    table.SetDatabaseName(folder_);
    table.SetTableName(name);
  }

  // The ignore list's own table: ten columns, primary "DBFolder;Code" and
  // four case-insensitive secondary indexes.
  void createIgnoreTable(const std::string& name = "Ignore") {
    TKeelTable table;
    point(table, name);
    TKeelFieldDefs& f = table.FieldDefs();
    f.Add("DBFolder", TFieldType::ftString, 70);
    f.Add("Code", TFieldType::ftInteger);
    f.Add("DBCode", TFieldType::ftString, 60);
    f.Add("Surname", TFieldType::ftString, 60);
    f.Add("Firstnames", TFieldType::ftString, 60);
    f.Add("Birth date", TFieldType::ftInteger);
    f.Add("Birth dateD", TFieldType::ftString, 60);
    f.Add("Birth place", TFieldType::ftString, 60);
    f.Add("AllEvents", TFieldType::ftBoolean);
    f.Add("Events", TFieldType::ftString, 100);
    TKeelIndexDefs& i = table.IndexDefs();
    i.Add("Primary", "DBFolder;Code", ixPrimary | ixUnique);
    i.Add("BirthDateIdx", "Birth date;Surname;Firstnames", ixCaseInsensitive);
    i.Add("BirthPlaceIdx", "Birth place;Surname;Firstnames;Birth date", ixCaseInsensitive);
    i.Add("FirstNamesIdx", "Firstnames;Surname;Birth date", ixCaseInsensitive);
    i.Add("SurnameIdx", "Surname;Firstnames;Birth date", ixCaseInsensitive);
    table.CreateTableFromDefs();
  }

  // The added events' table: an auto-increment primary key and small integers.
  void createEventsTable(const std::string& name = "Events") {
    TKeelTable table;
    point(table, name);
    TKeelFieldDefs& f = table.FieldDefs();
    f.Add("Code", TFieldType::ftAutoInc);
    f.Add("Description", TFieldType::ftString, 60);
    f.Add("Event date D", TFieldType::ftString, 60);
    f.Add("Event date DD", TFieldType::ftSmallint);
    f.Add("Event date MM", TFieldType::ftSmallint);
    f.Add("Event date YY", TFieldType::ftInteger);
    f.Add("EventType", TFieldType::ftSmallint);
    TKeelIndexDefs& i = table.IndexDefs();
    i.Add("Primary", "Code", ixPrimary | ixUnique);
    i.Add("DateIdx", "Event date MM;Event date DD", ixCaseInsensitive);
    i.Add("DescIdx", "Description", ixCaseInsensitive);
    table.CreateTableFromDefs();
  }

  // Links of a family tree: a 72-byte date record column, the two-field
  // index "CFMIdx" and a three-field one.
  void createLinksTable(const std::string& name = "Links") {
    TKeelTable table;
    point(table, name);
    TKeelFieldDefs& f = table.FieldDefs();
    f.Add("RecType", TFieldType::ftString, 1);
    f.Add("ChildMarr", TFieldType::ftInteger);
    f.Add("PersFam", TFieldType::ftInteger);
    f.Add("Search date~B", TFieldType::ftBytes, 72);
    table.IndexDefs().Add("CFMIdx", "RecType;ChildMarr");
    table.IndexDefs().Add("CFPIdx", "RecType;ChildMarr;PersFam");
    table.CreateTableFromDefs();
  }

 private:
  TKeelEngine* engine_ = nullptr;
  std::string folder_;
};

// Runs `action` and answers the message of the EDatabaseError it raised.
inline std::string DatabaseErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  return "(no database error)";
}

// Runs `action` and answers the code of the EKeelEngineError it raised.
inline ErrorCode EngineErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKeelEngineError& error) {
    return error.code();
  }
  return ErrorCode::KEEL_NONE;
}

}  // namespace keel::testing
