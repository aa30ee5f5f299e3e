#include "engine/core/Page.h"

#include <span>

#include "engine/core/ErrorCodes.h"

namespace keel {

TIndexPage& TPage::unpacked(const IndexPageGeometry& geometry, const std::string& table) {
  const auto number = static_cast<int32_t>(unit());
  if (page_ && page_->geometry() != geometry) {
    if (page_->count() != 0) raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = table});
    TIndexPage empty(geometry, number);
    empty.setType(page_->type());
    empty.setPrev(page_->prev());
    empty.setNext(page_->next());
    page_ = std::move(empty);
  }
  if (!page_) {
    TIndexPage decoded(geometry, number);
    if (!decoded.decode(std::span<const uint8_t>(data(), size()))) {
      raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = table});
    }
    page_ = std::move(decoded);
  }
  return *page_;
}

void TPage::clear() {
  TBuffer::clear();
  page_.reset();
}

void TPage::load(const uint8_t* disk, size_t diskSize) {
  TBuffer::load(disk, diskSize);
  page_.reset();
}

void TPage::store(uint8_t* disk, size_t diskSize) const {
  if (!page_) {
    TBuffer::store(disk, diskSize);
    return;
  }
  page_->encode(std::span<uint8_t>(disk, diskSize));
}

}  // namespace keel
