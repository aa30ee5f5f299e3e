#pragma once

// Checks the BLOB chains of a table without trusting them: every row slot's
// chain, the free-block chain, and blocks claimed twice. Damage never raises
// or hangs; every problem becomes one line of the report. Verification reports
// the lines; repair uses the verdict on each chain to keep or empty its value.
//
// A sound chain (docs/formats/blob-file.md): links within 1..block count, no
// block met twice, every block's previous link naming the block before it (0
// in the first), the first block carrying the reference's stamp and a total
// length the blocks before the end of the chain hold, every block of the value
// but the last full, no block using more than its data area. Blocks after the
// value (kept for later, longer values) follow the same link rules. A block
// belongs to one chain at most and never to a chain and the free chain. Blocks
// in no chain are not damage: an interrupted or refused write leaves them.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobFile.h"
#include "engine/core/FieldDescriptor.h"

namespace keel {

class TDataFile;

// The verdict on one chain.
struct BlobChainVerdict {
  // The value reads back as it was written and no earlier chain holds any of
  // its blocks.
  bool valueWhole = false;
  // The blocks this chain keeps: the value's, then the sound part of the
  // blocks after it. Empty when the value is not whole.
  std::vector<std::int32_t> kept;
  // True when blocks after the kept ones are damaged or belong to another
  // chain: the link out of the last kept block must be cut.
  bool tailCut = false;
};

class TBlobChainChecker {
 public:
  // `file` must outlive the checker.
  explicit TBlobChainChecker(TBlobFile& file) : file_(file) {}

  // Checks the chain of `reference`; `owner` names it in the report ("row 4
  // field Notes"). Blocks of a whole chain are claimed for it, so a later
  // chain or the free chain meeting them is reported as cross-linked.
  BlobChainVerdict checkChain(BlobReference reference, const std::string& owner);
  // The free-block chain starting at `head`: links out of the file, cycles
  // and blocks claimed by a chain. Check it after every chain.
  void checkFreeChain(std::int32_t head);
  // Blocks that no whole chain kept.
  std::vector<std::int32_t> unclaimedBlocks() const;

  const std::vector<std::string>& problems() const { return problems_; }

  // Every BLOB value of every row slot of `data` (deleted slots keep their
  // chains too), then the free chain; the problems found.
  static std::vector<std::string> CheckTable(TDataFile& data, TBlobFile& file);

 private:
  struct Walk {
    std::vector<std::int32_t> blocks;  // in chain order
    std::size_t valueBlocks = 0;       // how many of them hold the value
    bool valueSound = false;
    bool tailSound = true;
  };

  Walk walk(BlobReference reference, const std::string& owner);
  bool readHeader(std::int32_t n, BlobBlockHeader& header, const std::string& owner);
  void claim(const Walk& walk, const std::string& owner, BlobChainVerdict& verdict);
  void problem(std::string text) { problems_.push_back(std::move(text)); }

  TBlobFile& file_;
  std::map<std::int32_t, std::string> owners_;  // claimed block -> its chain's owner
  std::vector<std::string> problems_;
};

// The owner name of a BLOB value in the reports.
std::string BlobOwnerName(std::int64_t row, bool deleted, const FieldDescriptor& field);

}  // namespace keel
