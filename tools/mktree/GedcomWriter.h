#pragma once

// Writes a made-up family tree as a GEDCOM 5.5.1 file in UTF-8, the way a
// genealogy program exports one: people with their names and events, couples
// with their partners and events, the header and the trailer.

#include <ostream>
#include <string>

#include "tools/mktree/FamilyTree.h"

namespace mindrel {

class TGedcomWriter {
 public:
  static void Write(const TFamilyTree& tree, std::ostream& out);

  // A tree date as a GEDCOM date value: "12 MAR 1890", "ABT MAR 1890",
  // "44 B.C." ...; a phrase, and a day and month without a year (which a
  // GEDCOM date cannot hold), as a text in parentheses.
  static std::string DateValue(const TTreeDate& date);
};

}  // namespace mindrel
