// A cursor in index order navigates over the keys of few matching records
// exactly as it walks the index skipping the others, and no filtered move
// reads a record that the filters reject.

#include "tests/sql-filter/RandomFilters.h"

namespace keel::testing {
namespace {

// One cursor move with its arguments; the same move is made on two cursors.
struct Move {
  enum Kind { First, Last, Next, Prior, GoTo, Position, Count, Find, Range, NoRange, Reindex, Write } kind = First;
  int64_t number = 0;  // GoTo's position, Reindex's slot
  std::vector<uint8_t> from;  // Find's values, Range's start
  std::vector<uint8_t> to;    // Range's end
  size_t fields = 0;
  bool nearest = false;
};

// The cursor's answer to a move and where it stands afterwards, as text.
std::string Make(TDataCursor& cursor, const Move& move) {
  int64_t answer = 0;
  switch (move.kind) {
    case Move::First: answer = static_cast<int64_t>(cursor.first()); break;
    case Move::Last: answer = static_cast<int64_t>(cursor.last()); break;
    case Move::Next: answer = static_cast<int64_t>(cursor.next()); break;
    case Move::Prior: answer = static_cast<int64_t>(cursor.prior()); break;
    case Move::GoTo: answer = cursor.goToPosition(move.number); break;
    case Move::Position: answer = cursor.position(); break;
    case Move::Count: answer = cursor.recordCount(); break;
    case Move::Find: answer = cursor.findKey(move.from, move.fields, 0, move.nearest); break;
    case Move::Range: cursor.setRange(move.from, move.fields, move.to, move.fields); break;
    case Move::NoRange: cursor.cancelRange(); break;
    case Move::Reindex: cursor.setIndex(static_cast<int>(move.number)); break;
    case Move::Write: break;
  }
  return std::to_string(move.kind) + ": " + std::to_string(answer) + " at row " +
         std::to_string(cursor.currentRowNumber()) + (cursor.isBof() ? " bof" : "") + (cursor.isEof() ? " eof" : "");
}

class KeyListTest : public FilterTest {
 protected:
  // Every active row as stored, for search values and range bounds.
  std::vector<std::vector<uint8_t>> Rows() {
    TDataCursor cursor(*directory_, "T", {.physicalOrderOnly = true});
    std::vector<std::vector<uint8_t>> rows;
    for (Nav at = cursor.first(); at == Nav::Ok; at = cursor.next()) {
      rows.emplace_back(cursor.rowSize());
      cursor.currentRow(rows.back());
    }
    return rows;
  }

  // Adds a random row and deletes another, through a cursor of their own.
  void Write(RandomFilters& random) {
    Add(random.Rows(1));
    TDataCursor writer(*directory_, "T", {.physicalOrderOnly = true});
    if (!writer.goToPosition(1 + random.Below(static_cast<int>(writer.recordCount())))) return;
    std::vector<uint8_t> row(writer.rowSize());
    writer.currentRow(row);
    writer.remove(row);
  }

