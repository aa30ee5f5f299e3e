#include "app/OwnTables.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "engine/components/KeelTable.h"
#include "engine/core/ErrorCodes.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

namespace mindrel {

namespace {

using keel::TFieldType;
using Define = void (*)(keel::TKeelTable&);

// True when every index of the schema is in the open table: an index file
// lost and made anew by the engine holds the primary index only.
bool HasSchemaIndexes(keel::TKeelTable& table, Define define) {
  keel::TKeelTable schema;
  define(schema);
  table.RefreshDefs();
  for (const keel::TKeelIndexDef& wanted : schema.IndexDefs()) {
    if (wanted.Has(keel::ixPrimary)) continue;
    const bool present = std::any_of(table.IndexDefs().begin(), table.IndexDefs().end(),
                                     [&](const keel::TKeelIndexDef& def) { return def.Name == wanted.Name; });
    if (!present) return false;
  }
  return true;
}

std::string Stamp(const Clock& clock) {
  const LocalDateTime now = clock.now();
  char text[80];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", now.date.year, now.date.month, now.date.day, now.hour,
                now.minute, now.second);
  return text;
}

// Renames the table's files to "<name>.damaged-<stamp>[-n].<ext>"; answers
// the new name of the data file, or empty when it could not be renamed.
std::string SetAside(const std::string& folder, const std::string& name, const Clock& clock) {
  const std::string base = name.substr(0, name.rfind('.')) + ".damaged-" + Stamp(clock);
  std::string aside = base;
  for (int n = 2; FileExists(folder + aside + ".dat"); ++n) aside = base + "-" + std::to_string(n);
  if (RenameFile(folder + name, folder + aside + ".dat") != 0) return {};
  for (const char* extension : {".idx", ".blb"}) {
    const std::string from = folder + name.substr(0, name.rfind('.')) + extension;
    if (FileExists(from)) RenameFile(from, folder + aside + extension);
  }
  return aside + ".dat";
}

void Create(keel::TKeelTable& table, Define define) {
  define(table);
  table.CreateTableFromDefs();
  table.Open();
}

// Damage that opening does not see (a cut row, a free-row chain into a live
// row, a row counter past the file) would come back later as "table is full",
// "duplicate key" or entries without text: the whole table is checked, as a
// verification does, which costs little for tables of this size.
bool OpensSound(keel::TKeelTable& table, Define define) {
  try {
    table.Open();
    return table.Verify().empty() && HasSchemaIndexes(table, define);
  } catch (const keel::EKeelEngineError&) {
    return false;  // repaired below; the repair's own error tells when it cannot be
  }
}

std::string RepairedMessage(const std::string& path, const keel::TableRepairReport& report) {
  std::string message = "\"" + path + "\" was damaged and has been repaired. " + std::to_string(report.keptRows) +
                        (report.keptRows == 1 ? " entry was" : " entries were") + " kept; not kept:";
  for (const std::string& line : report.lost) message += "\n" + line;
  return message;
}

std::string OpenOrCreate(keel::TKeelTable& table, const std::string& dataFolder, const std::string& name,
                         Define define, const Clock& clock) {
  table.Close();
  table.SetDatabaseName(dataFolder);
  table.SetTableName(name);
  if (!table.Exists()) {
    Create(table, define);
    return {};
  }
  if (OpensSound(table, define)) return {};
  table.Close();
  const std::string folder = WithTrailingSeparator(dataFolder);
  std::exception_ptr failure;
  std::string cause;
  try {
    define(table);
    const keel::TableRepairReport report = table.RepairFromDefs();
    table.Open();
    return report.lost.empty() ? std::string() : RepairedMessage(folder + name, report);
  } catch (const keel::EKeelEngineError& error) {
    table.Close();
    // In use by another process: it cannot be repaired now, nor set aside.
    if (error.code() == keel::ErrorCode::KEEL_OSEACCES) throw;
    failure = std::current_exception();
    cause = error.what();
  }
  // Only a table none of whose rows can be read gets here.
  const std::string aside = SetAside(folder, name, clock);
  if (aside.empty()) std::rethrow_exception(failure);
  Create(table, define);
  return "\"" + folder + name + "\" could not be read (" + cause + "). It was set aside as \"" + aside +
         "\" and a new, empty \"" + name + "\" was made.";
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

std::string TOwnTables::OpenIgnoreTable(keel::TKeelTable& table, const std::string& dataFolder, const Clock& clock) {
  return OpenOrCreate(table, dataFolder, "Ignore.dat", &TOwnTables::DefineIgnoreTable, clock);
}

std::string TOwnTables::OpenEventsTable(keel::TKeelTable& table, const std::string& dataFolder, const Clock& clock) {
  std::string message = OpenOrCreate(table, dataFolder, "Events.dat", &TOwnTables::DefineEventsTable, clock);
  table.SetIndexName("DateIdx");
  return message;
}

}  // namespace mindrel
