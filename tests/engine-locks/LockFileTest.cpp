#include "engine/core/LockFile.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/core/ErrorCodes.h"
#include "tests/engine-locks/LockTestSupport.h"

namespace keel {
namespace {

using testing::Bytes;
using testing::CodeOf;

TEST(LockFile, EncodesCounterLengthAndShortstringsInSlotOrder) {
  TLockFile list;
  EXPECT_EQ(list.append("People", "db"), 1u);
  EXPECT_EQ(list.append("Links", "db"), 2u);
  list.setCounter(0x01020304);
  // counter, L = 4 + (1+6) + (1+5) = 17, "\x06People", "\x05Links"
  const std::vector<uint8_t> expected =
      Bytes("04 03 02 01  11 00 00 00  06 50 65 6F 70 6C 65  05 4C 69 6E 6B 73");
  EXPECT_EQ(list.encode(), expected);

  const TLockFile back = TLockFile::Decode(expected, "keel.lck");
  EXPECT_EQ(back.counter(), 0x01020304);
  EXPECT_EQ(back.names(), (std::vector<std::string>{"People", "Links"}));
}

TEST(LockFile, SlotsAreOneBasedAndFoundWithoutRegardToCase) {
  TLockFile list;
  list.append("People", "db");
  EXPECT_EQ(list.slotOf("PEOPLE"), 1u);
  EXPECT_EQ(list.slotOf("people"), 1u);
  EXPECT_EQ(list.slotOf("Peopl"), 0u);
  EXPECT_EQ(list.slotOf("Families"), 0u);
  // Windows-1252 letters fold as well.
  const std::string upper = "\xC9V\xC9NEMENTS";
  const std::string lower = "\xE9v\xE9nements";
  TLockFile ansi;
  ansi.append(upper, "db");
  EXPECT_EQ(ansi.slotOf(lower), 1u);
}

TEST(LockFile, CounterWrapsFromTheLargestValueToOne) {
  EXPECT_EQ(TLockFile::NextCounter(1), 2);
  EXPECT_EQ(TLockFile::NextCounter(std::numeric_limits<int32_t>::max() - 1),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TLockFile::NextCounter(std::numeric_limits<int32_t>::max()), 1);
}

TEST(LockFile, TheListHoldsAtMost4095Tables) {
  TLockFile list;
  for (int i = 1; i <= 4095; ++i) list.append("T" + std::to_string(i), "db");
  EXPECT_EQ(list.slotOf("t4095"), 4095u);
  try {
    list.append("OneTooMany", "/data/tree");
    FAIL() << "expected 9480";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_DATABASEFULL);
    EXPECT_NE(std::string(error.what()).find("/data/tree"), std::string::npos) << error.what();
  }
  EXPECT_EQ(list.names().size(), 4095u);
  // A full list still reads back whole.
  EXPECT_EQ(TLockFile::Decode(list.encode(), "keel.lck").names().size(), 4095u);
}

TEST(LockFile, AnEmptyFileIsAnEmptyList) {
  const TLockFile list = TLockFile::Decode({}, "keel.lck");
  EXPECT_EQ(list.counter(), 0);
  EXPECT_TRUE(list.names().empty());
}

TEST(LockFile, DamagedListsAreRefused) {
  struct Damaged {
    const char* what;
    const char* hex;
  };
  const Damaged cases[] = {
      {"shorter than its header", "01 00 00 00 04 00"},
      {"length below 4", "01 00 00 00 03 00 00 00"},
      {"negative length", "01 00 00 00 FF FF FF FF"},
      {"length past the end", "01 00 00 00 09 00 00 00 02 41 42"},
      {"entry runs past the length", "01 00 00 00 06 00 00 00 03 41 42 43"},
  };
  for (const Damaged& c : cases) {
    EXPECT_EQ(CodeOf([&] { TLockFile::Decode(Bytes(c.hex), "/db/keel.lck"); }), 12036) << c.what;
  }
  // Bytes after the list (left by nobody we know) are not part of it.
  EXPECT_EQ(TLockFile::Decode(Bytes("01 00 00 00 06 00 00 00 01 41 FF FF"), "k").names(),
            std::vector<std::string>{"A"});
}

}  // namespace
}  // namespace keel
