#include "app/OwnTables.h"

#include "engine/components/KeelTable.h"
#include "engine/core/ErrorCodes.h"

namespace mindrel {

namespace {

using keel::TFieldType;

void OpenOrCreate(keel::TKeelTable& table, const std::string& dataFolder, const std::string& name,
                  void (*define)(keel::TKeelTable&)) {
  table.Close();
  table.SetDatabaseName(dataFolder);
  table.SetTableName(name);
  try {
    table.Open();
    return;
  } catch (const keel::EKeelEngineError&) {
  }
  define(table);
  table.CreateTableFromDefs();
  table.Open();
}

}  // namespace

void TOwnTables::DefineIgnoreTable(keel::TKeelTable& table) {
  auto& fields = table.FieldDefs();
  fields.Clear();
  fields.Add("DBFolder", TFieldType::ftString, 70);
  fields.Add("Code", TFieldType::ftInteger);
  fields.Add("DBCode", TFieldType::ftString, 60);
  fields.Add("Surname", TFieldType::ftString, 60);
  fields.Add("Firstnames", TFieldType::ftString, 60);
  fields.Add("Birth date", TFieldType::ftInteger);
  fields.Add("Birth dateD", TFieldType::ftString, 60);
  fields.Add("Birth place", TFieldType::ftString, 60);
  fields.Add("AllEvents", TFieldType::ftBoolean);
  fields.Add("Events", TFieldType::ftString, 100);
  auto& indexes = table.IndexDefs();
  indexes.Clear();
  indexes.Add("Primary", "DBFolder;Code", keel::ixPrimary | keel::ixUnique);
  indexes.Add("BirthDateIdx", "Birth date;Surname;Firstnames", keel::ixCaseInsensitive);
  indexes.Add("BirthPlaceIdx", "Birth place;Surname;Firstnames;Birth date", keel::ixCaseInsensitive);
  indexes.Add("FirstNamesIdx", "Firstnames;Surname;Birth date", keel::ixCaseInsensitive);
  indexes.Add("SurnameIdx", "Surname;Firstnames;Birth date", keel::ixCaseInsensitive);
}

void TOwnTables::DefineEventsTable(keel::TKeelTable& table) {
  auto& fields = table.FieldDefs();
  fields.Clear();
  fields.Add("Code", TFieldType::ftAutoInc);
  fields.Add("Description", TFieldType::ftString, 60);
  fields.Add("Event date D", TFieldType::ftString, 60);
  fields.Add("Event date DD", TFieldType::ftSmallint);
  fields.Add("Event date MM", TFieldType::ftSmallint);
  fields.Add("Event date YY", TFieldType::ftInteger);
  fields.Add("EventType", TFieldType::ftSmallint);
  auto& indexes = table.IndexDefs();
  indexes.Clear();
  indexes.Add("Primary", "Code", keel::ixPrimary | keel::ixUnique);
  indexes.Add("DateIdx", "Event date MM;Event date DD", keel::ixCaseInsensitive);
  indexes.Add("DescIdx", "Description", keel::ixCaseInsensitive);
}

void TOwnTables::OpenIgnoreTable(keel::TKeelTable& table, const std::string& dataFolder) {
  OpenOrCreate(table, dataFolder, "Ignore.dat", &TOwnTables::DefineIgnoreTable);
}

void TOwnTables::OpenEventsTable(keel::TKeelTable& table, const std::string& dataFolder) {
  OpenOrCreate(table, dataFolder, "Events.dat", &TOwnTables::DefineEventsTable);
  table.SetIndexName("DateIdx");
}

}  // namespace mindrel
