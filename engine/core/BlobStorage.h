#pragma once

#include <cstdint>
#include <span>

namespace keel {

// The bytes a BLOB file lives in: the table's engine file, or memory in tests.
// Implementations raise the engine's file errors (9217 for a short read,
// 9218 for a short write, the mapped system errors otherwise).
class TBlobStorage {
public:
  virtual ~TBlobStorage() = default;

  virtual std::uint64_t size() const = 0;
  // Reads exactly out.size() bytes at `offset`.
  virtual void read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
  virtual void write(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  // Cuts (or extends) the file to `size` bytes.
  virtual void truncate(std::uint64_t size) = 0;
};

}  // namespace keel
