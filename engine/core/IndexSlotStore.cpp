#include "engine/core/IndexSlotStore.h"

#include "engine/core/Page.h"

namespace keel {

TIndexSlotStore::TIndexSlotStore(TIndexFile& file, int slot)
    : file_(file), slot_(slot), geometry_(IndexPageGeometry::Of(file.descriptor(slot), file.unitSize())) {}

TIndexPage& TIndexSlotStore::hold(TPinnedUnit unit) {
  if (!unit) throw EIndexTableChanged();
  TIndexPage& page = static_cast<TPage&>(*unit).unpacked(geometry_, file_.options().tableName);
  pins_.push_back(std::move(unit));
  return page;
}

TIndexPage& TIndexSlotStore::page(int32_t number) {
  // Unit count + 1 would append: a link to it is as damaged as one past it.
  if (number < 1 || number > file_.unitCount()) {
    raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = file_.options().tableName});
  }
  return hold(file_.getUnit(number));
}

void TIndexSlotStore::markModified(TIndexPage& page) {
  for (TPinnedUnit& unit : pins_) {
    if (unit->unit() == page.number()) {
      unit.markModified();
      return;
    }
  }
}

TIndexPage& TIndexSlotStore::allocatePage() {
  const int32_t head = file_.freeHead();
  TIndexPage* page = nullptr;
  if (head != 0) {
    page = &this->page(head);
    // A page on the free chain has no entries; one that has is in use, so
    // the chain is damaged (or runs in a cycle back into allocated pages).
    if (page->count() != 0) raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = file_.options().tableName});
    file_.setFreeHead(page->next());
  } else {
    page = &hold(file_.appendUnit());
  }
  page->setType(IndexPageType::Leaf);
  page->setPrev(0);
  page->setNext(0);
  markModified(*page);
  return *page;
}

void TIndexSlotStore::freePage(TIndexPage& page) {
  page.makeFree(file_.freeHead());
  file_.setFreeHead(page.number());
  markModified(page);
}

}  // namespace keel
