#include "gedcom/GedcomError.h"

namespace mindrel {

namespace {

std::string Where(const std::string& file, int line) {
  return line > 0 ? "\"" + file + "\", line " + std::to_string(line) : "\"" + file + "\"";
}

}  // namespace

EGedcomError::EGedcomError(const std::string& file, int line, const std::string& reason)
    : std::runtime_error("GEDCOM file " + Where(file, line) + ": " + reason), line_(line) {}

}  // namespace mindrel
