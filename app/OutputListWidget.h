#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>
#include <functional>

namespace mindrel {

// The alert list: a list box whose items all have one height and are painted
// by the main window (the item text is only the sort key).
class TOutputListWidget : public QListWidget {
  Q_OBJECT

 public:
  // index, item rectangle, selected
  using DrawItem = std::function<void(QPainter&, int, const QRect&, bool)>;

  explicit TOutputListWidget(QWidget* parent = nullptr);

  void setDrawItem(DrawItem drawItem) { drawItem_ = std::move(drawItem); }
  void setItemHeight(int height);
  int itemHeight() const { return itemHeight_; }

 private:
  class Delegate;
  DrawItem drawItem_;
  int itemHeight_ = 50;
};

}  // namespace mindrel
