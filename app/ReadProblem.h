#pragma once

// What the user is told when a source cannot be read, or not whole: which
// folder or file, what went wrong in words, and the engine's error number as
// the detail to quote when asking for help.

#include <exception>
#include <string>

namespace mindrel {

class TReadProblem {
 public:
  // "The family tree in "<folder>" could not be read: <cause>."
  static std::string FamilyTree(const std::string& folder, const std::exception& error);
  // The same for a scan the error ended part way: what was found before is
  // listed.
  static std::string FamilyTreeInPart(const std::string& folder, const std::exception& error);
  // A family tree whose people table is not one of the family-tree program's
  // version 3.
  static std::string NotVersion3(const std::string& folder, int userMajorVersion);
  static std::string MissingFolder(const std::string& folder);

  // The cause in words, ending with "(Keel Engine Error # <code>)" for an
  // engine error; another exception's own text.
  static std::string Cause(const std::exception& error);
};

}  // namespace mindrel
