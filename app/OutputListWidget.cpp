#include "app/OutputListWidget.h"

#include <QPainter>

namespace mindrel {

class TOutputListWidget::Delegate : public QStyledItemDelegate {
 public:
  explicit Delegate(TOutputListWidget& list) : QStyledItemDelegate(&list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) painter->fillRect(option.rect, option.palette.highlight());
    if (list_.drawItem_) list_.drawItem_(*painter, index.row(), option.rect, selected);
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {0, list_.itemHeight_};
  }

 private:
  TOutputListWidget& list_;
};

TOutputListWidget::TOutputListWidget(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new Delegate(*this));
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSortingEnabled(true);
  setFont(QFont(QStringLiteral("Arial"), -1));
  QFont listFont = font();
  listFont.setPixelSize(13);
  setFont(listFont);
}

void TOutputListWidget::setItemHeight(int height) {
  itemHeight_ = height;
  doItemsLayout();
  viewport()->update();
}

}  // namespace mindrel
