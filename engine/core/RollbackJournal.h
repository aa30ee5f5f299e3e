#pragma once

// The undo record of one table's write back: before a byte of the data,
// index or BLOB file is overwritten or cut away, its old value goes to the
// journal file beside the table; once every file of the table is written the
// journal is deleted. A journal found later belongs to a writer that was cut
// off (the writer holds the table's write lock for the journal's whole life),
// and rolling it back returns the three files to the last complete state.
// The table files keep their format: only writers of this engine make or read
// journals. Layout and rules: docs/formats/journal-file.md.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/OsFile.h"

namespace keel {

class TEngineFile;

class TRollbackJournal {
 public:
  static constexpr int kFileSlots = 3;  // data, index, BLOB
  static constexpr const char* kExtension = ".jnl";

  explicit TRollbackJournal(std::string path);
  ~TRollbackJournal();
  TRollbackJournal(const TRollbackJournal&) = delete;
  TRollbackJournal& operator=(const TRollbackJournal&) = delete;

  const std::string& path() const { return path_; }
  // The files whose bytes it keeps, each told to write (and read) through
  // this journal; slot 2 may stay empty (no BLOB file).
  void attach(int slot, TEngineFile* file);
  // Durable: the journal and its entry in the folder are flushed to disk
  // before the first file write they protect, and the folder again once the
  // journal is removed; the writer flushes its files before commit().
  void setDurable(bool durable) { durable_ = durable; }

  // Before `length` bytes at `offset` of the file in `slot` are written: the
  // bytes the file holds there now (up to its size when the journal started)
  // are saved unless already saved. Starts the journal at the first call.
  void preserve(int slot, uint64_t offset, uint64_t length);
  // Every write of the files is done (and flushed when durable): the journal
  // goes and the next write starts a new one.
  void commit();
  bool active() const { return file_.isOpen(); }

  // True when a journal file lies beside the table.
  bool found() const;

  // For a reader that may not write the files: while a cut-off writer's
  // journal lies beside the table, reads see the files as rolling it back
  // would leave them. True when the view changed (the caller re-reads its
  // headers and drops its caches).
  bool followForReading();
  // Reads of `slot` that went through the file: the saved bytes laid over
  // them and the length cut to the size before the cut-off write.
  size_t overlayRead(int slot, uint64_t offset, uint8_t* buffer, size_t length, size_t done) const;
  // The size of the file in `slot` as rolling back would leave it.
  uint64_t overlaySize(int slot, uint64_t actual) const;
  bool overlayActive() const { return overlay_.has_value(); }
  // Writes the saved bytes back, cuts each file to its size when the journal
  // started and deletes the journal; records cut short by the crash (never
  // followed by their file write) are passed over. True when there was a
  // journal to roll back. A journal that cannot be read raises 8962.
  bool rollBack();

 private:
  struct SavedRange {
    int slot;
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  // A journal as read back: the sizes before the write and the saved ranges
  // as far as they are whole and intact.
  struct Contents {
    bool headerWhole = false;
    std::array<uint64_t, kFileSlots> originalSizes{};
    std::vector<SavedRange> records;
    uint32_t fingerprint = 0;  // of the journal's bytes, to see it replaced
  };
  // Nothing when there is no journal; no records when its header is damaged
  // or short (the crash came before any file write).
  std::optional<Contents> readJournal() const;
  void start();
  void append(const void* bytes, size_t length);
  // The parts of [from, to) of `slot` not saved yet, saved now.
  void saveUncovered(int slot, uint64_t from, uint64_t to);
  void saveRange(int slot, uint64_t from, uint64_t to);
  void flushFolder() const;

  std::string path_;
  std::array<TEngineFile*, kFileSlots> files_{};
  bool durable_ = false;
  mindrel::OsFile file_;
  uint64_t written_ = 0;
  std::array<uint64_t, kFileSlots> originalSizes_{};
  // Saved ranges per slot: start -> end.
  std::array<std::map<uint64_t, uint64_t>, kFileSlots> saved_;
  std::optional<Contents> overlay_;
};

}  // namespace keel
