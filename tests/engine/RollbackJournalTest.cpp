#include "engine/core/RollbackJournal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "engine/core/DataEngine.h"
#include "engine/core/EngineFile.h"

namespace keel {
namespace {

namespace fs = std::filesystem;

// Two files written under a journal at random, overlapping, growing and
// cutting places; rolling back (or reading through the journal) must give
// exactly the bytes before the first write.
class RollbackJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-journal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<uint8_t> bytes(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void make(const std::string& name, size_t size, uint8_t seed) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(seed + i * 7));
  }
  static std::vector<uint8_t> read(TEngineFile& file) {
    std::vector<uint8_t> all(file.size());
    EXPECT_EQ(file.readUpTo(0, all.data(), all.size()), all.size());
    return all;
  }

  fs::path dir_;
  TDataEngine engine_;
};

TEST_F(RollbackJournalTest, RollingBackOrReadingThroughGivesTheBytesBeforeTheWrite) {
#ifdef _WIN32
  GTEST_SKIP() << "the cut-off writer's journal stays open in this process, and Windows keeps the name of an "
                  "open file until its last handle closes (as a real cut-off writer's would be)";
#endif
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    make("a.dat", 3000, 1);
    make("a.idx", 700, 2);
    const std::vector<uint8_t> data = bytes("a.dat"), index = bytes("a.idx");
    const std::string journalPath = (dir_ / "a.jnl").string();
    {
      TEngineFile dataFile(engine_.files(), (dir_ / "a.dat").string(), {});
      TEngineFile indexFile(engine_.files(), (dir_ / "a.idx").string(), {});
      dataFile.open();
      indexFile.open();
      TRollbackJournal journal(journalPath);
      journal.attach(0, &dataFile);
      journal.attach(1, &indexFile);
      std::mt19937 random(seed);
      for (int write = 0; write < 30; ++write) {
        TEngineFile& file = random() % 2 ? dataFile : indexFile;
        if (random() % 10 == 0) {
          file.truncate(random() % (file.size() + 1));
          continue;
        }
        const uint64_t offset = random() % (file.size() + 200);
        std::vector<uint8_t> junk(1 + random() % 400, static_cast<uint8_t>(random()));
        file.write(offset, junk.data(), junk.size());
      }
      ASSERT_TRUE(journal.found());
      // What the cut-off writer left is not what was there before.
      ASSERT_TRUE(bytes("a.dat") != data || bytes("a.idx") != index);

      // A reader that may not write sees the files as before.
      TEngineFile dataView(engine_.files(), (dir_ / "a.dat").string(), {});
      TEngineFile indexView(engine_.files(), (dir_ / "a.idx").string(), {});
      dataView.open();
      indexView.open();
      TRollbackJournal reader(journalPath);
      reader.attach(0, &dataView);
      reader.attach(1, &indexView);
      EXPECT_TRUE(reader.followForReading());
      EXPECT_EQ(read(dataView), data);
      EXPECT_EQ(read(indexView), index);
      EXPECT_FALSE(reader.followForReading()) << "the same journal";

      // The next writer rolls it back.
      TRollbackJournal next(journalPath);
      next.attach(0, &dataFile);
      next.attach(1, &indexFile);
      EXPECT_TRUE(next.rollBack());
      EXPECT_FALSE(next.found());
      EXPECT_TRUE(reader.followForReading()) << "the journal went";
      EXPECT_FALSE(reader.overlayActive());
    }
    EXPECT_EQ(bytes("a.dat"), data);
    EXPECT_EQ(bytes("a.idx"), index);
  }
}

TEST_F(RollbackJournalTest, AJournalCutShortUndoesOnlyTheWritesItWhollyRecorded) {
#ifdef _WIN32
  GTEST_SKIP() << "the cut-off writer's journal stays open in this process, and Windows keeps the name of an "
                  "open file until its last handle closes (as a real cut-off writer's would be)";
#endif
  make("a.dat", 1000, 3);
  const std::vector<uint8_t> before = bytes("a.dat");
  const std::string journalPath = (dir_ / "a.jnl").string();
  TEngineFile file(engine_.files(), (dir_ / "a.dat").string(), {});
  file.open();
  TRollbackJournal journal(journalPath);
  journal.attach(0, &file);
  const std::vector<uint8_t> first(100, 0xAA), second(100, 0xBB);
  file.write(100, first.data(), first.size());
  const uint64_t afterFirst = fs::file_size(journalPath);
  file.write(500, second.data(), second.size());
  // The crash came while the second record was written: its file write
  // never happened, so the file holds the first write only.
  fs::resize_file(journalPath, afterFirst + 30);
  std::vector<uint8_t> firstOnly = before;
  std::copy(first.begin(), first.end(), firstOnly.begin() + 100);
  file.writeUnjournaled(500, before.data() + 500, 100);

  TRollbackJournal next(journalPath);
  next.attach(0, &file);
  EXPECT_EQ(bytes("a.dat"), firstOnly);
  EXPECT_TRUE(next.rollBack());
  EXPECT_EQ(bytes("a.dat"), before);

  // A header cut short: no file write had begun, the journal just goes.
  std::ofstream(journalPath) << "KEEL";
  EXPECT_TRUE(next.rollBack());
  EXPECT_FALSE(fs::exists(journalPath));
  EXPECT_EQ(bytes("a.dat"), before);
  EXPECT_FALSE(next.rollBack()) << "nothing to roll back";
}

}  // namespace
}  // namespace keel
