#pragma once

// The input of the table targets: one flags byte, the lengths of the data and
// index files as 16-bit little-endian numbers, then the data file, the index
// file, and the rest (the BLOB file, and what a target reads after it).
// Lengths past the end of the input are cut to what is there. Flags: bit 0,
// the session knows the password "fuzz"; bits 1-6, how many 768-byte index
// descriptor slots the index file gives after its header; bit 7, the last
// slot given is slot 31 (the full-text slot). The slots not given are zero,
// so a small table makes a small input (an encrypted table gives all 32, its
// descriptor area being one cipher unit).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/FileRegistry.h"
#include "engine/core/IndexLayout.h"

namespace keel::fuzz {

constexpr size_t kHeaderBytes = 5;
// Bigger inputs only slow the search down: a seed table is a few KB.
constexpr size_t kMaxInput = 64 * 1024;
constexpr const char* kPassword = "fuzz";

struct TableFiles {
  bool knowsPassword = false;
  std::span<const uint8_t> data;
  std::vector<uint8_t> index;
  std::span<const uint8_t> rest;  // the BLOB file, or what the target splits further
};

// The index file with its descriptor area filled out to all 32 slots.
inline std::vector<uint8_t> ExpandIndex(std::span<const uint8_t> given, size_t slots, bool lastIsFullText) {
  constexpr size_t kSlot = index_layout::kDescriptorSize;
  constexpr size_t kHeader = index_layout::kHeaderSize;
  constexpr size_t kSlots = index_layout::kSlotCount;
  std::vector<uint8_t> file(given.begin(), given.begin() + std::min(given.size(), kHeader));
  if (given.size() <= kHeader) return file;
  file.resize(index_layout::kPagesStart, 0);
  std::span<const uint8_t> rest = given.subspan(kHeader);
  slots = std::min(slots, kSlots);
  for (size_t i = 0; i < slots && !rest.empty(); ++i) {
    const size_t slot = lastIsFullText && i + 1 == slots ? kSlots - 1 : i;
    const size_t length = std::min(kSlot, rest.size());
    std::copy_n(rest.begin(), length, file.begin() + static_cast<std::ptrdiff_t>(kHeader + slot * kSlot));
    rest = rest.subspan(length);
  }
  file.insert(file.end(), rest.begin(), rest.end());
  return file;
}

// REQUIRES: input.size() >= kHeaderBytes
inline TableFiles Split(std::span<const uint8_t> input) {
  TableFiles files;
  files.knowsPassword = (input[0] & 1) != 0;
  const size_t dataLength = input[1] | (size_t{input[2]} << 8);
  const size_t indexLength = input[3] | (size_t{input[4]} << 8);
  std::span<const uint8_t> rest = input.subspan(kHeaderBytes);
  files.data = rest.first(std::min(dataLength, rest.size()));
  rest = rest.subspan(files.data.size());
  std::span<const uint8_t> index = rest.first(std::min(indexLength, rest.size()));
  files.index = ExpandIndex(index, (input[0] >> 1) & 0x3F, (input[0] & 0x80) != 0);
  files.rest = rest.subspan(index.size());
  return files;
}

// An empty span is an absent file, not an empty one.
inline void StoreInMemory(TFileRegistry& registry, const std::string& path, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  FileHandle handle = registry.create(path, FileOpenRequest{.inMemory = true}, false);
  handle.file->writeAt(0, bytes.data(), bytes.size());
  registry.close(handle);
}

}  // namespace keel::fuzz
