#include "lists/SectionHeaderWidget.h"

#include <QPainter>
#include <algorithm>
#include <QResizeEvent>

namespace mindrel {

namespace {

// Where a section's caption stands from its top-left corner.
constexpr QPoint kTextOffset(3, 1);

}  // namespace

TSectionHeaderWidget::TSectionHeaderWidget(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setStretchLastSection(false);
  setSectionsMovable(false);
  connect(this, &QHeaderView::sectionResized, this, [this](int logicalIndex) { sectionWasResized(logicalIndex); });
}

void TSectionHeaderWidget::setSections(std::vector<THeaderSection> sections) {
  minWidths_.clear();
  for (const THeaderSection& section : sections) minWidths_.push_back(section.MinWidth);
  FillLastSection(sections, viewport()->width());
  applyWidths(sections);
}

std::vector<THeaderSection> TSectionHeaderWidget::sections() const {
  std::vector<THeaderSection> result;
  for (int i = 0; i < count(); ++i) {
    result.push_back({sectionSize(i), i < static_cast<int>(minWidths_.size()) ? minWidths_[static_cast<std::size_t>(i)] : 0});
  }
  return result;
}

void TSectionHeaderWidget::applyWidths(const std::vector<THeaderSection>& sections) {
  fitting_ = true;
  for (int i = 0; i < count() && i < static_cast<int>(sections.size()); ++i) {
    resizeSection(i, sections[static_cast<std::size_t>(i)].Width);
  }
  fitting_ = false;
}

void TSectionHeaderWidget::sectionWasResized(int logicalIndex) {
  if (fitting_ || minWidths_.empty()) return;
  std::vector<THeaderSection> current = sections();
  THeaderSection& resized = current[static_cast<std::size_t>(logicalIndex)];
  resized.Width = std::max(resized.Width, resized.MinWidth);
  FitSections(current, viewport()->width(), logicalIndex);
  applyWidths(current);
}

void TSectionHeaderWidget::resizeEvent(QResizeEvent* event) {
  QHeaderView::resizeEvent(event);
  if (minWidths_.empty()) return;
  std::vector<THeaderSection> current = sections();
  FillLastSection(current, viewport()->width());
  applyWidths(current);
}

void TSectionHeaderWidget::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  QStyleOptionHeader option;
  initStyleOption(&option);
  option.rect = rect;
  option.section = logicalIndex;
  style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
  painter->save();
  QFont font = this->font();
  font.setBold(boldSection_ && boldSection_() == logicalIndex);
  painter->setFont(font);
  painter->setPen(palette().color(QPalette::ButtonText));
  const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  painter->drawText(rect.adjusted(kTextOffset.x(), kTextOffset.y(), 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
  painter->restore();
}

}  // namespace mindrel
