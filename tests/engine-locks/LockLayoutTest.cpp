#include "engine/core/LockLayout.h"

#include <gtest/gtest.h>

namespace keel {
namespace {

constexpr uint64_t R = 65535;
constexpr uint64_t kBig = 0x7FFFFFFFFFFFFFFFULL;

struct LayoutCase {
  const char* what;
  bool large;
  LockRange (*range)(const TLockLayout&);
  LockRange expected;
};

// The documented anchor points for the 32-bit base, and the same ranges
// derived by hand from the 63-bit base, where they lie far beyond 4 GiB.
const LayoutCase kCases[] = {
    {"row 1", false, [](const TLockLayout& l) { return l.row(1); }, {4294967294ULL, 1}},
    {"last row", false, [](const TLockLayout& l) { return l.row(200'000'000); }, {4094967295ULL, 1}},
    {"whole table", false, [](const TLockLayout& l) { return l.wholeTable(); }, {4094967295ULL, 200'000'000}},
    {"semaphore 1", false, [](const TLockLayout& l) { return l.semaphore(1); }, {4094967294ULL, 1}},
    {"semaphore 1024", false, [](const TLockLayout& l) { return l.semaphore(1024); }, {4094966271ULL, 1}},
    {"list exclusive", false, [](const TLockLayout& l) { return l.listExclusive(); }, {0xFFFF0000ULL, R}},
    {"list byte r=1", false, [](const TLockLayout& l) { return l.listShared(1); }, {0xFFFF0000ULL, 1}},
    {"list byte r=65534",
     false,
     [](const TLockLayout& l) { return l.listShared(65534); },
     {0xFFFFFFFDULL, 1}},
    {"transaction byte slot 1",
     false,
     [](const TLockLayout& l) { return l.transactionByte(1); },
     {0xFFFEFFFFULL, 1}},
    {"transaction byte slot 4095",
     false,
     [](const TLockLayout& l) { return l.transactionByte(4095); },
     {0xFFFF0000ULL - 4095, 1}},
    {"all transaction bytes",
     false,
     [](const TLockLayout& l) { return l.allTransactionBytes(); },
     {0xFFFF0000ULL - 4096, 4096}},
    {"table write slot 1", false, [](const TLockLayout& l) { return l.tableWrite(1); }, {0xFFFDF001ULL, R}},
    {"table read slot 1 r=1",
     false,
     [](const TLockLayout& l) { return l.tableRead(1, 1); },
     {0xFFFDF001ULL, 1}},
    {"table read slot 2 r=65534",
     false,
     [](const TLockLayout& l) { return l.tableRead(2, 65534); },
     {0xFFFDF001ULL - R + 65533, 1}},
    {"all table writes",
     false,
     [](const TLockLayout& l) { return l.allTableWrites(); },
     {0xFFFF0000ULL - 4096 - 4096 * R, 4096 * R}},
    {"large row 1", true, [](const TLockLayout& l) { return l.row(1); }, {kBig - 1, 1}},
    {"large whole table",
     true,
     [](const TLockLayout& l) { return l.wholeTable(); },
     {kBig - 1'000'000'000ULL, 1'000'000'000ULL}},
    {"large semaphore 7",
     true,
     [](const TLockLayout& l) { return l.semaphore(7); },
     {kBig - 1'000'000'000ULL - 7, 1}},
    {"large list exclusive", true, [](const TLockLayout& l) { return l.listExclusive(); }, {kBig - R, R}},
    {"large table write slot 3",
     true,
     [](const TLockLayout& l) { return l.tableWrite(3); },
     {kBig - R - 4096 - 3 * R, R}},
    {"large all table writes",
     true,
     [](const TLockLayout& l) { return l.allTableWrites(); },
     {kBig - R - 4096 - 4096 * R, 4096 * R}},
};

TEST(LockLayout, RangesMatchTheDocumentedOffsets) {
  for (const LayoutCase& c : kCases) {
    const TLockLayout layout(c.large);
    const LockRange got = c.range(layout);
    EXPECT_EQ(got.offset, c.expected.offset) << c.what;
    EXPECT_EQ(got.length, c.expected.length) << c.what;
  }
}

bool Overlap(const LockRange& a, const LockRange& b) {
  return a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

// The protocol depends on these: a writer's range excludes every reader of the
// same table and nobody of another table; the folder-wide ranges cover every
// slot; the lock-file regions do not touch one another.
TEST(LockLayout, RegionsNestAndSeparateAsTheProtocolNeeds) {
  for (bool large : {false, true}) {
    const TLockLayout l(large);
    for (uint32_t slot : {1u, 2u, 4095u}) {
      for (uint32_t r : {1u, 32768u, 65534u}) {
        EXPECT_TRUE(Overlap(l.tableWrite(slot), l.tableRead(slot, r))) << slot << "/" << r;
        if (slot > 1) {
          EXPECT_FALSE(Overlap(l.tableWrite(slot - 1), l.tableRead(slot, r))) << slot;
        }
        EXPECT_TRUE(Overlap(l.allTableWrites(), l.tableRead(slot, r)));
      }
      EXPECT_TRUE(Overlap(l.allTransactionBytes(), l.transactionByte(slot)));
      EXPECT_FALSE(Overlap(l.listExclusive(), l.transactionByte(slot)));
    }
    EXPECT_FALSE(Overlap(l.allTransactionBytes(), l.allTableWrites()));
    EXPECT_FALSE(Overlap(l.listExclusive(), l.allTransactionBytes()));
    EXPECT_TRUE(Overlap(l.wholeTable(), l.row(1)));
    EXPECT_TRUE(Overlap(l.wholeTable(), l.row(l.rowLimit())));
    EXPECT_FALSE(Overlap(l.wholeTable(), l.semaphore(1)));
  }
}

}  // namespace
}  // namespace keel
