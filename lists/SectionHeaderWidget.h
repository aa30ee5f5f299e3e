#pragma once

#include <QHeaderView>
#include <functional>
#include <vector>

#include "lists/HeaderSections.h"

namespace mindrel {

// The header above a list window's grid: sections with minimum widths whose
// last one always fills the rest, clicked to choose the order, and the
// section of the order in force drawn in bold.
class TSectionHeaderWidget : public QHeaderView {
  Q_OBJECT

 public:
  explicit TSectionHeaderWidget(QWidget* parent = nullptr);

  // The section to draw in bold, asked at every paint; -1 for none.
  void setBoldSection(std::function<int()> boldSection) { boldSection_ = std::move(boldSection); }
  // Initial widths and minimums, one per section of the model.
  void setSections(std::vector<THeaderSection> sections);
  std::vector<THeaderSection> sections() const;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void sectionWasResized(int logicalIndex);
  void applyWidths(const std::vector<THeaderSection>& sections);

  std::function<int()> boldSection_;
  std::vector<int> minWidths_;
  bool fitting_ = false;
};

}  // namespace mindrel
