#include "app/OutputListWidget.h"

#include <QPainter>

namespace mindrel {

class TOutputListWidget::Delegate : public QStyledItemDelegate {
 public:
  explicit Delegate(TOutputListWidget& list) : QStyledItemDelegate(&list), list_(list) {}

  // The window draws the item; the list adds the selection colours under it
  // and, as a list box does, a dotted focus rectangle inside the focused
  // item, so a keyboard user sees where they are.
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) painter->fillRect(option.rect, option.palette.highlight());
    if (list_.drawItem_) list_.drawItem_(*painter, index.row(), option.rect, selected);
    if (option.state & QStyle::State_HasFocus) {
      painter->save();
      painter->setPen(QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
      painter->setBrush(Qt::NoBrush);
      // Inside the item, clear of the separator line at its bottom.
      painter->drawRect(option.rect.adjusted(1, 1, -2, -3));
      painter->restore();
    }
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
