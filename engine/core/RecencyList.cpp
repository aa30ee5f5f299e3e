#include "engine/core/RecencyList.h"

namespace keel {

void TRecencyList::pushNewest(TBuffer* buffer) {
  buffer->newer_ = nullptr;
  buffer->older_ = newest_;
  if (newest_ != nullptr) newest_->newer_ = buffer;
  newest_ = buffer;
  if (oldest_ == nullptr) oldest_ = buffer;
}

void TRecencyList::remove(TBuffer* buffer) {
  (buffer->newer_ != nullptr ? buffer->newer_->older_ : newest_) = buffer->older_;
  (buffer->older_ != nullptr ? buffer->older_->newer_ : oldest_) = buffer->newer_;
  buffer->newer_ = buffer->older_ = nullptr;
}

void TRecencyList::touch(TBuffer* buffer) {
  if (buffer == newest_) return;
  remove(buffer);
  pushNewest(buffer);
}

}  // namespace keel