  std::vector<Move> Moves(RandomFilters& random, int count) {
    const std::vector<std::vector<uint8_t>> rows = Rows();
    auto anyRow = [&] { return rows[static_cast<size_t>(random.Below(static_cast<int>(rows.size())))]; };
    std::vector<Move> moves;
    for (int i = 0; i < count; ++i) {
      Move move;
      move.kind = static_cast<Move::Kind>(random.Below(Move::Write + 1));
      move.number = move.kind == Move::Reindex ? random.Below(12) : 1 + random.Below(12);
      move.fields = static_cast<size_t>(random.Below(2));  // the first key field, or all
      move.nearest = random.Below(2) == 1;
      if (move.kind == Move::Find || move.kind == Move::Range) {
        move.from = anyRow();
        move.to = anyRow();  // a reversed range is empty
      }
      moves.push_back(std::move(move));
    }
    return moves;
  }
};

TEST_F(KeyListTest, NavigatingTheKeyListGivesTheSameAnswersAsWalkingTheIndex) {
  int listsMade = 0;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    TearDown();
    SetUp();
    RandomFilters random(500 + seed);
    CreateTable(seed % 2 == 0 ? kGermanLocale : 0);
    Add(random.Rows(60 + random.Below(80)));
    DeleteWhereI(-1);  // reused physical rows
    for (int f = 0; f < 4; ++f) {
      const std::string text = random.Expression(2);
      const TFilterOptions options = random.Options();
      TDataCursor probe(*directory_, "T");
      for (int slot = 0; slot < probe.table().indexCount(); ++slot) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", slot " + std::to_string(slot) + ": " + text +
                     (options.CaseInsensitive ? " [nocase]" : ""));
        TDataCursor listing(*directory_, "T");
        TDataCursor walking(*directory_, "T");
        listing.setIndex(slot);
        walking.setIndex(slot);
        TFilterList listed(listing, {.FilterIndexThreshhold = 100});
        TFilterList walked(walking, {.FilterIndexThreshhold = 0});
        listed.add(text, options);
        walked.add(text, options);
        for (const Move& move : Moves(random, 30)) {
          if (move.kind == Move::Write) {
            Write(random);
            continue;
          }
          ASSERT_EQ(Make(listing, move), Make(walking, move));
        }
        EXPECT_TRUE(listing.navigatesKeyList());
        EXPECT_FALSE(walking.navigatesKeyList() && walked.combined().count() > 0);
        listsMade += listing.navigatesKeyList();
      }
    }
  }
  EXPECT_GT(listsMade, 0);
}

TEST_F(KeyListTest, FilteredMovesReadNoRejectedRecord) {
  CreateTable();
  std::vector<Values> rows;
  for (int32_t i = 0; i < 400; ++i) rows.push_back({.I = i % 100, .S = std::string(1, static_cast<char>('a' + i % 26))});
  Add(rows);
  const std::set<int64_t> matching = Reference("I = 7");
  ASSERT_EQ(matching.size(), 4u);  // 1 percent of the records
  struct Case {
    int threshold;  // the engine's TableFilterIndexThreshhold
    int slot;
    bool listed;
  };
  const int byS = 9;
  const std::vector<Case> cases = {{1, byS, true},   {1, 0, true},   {0, byS, false},
                                   {0, 0, false},    {1, TDataCursor::kPhysicalOrder, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threshold " + std::to_string(c.threshold) + ", slot " + std::to_string(c.slot));
    engine_.settings().TableFilterIndexThreshhold = c.threshold;
    TDataCursor cursor(*directory_, "T");
    ASSERT_EQ(cursor.table().access(byS).descriptor().name, "ByS");
    cursor.setIndex(c.slot);
    TFilterList filters(cursor);
    filters.add("I = 7");
    cursor.table().data().dropCache();

    EXPECT_EQ(AsSet(Visit(cursor)), matching);
    EXPECT_TRUE(cursor.navigatesKeyList() == c.listed);
    int backwards = cursor.last() == Nav::Ok;
    while (cursor.prior() == Nav::Ok) ++backwards;
    EXPECT_EQ(backwards, 4);
    EXPECT_TRUE(cursor.goToPosition(3));
    EXPECT_EQ(cursor.position(), 3);
    EXPECT_EQ(cursor.recordCount(), 4);
    if (c.slot == byS) {
      std::vector<uint8_t> values = cursor.newRow();
      SetFieldText(values, cursor.field("S"), "c", 0);
      EXPECT_FALSE(cursor.findKey(values, 1));  // lands on the next match, "d"
      EXPECT_EQ(cursor.currentRowNumber(), 108);
    }
    std::set<int64_t> read;
    for (int64_t k = 1; k <= 400; ++k) {
      if (cursor.table().data().isCached(k)) read.insert(k);
    }
    EXPECT_EQ(read, matching);
  }
}

}  // namespace
}  // namespace keel::testing
