#include "engine/core/TableVerifier.h"

#include <cstring>
#include <functional>
#include <set>

#include "engine/core/BlobChainChecker.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/DataTable.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"

namespace keel {

namespace {

using Problems = std::vector<std::string>;

void CheckFreeRowChain(TDataFile& data, std::set<int64_t>& onChain, Problems& problems) {
  const int64_t count = data.physicalRowCount();
  for (int64_t k = data.header().freeRowHead; k != 0;) {
    if (k < 1 || k > count) {
      problems.push_back("free-row chain leaves the file at row " + std::to_string(k));
      return;
    }
    if (!onChain.insert(k).second) {
      problems.push_back("free-row chain loops at row " + std::to_string(k));
      return;
    }
    TPinnedUnit row = data.row(k);
    if (row->data()[kRowStatusAt] != kRowDeleted) problems.push_back("free-row chain holds active row " + std::to_string(k));
    k = LoadI32(row->data() + kRowLinkAt);
  }
}

void CheckRows(TDataFile& data, Problems& problems) {
  std::set<int64_t> onChain;
  CheckFreeRowChain(data, onChain, problems);
  const int64_t count = data.physicalRowCount();
  int64_t active = 0;
  for (int64_t k = 1; k <= count; ++k) {
    TPinnedUnit row = data.row(k, static_cast<size_t>(count - k + 1));
    const std::string name = "row " + std::to_string(k);
    if (row->data()[kRowStatusAt] == kRowDeleted) {
      if (onChain.count(k) == 0) problems.push_back("deleted " + name + " is not on the free-row chain");
      continue;
    }
    ++active;
    const int32_t link = LoadI32(row->data() + kRowLinkAt);
    if (link != k) problems.push_back(name + " links to " + std::to_string(link));
    const Md5Digest hash = data.recordHash({row->data(), row->size()});
    if (std::memcmp(hash.data(), row->data() + kRowHashAt, hash.size()) != 0)
      problems.push_back(name + " has a wrong RecordHash");
  }
  if (active != data.header().activeRowCount)
    problems.push_back("active row count " + std::to_string(data.header().activeRowCount) + ", rows " +
                       std::to_string(active));
}

void CheckIndexes(TDataTable& table, Problems& problems) {
  TDataFile& data = table.data();
  std::set<int32_t> pagesInUse;
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    TIndexAccess& access = table.access(slot);
    const std::string label = "index " + (slot == 0 ? std::string("(primary)") : access.descriptor().name) + ": ";
    TIndexSlotStore store(table.index(), slot);
    TIndexTreeChecker checker(store, access.comparer());
    for (const std::string& problem : checker.check()) problems.push_back(label + problem);
    pagesInUse.insert(checker.pagesInUse().begin(), checker.pagesInUse().end());
    if (checker.keyCount() != data.header().activeRowCount)
      problems.push_back(label + std::to_string(checker.keyCount()) + " keys for " +
                         std::to_string(data.header().activeRowCount) + " rows");
    for (int64_t k = 1; k <= data.physicalRowCount(); ++k) {
      TPinnedUnit row = data.row(k, static_cast<size_t>(data.physicalRowCount() - k + 1));
      if (row->data()[kRowStatusAt] == kRowDeleted) continue;
      const IndexEntryRef at = access.tree().find(access.keys().build({row->data(), row->size()}));
      if (!at.valid() || access.tree().rowAt(at) != k) problems.push_back(label + "row " + std::to_string(k) + " has no key");
    }
  }
  TIndexSlotStore store(table.index(), 0);
  for (const std::string& problem : TIndexTreeChecker::checkFreeChain(store, table.index().freeHead(), &pagesInUse))
    problems.push_back("index file: " + problem);
}

void CheckBlobs(TDataTable& table, Problems& problems) {
  TBlobFile* blob = table.blob();
  if (!blob) return;
  for (const std::string& problem : TBlobChainChecker::CheckTable(table.data(), *blob))
    problems.push_back("BLOB file: " + problem);
}

}  // namespace

std::vector<std::string> TTableVerifier::Check(TDataTable& table) {
  TTableReadScope whole(table);
  Problems problems = table.data().verifyStructure();
  auto guarded = [&](const std::string& what, const std::function<void()>& check) {
    try {
      check();
    } catch (const EKeelEngineError& error) {
      problems.push_back(what + ": " + error.what());
    }
  };
  guarded("rows", [&] { CheckRows(table.data(), problems); });
  guarded("indexes", [&] { CheckIndexes(table, problems); });
  guarded("BLOB file", [&] { CheckBlobs(table, problems); });
  return problems;
}

}  // namespace keel
