#pragma once

// Writes a made-up family tree into a folder as the three tables of the
// family-tree program, through the table engine.

#include <string>
#include <vector>

#include "engine/core/DataDirectory.h"
#include "engine/core/DataSession.h"
#include "platform/Clock.h"
#include "tools/mktree/FamilyTree.h"

namespace mindrel {

class TTreeWriter {
 public:
  // `clock` stamps the table headers only; row contents never depend on it.
  TTreeWriter(std::string folder, const Clock& clock);

  // Names of the tree's tables ("People.dat", ...) that the folder holds already.
  std::vector<std::string> ExistingTables();

  // Creates the three tables in the existing folder, replacing tables of the
  // same names only when `replace` is set (otherwise 13060 from the engine),
  // and fills them. Failures are engine errors.
  void Write(const TFamilyTree& tree, bool replace);

 private:
  void WritePeople(keel::TDataDirectory& directory, const TFamilyTree& tree);
  void WriteFamilies(keel::TDataDirectory& directory, const TFamilyTree& tree);
  void WriteLinks(keel::TDataDirectory& directory, const TFamilyTree& tree);

  std::string folder_;
  keel::TDataEngine engine_;
  keel::TDataSession session_;
};

}  // namespace mindrel
