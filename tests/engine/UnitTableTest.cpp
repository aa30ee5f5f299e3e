#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/core/UnitTable.h"

namespace keel {
namespace {

std::unique_ptr<TBuffer> UnitBuffer(int64_t unit) {
  auto buffer = std::make_unique<TBuffer>(1);
  buffer->data()[0] = static_cast<uint8_t>(unit);
  buffer->setUnit(unit);
  return buffer;
}

// Removals in the middle of long probe runs, runs that wrap around the end of
// the table and growth all meet here: the table must agree with a plain map
// after every step.
TEST(UnitTableTest, AgreesWithAMapUnderRandomInsertsAndRemovals) {
  std::mt19937 random(7);
  TUnitTable table;
  std::map<int64_t, bool> model;
  for (int step = 0; step < 20000; ++step) {
    // Few distinct units, so that removals hit present ones often.
    const int64_t unit = std::uniform_int_distribution<int64_t>(1, 600)(random);
    if (random() % 3 != 0 && model.count(unit) == 0) {
      table.insert(UnitBuffer(unit));
      model[unit] = true;
    } else {
      std::unique_ptr<TBuffer> taken = table.take(unit);
      ASSERT_EQ(taken != nullptr, model.erase(unit) == 1) << "unit " << unit;
      if (taken) {
        EXPECT_EQ(taken->unit(), unit);
      }
    }
    ASSERT_EQ(table.size(), model.size());
    if (step % 97 == 0) {
      for (int64_t n = 1; n <= 600; ++n) {
        const TBuffer* found = table.find(n);
        ASSERT_EQ(found != nullptr, model.count(n) == 1) << "unit " << n << " at step " << step;
        if (found) {
          EXPECT_EQ(found->data()[0], static_cast<uint8_t>(n));
        }
      }
    }
  }
  size_t visited = 0;
  table.forEach([&](const TBuffer* buffer) {
    ++visited;
    EXPECT_EQ(model.count(buffer->unit()), 1u);
  });
  EXPECT_EQ(visited, model.size());
}

}  // namespace
}  // namespace keel
