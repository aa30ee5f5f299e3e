#pragma once

#include <string>

namespace mindrel {

// The record an alert entry is made from, as the scan has it positioned:
// the current row of the query over "People.dat" or "Families.dat", or the
// current record of the added-events table. The dataset layer implements it.
class TEntrySource {
 public:
  virtual ~TEntrySource() = default;
  // The text of the named column ("FirstNames", "Surname", "Fathers name",
  // "Mothers name", "Description"); empty for a null value.
  virtual std::string StringField(const std::string& name) const = 0;
};

}  // namespace mindrel
