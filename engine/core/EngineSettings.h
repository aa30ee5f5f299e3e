#pragma once

// Engine-wide settings that the storage layer reads. Defaults as shipped; the
// dataset layer exposes them as properties of its engine component.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace keel {

struct TEngineSettings {
  // Cache budgets per table, filled only as far as a table is used. A few
  // dozen rows or pages made every scan of a large tree a read and a lock per
  // row, and every insert into a large index a read per level.
  size_t MaxTableDataBufferSize = 1 << 20;
  size_t MaxTableDataBufferCount = 8192;
  size_t MaxTableIndexBufferSize = 32 << 20;
  size_t MaxTableIndexBufferCount = 8192;
  size_t MaxTableBlobBufferSize = 256 << 10;
  size_t MaxTableBlobBufferCount = 8192;

  std::string TableDataExtension = ".dat";
  std::string TableIndexExtension = ".idx";
  std::string TableBlobExtension = ".blb";
  std::string TableDataTempExtension = ".dat";
  std::string TableIndexTempExtension = ".idx";
  std::string TableBlobTempExtension = ".blb";
  // Copies made by table maintenance and format upgrades, which this engine
  // keeps as settings only.
  std::string TableDataBackupExtension = ".dbk";
  std::string TableIndexBackupExtension = ".ibk";
  std::string TableBlobBackupExtension = ".bbk";
  std::string TableDataUpgradeExtension = ".dup";
  std::string TableIndexUpgradeExtension = ".iup";
  std::string TableBlobUpgradeExtension = ".bup";
  // Maintenance copies go to the table's own folder, not the private one.
  bool CreateTempTablesInDatabase = false;

  std::string EngineSignature;  // empty: the standard signature
  std::string LockFileName = "keel.lck";
  bool LargeFileSupport = false;
  bool ForceBufferFlush = false;

  // Attempts and the wait between them for the table read, write and
  // transaction lock bytes.
  int TableReadLockRetryCount = 32768;
  std::chrono::milliseconds TableReadLockWaitTime{3};
  int TableWriteLockRetryCount = 32768;
  std::chrono::milliseconds TableWriteLockWaitTime{3};
  int TableTransLockRetryCount = 32768;
  std::chrono::milliseconds TableTransLockWaitTime{3};
  // Concurrent read locks per table; long scans also let the read lock go
  // every max(1, rows / TableMaxReadLockCount) rows.
  int TableMaxReadLockCount = 100;
  // Percentage of a table's rows at or below which a filtered cursor in index
  // order keeps the matching keys in a list.
  int TableFilterIndexThreshhold = 1;
  // Filtered record counts count the rows that pass (else the table's total).
  bool FilterRecordCounts = true;

  // Row and byte limits of one data file.
  int64_t maxRows() const { return LargeFileSupport ? 1'000'000'000 : 200'000'000; }
  uint64_t maxDataBytes() const { return LargeFileSupport ? 128'000'000'000ULL : 4'000'000'000ULL; }
};

}  // namespace keel
