#pragma once

#include <stdexcept>
#include <string>

namespace mindrel {

// A GEDCOM file that cannot be read as one: the message names the file and
// the line (counted from 1; 0 when the file as a whole is at fault).
class EGedcomError : public std::runtime_error {
 public:
  EGedcomError(const std::string& file, int line, const std::string& reason);

  int Line() const { return line_; }

 private:
  int line_;
};

}  // namespace mindrel
