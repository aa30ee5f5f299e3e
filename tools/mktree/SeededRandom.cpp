#include "tools/mktree/SeededRandom.h"

namespace mindrel {

int TSeededRandom::Below(int bound) {
  // The modulo bias is far below anything a demo tree could show.
  return static_cast<int>(engine_() % static_cast<std::uint64_t>(bound));
}

}  // namespace mindrel
