#include "engine/core/BlobChainChecker.h"

#include <algorithm>
#include <set>

#include "engine/core/BlobRow.h"
#include "engine/core/DataFile.h"
#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

std::string BlockName(std::int32_t n) { return "block " + std::to_string(n); }

}  // namespace

std::string BlobOwnerName(std::int64_t row, bool deleted, const FieldDescriptor& field) {
  return std::string(deleted ? "deleted row " : "row ") + std::to_string(row) + " field " + field.name;
}

bool TBlobChainChecker::readHeader(std::int32_t n, BlobBlockHeader& header, const std::string& owner) {
  try {
    header = file_.readBlock(n).header;
  } catch (const EKeelEngineError& error) {
    problem(owner + ": " + BlockName(n) + " cannot be read: " + error.what());
    return false;
  }
  if (header.used > file_.dataSize()) {
    problem(owner + ": " + BlockName(n) + " uses " + std::to_string(header.used) + " bytes of " +
            std::to_string(file_.dataSize()));
    return false;
  }
  return true;
}

TBlobChainChecker::Walk TBlobChainChecker::walk(BlobReference reference, const std::string& owner) {
  Walk walk;
  if (reference.firstBlock == 0) {
    walk.valueSound = true;
    return walk;
  }
  const std::int32_t count = file_.blockCount();
  if (reference.firstBlock < 0 || reference.firstBlock > count) {
    problem(owner + ": refers to " + BlockName(reference.firstBlock) + ", the file has " + std::to_string(count));
    return walk;
  }
  BlobBlockHeader header;
  if (!readHeader(reference.firstBlock, header, owner)) return walk;
  if (header.previous != 0) {
    problem(owner + ": first " + BlockName(reference.firstBlock) + " links back to " + BlockName(header.previous));
    return walk;
  }
  if (header.stamp != reference.stamp) {
    problem(owner + ": " + BlockName(reference.firstBlock) + " carries stamp " + std::to_string(header.stamp) +
            ", the row " + std::to_string(reference.stamp));
    return walk;
  }
  const std::uint64_t capacity = static_cast<std::uint64_t>(count) * file_.dataSize();
  if (header.totalLength < 0 || static_cast<std::uint64_t>(header.totalLength) > capacity) {
    problem(owner + ": length " + std::to_string(header.totalLength) + " cannot fit the file");
    return walk;
  }
  std::size_t missing = static_cast<std::size_t>(header.totalLength);
  std::set<std::int32_t> seen;
  for (std::int32_t n = reference.firstBlock;;) {
    walk.blocks.push_back(n);
    seen.insert(n);
    const bool inValue = walk.valueBlocks == 0;
    if (inValue) {
      const std::size_t wanted = std::min(file_.dataSize(), missing);
      if (header.used < wanted) {
        problem(owner + ": " + BlockName(n) + " holds " + std::to_string(header.used) + " bytes where the value needs " +
                std::to_string(wanted));
        return walk;
      }
      missing -= wanted;
      if (missing == 0) {
        walk.valueBlocks = walk.blocks.size();
        walk.valueSound = true;
      }
    }
    const std::int32_t next = header.next;
    if (next == 0) {
      if (missing > 0) problem(owner + ": chain ends at " + BlockName(n) + " with " + std::to_string(missing) + " bytes missing");
      return walk;
    }
    std::string damage;
    bool unreadable = false;  // reported by readHeader
    if (next < 1 || next > count) {
      damage = BlockName(n) + " links to " + BlockName(next) + " outside the file";
    } else if (seen.count(next) != 0) {
      damage = BlockName(n) + " links back into the chain at " + BlockName(next);
    } else if (!readHeader(next, header, owner)) {
      unreadable = true;
    } else if (header.previous != n) {
      damage = BlockName(next) + " links back to " + BlockName(header.previous) + ", not " + BlockName(n);
    }
    if (unreadable || !damage.empty()) {
      if (!damage.empty()) problem(owner + ": " + damage);
      walk.tailSound = false;
      return walk;
    }
    n = next;
  }
}

void TBlobChainChecker::claim(const Walk& walk, const std::string& owner, BlobChainVerdict& verdict) {
  for (std::size_t i = 0; i < walk.valueBlocks; ++i) {
    auto holder = owners_.find(walk.blocks[i]);
    if (holder != owners_.end()) {
      problem(owner + ": " + BlockName(walk.blocks[i]) + " is also in the chain of " + holder->second);
      return;
    }
  }
  verdict.valueWhole = true;
  verdict.tailCut = !walk.tailSound;
  for (std::size_t i = 0; i < walk.blocks.size(); ++i) {
    const std::int32_t n = walk.blocks[i];
    auto [holder, added] = owners_.emplace(n, owner);
    if (!added) {
      problem(owner + ": " + BlockName(n) + " after the value is also in the chain of " + holder->second);
      verdict.tailCut = true;
      break;
    }
    verdict.kept.push_back(n);
  }
}

BlobChainVerdict TBlobChainChecker::checkChain(BlobReference reference, const std::string& owner) {
  BlobChainVerdict verdict;
  const Walk walked = walk(reference, owner);
  if (walked.valueSound) claim(walked, owner, verdict);
  return verdict;
}

void TBlobChainChecker::checkFreeChain(std::int32_t head) {
  std::set<std::int32_t> seen;
  for (std::int32_t n = head; n != 0;) {
    if (n < 1 || n > file_.blockCount()) {
      problem("free-block chain leads to " + BlockName(n) + " outside the file");
      return;
    }
    if (!seen.insert(n).second) {
      problem("free-block chain runs in a cycle at " + BlockName(n));
      return;
    }
    auto holder = owners_.find(n);
    if (holder != owners_.end()) problem("free-block chain holds " + BlockName(n) + " of " + holder->second);
    BlobBlockHeader header;
    try {
      header = file_.readBlock(n).header;
    } catch (const EKeelEngineError& error) {
      problem("free " + BlockName(n) + " cannot be read: " + error.what());
      return;
    }
    n = header.next;
  }
}

std::vector<std::int32_t> TBlobChainChecker::unclaimedBlocks() const {
  std::vector<std::int32_t> blocks;
  for (std::int32_t n = 1; n <= file_.blockCount(); ++n) {
    if (owners_.count(n) == 0) blocks.push_back(n);
  }
  return blocks;
}

std::vector<std::string> TBlobChainChecker::CheckTable(TDataFile& data, TBlobFile& file) {
  TBlobChainChecker checker(file);
  const int64_t count = data.physicalRowCount();
  for (int64_t k = 1; k <= count; ++k) {
    TPinnedUnit row = data.row(k, static_cast<size_t>(count - k + 1));
    if (!row) raise(ErrorCode::KEEL_KEYORRECDELETED, {.table = data.tableName()});
    const bool deleted = row->data()[kRowStatusAt] == kRowDeleted;
    for (const FieldDescriptor& field : data.fields()) {
      if (!field.isBlob() || field.takesNoRoom()) continue;
      const BlobReference reference = ReadBlobReference({row->data(), row->size()}, field, data.tableName());
      checker.checkChain(reference, BlobOwnerName(k, deleted, field));
    }
  }
  checker.checkFreeChain(file.header().freeHead);
  return checker.problems();
}

}  // namespace keel
