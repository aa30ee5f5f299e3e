#pragma once

// Lays out index files byte by byte from the format's own tables (header
// offsets, descriptor offsets, page header, the four leaf packings), without
// any engine code, so the engine can be checked against files it did not
// write.

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace keel::index_testing {

using Bytes = std::vector<uint8_t>;

inline void PutLE(Bytes& b, size_t at, uint32_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct BuiltIndex {
  std::string name;
  uint16_t keySize = 0;
  bool unique = true;
  bool caseInsensitive = false;
  bool descending = false;
  uint8_t compression = 0;
  std::vector<std::pair<uint16_t, bool>> fields;  // field number, descending
  bool noStatistics = false;
  uint8_t fieldCountOverride = 0;  // nonzero: written instead of fields.size()
};

struct BuiltEntry {
  Bytes key;
  int32_t pointer = 0;  // row number, or child page
  int32_t count = 0;    // subtree count (interior)
};

struct BuiltPage {
  uint8_t type = 2;
  int32_t prev = 0;
  int32_t next = 0;
  std::vector<BuiltEntry> entries;
};

class IndexFileBuilder {
 public:
  explicit IndexFileBuilder(size_t pageSize) : pageSize_(pageSize) {}

  IndexFileBuilder& index(int slot, const BuiltIndex& index) {
    indexes_[slot] = index;
    return *this;
  }
  IndexFileBuilder& secondaryCount(uint8_t n) {
    secondaryCount_ = n;
    return *this;
  }
  IndexFileBuilder& root(int slot, int32_t page) {
    roots_[slot] = page;
    return *this;
  }
  IndexFileBuilder& freeHead(int32_t page) {
    freeHead_ = page;
    return *this;
  }
  IndexFileBuilder& version(uint8_t v) {
    version_ = v;
    return *this;
  }
  IndexFileBuilder& rawPage(int32_t number, Bytes bytes) {
    pages_[number] = std::move(bytes);
    return *this;
  }
  IndexFileBuilder& page(int32_t number, int slot, const BuiltPage& page) {
    return rawPage(number, pageBytes(indexes_.at(slot), page));
  }

  // Leaves of `leafSizes` entries from `firstPage` on, then interior levels of
  // at most `fanout` entries each, the root last. Returns the root page.
  int32_t tree(int slot, const std::vector<std::pair<Bytes, int32_t>>& sorted,
               const std::vector<size_t>& leafSizes, size_t fanout, int32_t firstPage) {
    struct Node {
      int32_t page;
      Bytes firstKey;
      int32_t keys;
    };
    std::vector<Node> level;
    std::vector<BuiltPage> pages;
    size_t at = 0;
    int32_t number = firstPage;
    for (size_t size : leafSizes) {
      BuiltPage leaf;
      for (size_t i = 0; i < size; ++i, ++at)
        leaf.entries.push_back({sorted[at].first, sorted[at].second, 0});
      level.push_back({number++, leaf.entries.front().key, static_cast<int32_t>(size)});
      pages.push_back(leaf);
    }
    std::map<int32_t, BuiltPage> all;
    linkLevel(level, pages, all);
    while (level.size() > 1) {
      std::vector<Node> upper;
      std::vector<BuiltPage> upperPages;
      for (size_t i = 0; i < level.size(); i += fanout) {
        BuiltPage inner;
        inner.type = 1;
        int32_t keys = 0;
        for (size_t j = i; j < std::min(level.size(), i + fanout); ++j) {
          inner.entries.push_back({level[j].firstKey, level[j].page, level[j].keys});
          keys += level[j].keys;
        }
        upper.push_back({number++, inner.entries.front().key, keys});
        upperPages.push_back(inner);
      }
      linkLevel(upper, upperPages, all);
      level = upper;
    }
    BuiltPage& rootPage = all.at(level.front().page);
    rootPage.type = rootPage.type == 2 ? 3 : 0;
    for (auto& [n, p] : all) page(n, slot, p);
    root(slot, level.front().page);
    return level.front().page;
  }

  // Entry bytes as they follow the page header; `prev` is the previous key
  // on the page (null for the first entry).
  static Bytes entryBytes(const BuiltIndex& index, bool leaf, const Bytes* prev, const BuiltEntry& entry) {
    Bytes b;
    const Bytes& key = entry.key;
    const size_t k = index.keySize;
    const size_t s = index.unique ? 0 : 4;
    const uint8_t mode = leaf ? index.compression : 0;
    size_t d = 0;
    size_t t = 0;
    if ((mode == 1 || mode == 3) && prev) {
      while (d < k && d < 254 && (*prev)[d] == key[d]) ++d;
    }
    if ((mode == 2 || mode == 3) && k >= s + d) {
      while (t < 254 && t < k - s - d && key[k - s - 1 - t] == 0) ++t;
    }
    if (mode == 1 || mode == 3) b.push_back(static_cast<uint8_t>(d));
    if (mode == 2 || mode == 3) b.push_back(static_cast<uint8_t>(t));
    const size_t headEnd = t > 0 ? k - s - t : k;
    b.insert(b.end(), key.begin() + static_cast<ptrdiff_t>(d), key.begin() + static_cast<ptrdiff_t>(headEnd));
    if (t > 0) b.insert(b.end(), key.end() - static_cast<ptrdiff_t>(s), key.end());
    const size_t at = b.size();
    b.resize(at + 4);
    PutLE(b, at, static_cast<uint32_t>(entry.pointer), 4);
    if (!leaf && !index.noStatistics) {
      b.resize(at + 8);
      PutLE(b, at + 4, static_cast<uint32_t>(entry.count), 4);
    }
    return b;
  }

  static size_t entriesSize(const BuiltIndex& index, bool leaf, const std::vector<BuiltEntry>& entries) {
    size_t total = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      total += entryBytes(index, leaf, i == 0 ? nullptr : &entries[i - 1].key, entries[i]).size();
    }
    return total;
  }

  Bytes pageBytes(const BuiltIndex& index, const BuiltPage& page) const {
    Bytes b(pageSize_, 0);
    b[0] = page.type;
    PutLE(b, 1, static_cast<uint32_t>(page.entries.size()), 2);
    PutLE(b, 3, static_cast<uint32_t>(page.prev), 4);
    PutLE(b, 7, static_cast<uint32_t>(page.next), 4);
    const bool leaf = page.type == 2 || page.type == 3;
    size_t p = 13;
    for (size_t i = 0; i < page.entries.size(); ++i) {
      const Bytes e = entryBytes(index, leaf, i == 0 ? nullptr : &page.entries[i - 1].key, page.entries[i]);
      if (p + e.size() > b.size()) throw std::length_error("entries overrun the page");
      std::copy(e.begin(), e.end(), b.begin() + static_cast<ptrdiff_t>(p));
      p += e.size();
    }
    if (leaf && index.compression != 0) PutLE(b, 11, static_cast<uint32_t>(p - 13), 2);
    return b;
  }

  Bytes bytes() const {
    int32_t pageCount = pages_.empty() ? 0 : pages_.rbegin()->first;
    Bytes b(25088 + static_cast<size_t>(pageCount) * pageSize_, 0);
    b[8] = version_;
    const uint8_t standard[16] = {0x8A, 0xBE, 0x8E, 0x59, 0x23, 0x64, 0xCB, 0x40,
                                  0x3D, 0x71, 0xD2, 0xE3, 0xBC, 0x64, 0xD0, 0x01};
    std::copy(std::begin(standard), std::end(standard), b.begin() + 9);
    PutLE(b, 25, static_cast<uint32_t>(freeHead_), 4);
    PutLE(b, 29, static_cast<uint32_t>(pageCount + 1), 4);
    b[33] = secondaryCount_;
    for (auto& [slot, page] : roots_)
      PutLE(b, 34 + 4 * static_cast<size_t>(slot), static_cast<uint32_t>(page), 4);
    for (auto& [slot, index] : indexes_) {
      const size_t at = 512 + 768 * static_cast<size_t>(slot);
      b[at] = static_cast<uint8_t>(index.name.size());
      std::copy(index.name.begin(), index.name.end(), b.begin() + static_cast<ptrdiff_t>(at + 1));
      PutLE(b, at + 61, index.keySize, 2);
      b[at + 126] = index.descending;
      b[at + 127] = index.caseInsensitive;
      b[at + 128] = index.unique;
      b[at + 129] = index.compression;
      b[at + 130] = index.fieldCountOverride != 0 ? index.fieldCountOverride
                                                  : static_cast<uint8_t>(index.fields.size());
      for (size_t j = 1; j <= index.fields.size(); ++j) {
        b[at + 130 + j] = index.fields[j - 1].second;
        PutLE(b, at + 257 + 2 * j, index.fields[j - 1].first, 2);
      }
      b[at + 515] = index.noStatistics;
    }
    for (auto& [number, bytes] : pages_) {
      std::copy(bytes.begin(), bytes.end(),
                b.begin() + static_cast<ptrdiff_t>(25088 + (number - 1) * pageSize_));
    }
    return b;
  }

 private:
  template <typename Node>
  static void linkLevel(const std::vector<Node>& nodes, std::vector<BuiltPage>& pages,
                        std::map<int32_t, BuiltPage>& all) {
    for (size_t i = 0; i < nodes.size(); ++i) {
      pages[i].prev = i == 0 ? 0 : nodes[i - 1].page;
      pages[i].next = i + 1 == nodes.size() ? 0 : nodes[i + 1].page;
      all[nodes[i].page] = pages[i];
    }
  }

  size_t pageSize_;
  uint8_t version_ = 6;
  uint8_t secondaryCount_ = 0;
  int32_t freeHead_ = 0;
  std::map<int, BuiltIndex> indexes_;
  std::map<int, int32_t> roots_;
  std::map<int32_t, Bytes> pages_;
};

}  // namespace keel::index_testing
