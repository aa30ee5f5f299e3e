#include "app/ReadProblem.h"

#include "engine/core/ErrorCodes.h"

namespace mindrel {

namespace {

using keel::ErrorCode;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The file an error names: the file layer gives full paths, the table layers
// the table's name, whose data file is meant.
std::string FileOf(const std::string& named, const char* extension = ".dat") {
  const size_t slash = named.rfind('/');
  if (slash != std::string::npos) return Quoted(named.substr(slash + 1));
  if (named.find('.') != std::string::npos) return Quoted(named);
  return Quoted(named + extension);
}

std::string InWords(const keel::EKeelEngineError& error) {
  const keel::ErrorContext& context = error.context();
  const std::string& table = context.table;
  if (FileOf(table) == "\"keel.lck\"" && error.code() == ErrorCode::KEEL_BADSIGNATURE)
    return "the folder's lock file \"keel.lck\" is damaged";
  switch (error.code()) {
    case ErrorCode::KEEL_OSENOENT: return FileOf(table) + " is missing";
    case ErrorCode::KEEL_OSEACCES:
      return FileOf(table) + " cannot be opened: another program holds it, or it may not be read";
    case ErrorCode::KEEL_READERR: return FileOf(table) + " ends too early: it was cut short";
    case ErrorCode::KEEL_HEADERCORRUPT: return "the header of " + FileOf(table) + " is damaged";
    case ErrorCode::KEEL_OLDVERSION: return FileOf(table) + " is a table of another version";
    case ErrorCode::KEEL_BADSIGNATURE:
      return FileOf(table) + " is damaged, or is no table of the family-tree program";
    case ErrorCode::KEEL_FILECORRUPT: return "the rows of " + FileOf(table) + " are damaged";
    case ErrorCode::KEEL_INDEXCORRUPT: return "the index file " + FileOf(table, ".idx") + " is damaged";
    case ErrorCode::KEEL_MEMOCORRUPT:
    case ErrorCode::KEEL_ENDOFBLOB: return "the text file " + FileOf(table, ".blb") + " is damaged";
    case ErrorCode::KEEL_INVALIDINDEXNAME:
      return "the index " + Quoted(context.index) + " of " + FileOf(table) +
             " is missing: its index file is damaged or belongs to another table";
    case ErrorCode::KEEL_READLOCK:
    case ErrorCode::KEEL_LOCKREADLOCK: return FileOf(table.empty() ? "keel.lck" : table) + " stays locked by another program";
    case ErrorCode::KEEL_NOTSUFFTABLERIGHTS: return FileOf(table) + " is protected by a password";
    case ErrorCode::KEEL_CANNOTLOADLDDRV: return "the language order of " + FileOf(table) + " is not available here";
    case ErrorCode::KEEL_OSEMFILE: return "too many files are open";
    case ErrorCode::KEEL_OSENOMEM: return "there is not enough memory";
    default: return error.what();
  }
}

}  // namespace

std::string TReadProblem::Cause(const std::exception& error) {
  const auto* engine = dynamic_cast<const keel::EKeelEngineError*>(&error);
  if (!engine) return error.what();
  return InWords(*engine) + " (Keel Engine Error # " + std::to_string(static_cast<int>(engine->code())) + ")";
}

std::string TReadProblem::FamilyTree(const std::string& folder, const std::exception& error) {
  return "The family tree in " + Quoted(folder) + " could not be read: " + Cause(error) + ".";
}

std::string TReadProblem::FamilyTreeInPart(const std::string& folder, const std::exception& error) {
  return "The family tree in " + Quoted(folder) + " could not be read whole: " + Cause(error) +
         ". The alerts found in it before are listed.";
}

std::string TReadProblem::NotVersion3(const std::string& folder, int userMajorVersion) {
  return "The family tree in " + Quoted(folder) + " could not be read: \"People.dat\" is not a table of Tallowyn V3 " +
         "(its version is " + std::to_string(userMajorVersion) + ").";
}

std::string TReadProblem::MissingFolder(const std::string& folder) {
  return "The family tree in " + Quoted(folder) + " could not be read: the folder does not exist.";
}

}  // namespace mindrel
