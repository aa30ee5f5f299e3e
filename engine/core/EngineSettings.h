#pragma once

// Engine-wide settings that the storage layer reads. Defaults as shipped; the
// dataset layer exposes them as properties of its engine component.

#include <cstddef>
#include <cstdint>
#include <string>

namespace keel {

struct TEngineSettings {
  size_t MaxTableDataBufferSize = 32768;
  size_t MaxTableDataBufferCount = 8192;
  size_t MaxTableIndexBufferSize = 65536;
  size_t MaxTableIndexBufferCount = 8192;
  size_t MaxTableBlobBufferSize = 32768;
  size_t MaxTableBlobBufferCount = 8192;

  std::string TableDataExtension = ".dat";
  std::string TableIndexExtension = ".idx";
  std::string TableBlobExtension = ".blb";
  std::string TableDataTempExtension = ".dat";
  std::string TableIndexTempExtension = ".idx";
  std::string TableBlobTempExtension = ".blb";

  std::string EngineSignature;  // empty: the standard signature
  std::string LockFileName = "keel.lck";
  bool LargeFileSupport = false;
  bool ForceBufferFlush = false;

  // Row and byte limits of one data file.
  int64_t maxRows() const { return LargeFileSupport ? 1'000'000'000 : 200'000'000; }
  uint64_t maxDataBytes() const { return LargeFileSupport ? 128'000'000'000ULL : 4'000'000'000ULL; }
};

}  // namespace keel
