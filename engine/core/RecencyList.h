#pragma once

// The cached units of a file from the most recently used to the least, linked
// through their buffers: moving one to the front touches only it and its
// neighbours, and no link is allocated or freed as units come and go.

#include "engine/core/Buffer.h"

namespace keel {

class TRecencyList {
 public:
  TBuffer* newest() const { return newest_; }
  TBuffer* oldest() const { return oldest_; }
  static TBuffer* older(const TBuffer* buffer) { return buffer->older_; }
  static TBuffer* newer(const TBuffer* buffer) { return buffer->newer_; }

  // The buffer must not be in the list.
  void pushNewest(TBuffer* buffer);
  // The buffer must be in the list.
  void remove(TBuffer* buffer);
  void touch(TBuffer* buffer);

 private:
  TBuffer* newest_ = nullptr;
  TBuffer* oldest_ = nullptr;
};

}  // namespace keel
