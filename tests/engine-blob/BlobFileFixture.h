#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/BlobFile.h"
#include "engine/core/EngineFile.h"

namespace keel::testing {

// A BLOB file in memory, with a raw view of its bytes for checking layouts
// and damaging them. Fresh TBlobFile objects start with an empty cache.
class BlobFileFixture : public ::testing::Test {
protected:
  static constexpr const char* kPath = "mem/People.blb";

  std::unique_ptr<TBlobFile> makeFile(std::int32_t blockSize, TEngineSettings settings = {},
                                      const TTableCipher* cipher = nullptr, std::uint64_t sizeLimit = 0) {
    auto file = std::make_unique<TBlobFile>(registry_, kPath, EngineFileFlags{.inMemory = true},
                                            TBlobFile::Options{"People", blockSize, std::move(settings), sizeLimit});
    file->setCipher(cipher);
    return file;
  }
  std::unique_ptr<TBlobFile> create(std::int32_t blockSize = 512, TEngineSettings settings = {},
                                    const TTableCipher* cipher = nullptr) {
    auto file = makeFile(blockSize, std::move(settings), cipher);
    file->createFile();
    return file;
  }
  std::unique_ptr<TBlobFile> reopen(std::int32_t blockSize = 512, TEngineSettings settings = {},
                                    const TTableCipher* cipher = nullptr) {
    auto file = makeFile(blockSize, std::move(settings), cipher);
    file->openFile();
    return file;
  }

  std::vector<std::uint8_t> disk() {
    TEngineFile raw(registry_, kPath, {.inMemory = true});
    raw.open();
    std::vector<std::uint8_t> bytes(raw.size());
    raw.read(0, bytes.data(), bytes.size());
    return bytes;
  }
  // Makes the file at `path` (in memory) hold exactly `bytes`.
  void lay(const std::vector<std::uint8_t>& bytes, const std::string& path = kPath) {
    TEngineFile raw(registry_, path, {.inMemory = true});
    raw.create();
    raw.write(0, bytes.data(), bytes.size());
  }
  void poke(std::uint64_t offset, std::vector<std::uint8_t> bytes) {
    TEngineFile raw(registry_, kPath, {.inMemory = true});
    raw.open();
    raw.write(offset, bytes.data(), bytes.size());
  }
  void pokeI32(std::uint64_t offset, std::int32_t value) {
    std::vector<std::uint8_t> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    poke(offset, bytes);
  }
  void cut(std::uint64_t size) {
    TEngineFile raw(registry_, kPath, {.inMemory = true});
    raw.open();
    raw.truncate(size);
  }

  TFileRegistry registry_;
};

// Raw little-endian reads of a file image, independent of the engine's codec.
inline std::int32_t I32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// The header fields of block n of a plain file image with block size s:
// previous, next, used, stamp, total length.
inline std::vector<int> BlockFields(const std::vector<std::uint8_t>& file, std::size_t s, std::size_t n) {
  const std::size_t at = 512 + (n - 1) * s;
  return {I32(file, at), I32(file, at + 4), file[at + 8] | file[at + 9] << 8, I32(file, at + 10), I32(file, at + 14)};
}

inline std::vector<std::uint8_t> Letters(std::size_t n) {
  std::vector<std::uint8_t> value(n);
  for (std::size_t i = 0; i < n; ++i) value[i] = static_cast<std::uint8_t>('a' + i % 26);
  return value;
}

}  // namespace keel::testing
