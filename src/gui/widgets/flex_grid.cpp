#include "gui/widgets/flex_grid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int kCellPadding = 4;  // pixels left and right of a cell's text

// Draws one fixed cell (header row, fixed columns) as a header section.
void paintFixedCell(const FlexGrid* grid, QPainter* painter, const QRect& rect, int row, int col) {
  // The style's header drawing leaves clipping and pens behind: the cells painted after it need
  // the painter as it was.
  painter->save();
  QStyleOptionHeader option;
  option.initFrom(grid);
  option.rect = rect;
  option.text = grid->TextMatrix(row, col);
  option.textAlignment = grid->cellAlignment(row, col);
  option.state = QStyle::State_Enabled | QStyle::State_Raised;
  option.orientation = Qt::Horizontal;
  option.position = QStyleOptionHeader::Middle;
  const QColor back = grid->CellBackColor(row, col);
  if (back.isValid()) {
    grid->style()->drawControl(QStyle::CE_HeaderSection, &option, painter, grid);
    painter->fillRect(rect, back);
    grid->style()->drawControl(QStyle::CE_HeaderLabel, &option, painter, grid);
  } else {
    grid->style()->drawControl(QStyle::CE_Header, &option, painter, grid);
  }
  painter->restore();
}

// The width of a header text with its blanks, measured as the host system's font measures it:
// in half-width units, a blank, digit or letter one unit and a Chinese character two, a unit
// being the width of a digit. The blanks were counted to make room for the column's content
// ("身份证" and 12 blanks hold an 18-digit identity number).
int headerWidth(const QFontMetrics& metrics, const QString& text) {
  int units = 0;
  for (const QChar ch : text) {
    const char16_t u = ch.unicode();
    const bool wide = u >= 0x2E80 && !(u >= 0xFF61 && u <= 0xFFDC);
    units += wide ? 2 : 1;
  }
  const int unit = metrics.horizontalAdvance(QLatin1Char('0'));
  return std::max(units * unit, metrics.horizontalAdvance(text)) + 2 * kCellPadding + 1;
}

class FlexGridDelegate : public QStyledItemDelegate {
 public:
  explicit FlexGridDelegate(FlexGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (grid_->isFixedCell(index.row(), index.column())) {
      paintFixedCell(grid_, painter, option.rect, index.row(), index.column());
      return;
    }
    QStyledItemDelegate::paint(painter, option, index);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = grid_->cellAlignment(index.row(), index.column());
  }

 private:
  FlexGrid* grid_;
};

}  // namespace

// Row 0 drawn above the rows while they are scrolled, so the headers stay in view. It sits in
// a top margin of the viewport that exists only while the grid is scrolled down, so at the top
// the real row 0 shows and at any other position the first visible data row follows it.
class FlexGridFrozenHeader : public QWidget {
 public:
  explicit FlexGridFrozenHeader(FlexGrid* grid) : QWidget(grid), grid_(grid) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    for (int c = 0; c < grid_->columnCount(); ++c) {
      if (grid_->isColumnHidden(c)) continue;
      const QRect rect(grid_->columnViewportPosition(c), 0, grid_->columnWidth(c), height());
      if (rect.right() < 0 || rect.left() > width()) continue;
      paintFixedCell(grid_, &painter, rect, 0, c);
    }
  }

 private:
  FlexGrid* grid_;
};

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
  setItemDelegate(new FlexGridDelegate(this));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(8);
  horizontalHeader()->setMinimumSectionSize(2 * kCellPadding);  // widths follow the header texts
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setWordWrap(false);
  setTabKeyNavigation(false);

  // MSFlexGrid's start: two rows and two columns, one fixed row and one fixed column,
  // the current cell the first non-fixed one.
  setColumnCount(2);
  setRowCount(2);
  colAlign_ = {Qt::Alignment(), Qt::Alignment()};
  fixedCols_ = 1;
  setCurrent(1, 1);

  frozenHeader_ = new FlexGridFrozenHeader(this);
  frozenHeader_->hide();

  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
    if (row >= 0 && col >= 0) {
      row_ = row;
      col_ = col;
    }
  });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    updateFrozenHeader();
    emit Scroll();
  });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    frozenHeader_->update();
    emit Scroll();
  });
  connect(horizontalHeader(), &QHeaderView::sectionResized, frozenHeader_, [this] { frozenHeader_->update(); });
  connect(model(), &QAbstractItemModel::dataChanged, frozenHeader_, [this](const QModelIndex& topLeft) {
    if (topLeft.row() == 0) frozenHeader_->update();
  });
}

int FlexGrid::Rows() const { return rowCount(); }

void FlexGrid::setRows(int rows) {
  setRowCount(std::max(1, rows));
  syncRowCount();
  // Down to the header row: the list is being filled anew. It opens at its top row, whatever
  // cell the filling code makes current on the way (making a cell current scrolls to it).
  if (rowCount() == 1) {
    verticalScrollBar()->setValue(0);
    if (!topPending_) {
      topPending_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            topPending_ = false;
            verticalScrollBar()->setValue(0);
          },
          Qt::QueuedConnection);
    }
  }
}

int FlexGrid::Cols() const { return columnCount(); }

void FlexGrid::setCols(int cols) {
  cols = std::max(1, cols);
  setColumnCount(cols);
  colAlign_.resize(cols);
  if (fixedCols_ > cols) fixedCols_ = cols;
  syncRowCount();
}

// After the row or column count changed: keeps (Row, Col) inside the grid and Qt's current
// cell on it (removing rows may have moved or cleared Qt's).
void FlexGrid::syncRowCount() {
  setCurrent(std::min(row_, rowCount() - 1), std::min(col_, columnCount() - 1));
  updateFrozenHeader();
}

int FlexGrid::Row() const { return row_; }

void FlexGrid::setRow(int row) {
  if (row >= 0 && row < rowCount()) setCurrent(row, col_);
}

int FlexGrid::Col() const { return col_; }

void FlexGrid::setCol(int col) {
  if (col >= 0 && col < columnCount()) setCurrent(row_, col);
}

int FlexGrid::FixedCols() const { return fixedCols_; }

void FlexGrid::setFixedCols(int n) {
  fixedCols_ = std::clamp(n, 0, columnCount());
  fixedColsSet_ = true;
  viewport()->update();
}

bool FlexGrid::inRange(int row, int col) const {
  return row >= 0 && row < rowCount() && col >= 0 && col < columnCount();
}

QTableWidgetItem* FlexGrid::cell(int row, int col) {
  QTableWidgetItem* it = item(row, col);
  if (!it) {
    it = new QTableWidgetItem();
    setItem(row, col, it);
  }
  return it;
}

void FlexGrid::setCurrent(int row, int col) {
  row_ = row;
  col_ = col;
  if (currentRow() != row || currentColumn() != col) setCurrentCell(row, col);
}

QString FlexGrid::TextMatrix(int row, int col) const {
  if (!inRange(row, col)) return QString();
  const QTableWidgetItem* it = item(row, col);
  return it ? it->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
  if (!inRange(row, col)) return;
  if (!item(row, col) && text.isEmpty()) return;
  cell(row, col)->setText(text);
  if (row > 0 && col < fixedCols_) fitFixedCell(col, text);
}

// A fixed column (the row numbers) widens to show each of its texts whole: its width comes from
// the header text, which makes room for two digits only.
void FlexGrid::fitFixedCell(int col, const QString& text) {
  if (text.isEmpty() || isColumnHidden(col)) return;
  QStyleOptionHeader option;
  option.initFrom(this);
  option.text = text;
  option.orientation = Qt::Horizontal;
  const int needed = std::max(style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this).width(),
                              fontMetrics().horizontalAdvance(text) + 2 * kCellPadding) +
                     1;
  if (needed > columnWidth(col)) setColumnWidth(col, needed);
}

void FlexGrid::fitColumns() {
  const QFontMetrics metrics = fontMetrics();
  for (int c = 0; c < columnCount(); ++c) {
    if (isColumnHidden(c)) continue;
    int widest = columnWidth(c);
    for (int r = 0; r < rowCount(); ++r)
      if (const QTableWidgetItem* it = item(r, c); it && !it->text().isEmpty())
        widest = std::max(widest, metrics.horizontalAdvance(it->text()) + 2 * kCellPadding + 1);
    if (widest > columnWidth(c)) setColumnWidth(c, widest);
  }
  setMinimumWidth(columnsWidth() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth());
}

int FlexGrid::columnsWidth() const {
  int width = 0;
  for (int c = 0; c < columnCount(); ++c)
    if (!isColumnHidden(c)) width += columnWidth(c);
  return width;
}

int FlexGrid::ColWidth(int col) const {
  if (col < 0 || col >= columnCount() || isColumnHidden(col)) return 0;
  return columnWidth(col);
}

void FlexGrid::setColWidth(int col, int width) {
  if (col < 0 || col >= columnCount()) return;
  if (width == 0) {
    setColumnHidden(col, true);
    return;
  }
  setColumnHidden(col, false);
  // A negative width (MSFlexGrid's -1) gives the default width back.
  setColumnWidth(col, width > 0 ? width : horizontalHeader()->defaultSectionSize());
}

void FlexGrid::setColAlignment(int col, Qt::Alignment alignment) {
  if (col < 0 || col >= columnCount()) return;
  colAlign_[col] = alignment;
  viewport()->update();
  frozenHeader_->update();
}

Qt::Alignment FlexGrid::ColAlignment(int col) const {
  return col >= 0 && col < colAlign_.size() ? colAlign_[col] : Qt::Alignment();
}

bool FlexGrid::isFixedCell(int row, int col) const { return row == 0 || col < fixedCols_; }

Qt::Alignment FlexGrid::cellAlignment(int row, int col) const {
  Qt::Alignment horizontal = ColAlignment(col) & Qt::AlignHorizontal_Mask;
  if (!horizontal) {
    bool number = false;
    TextMatrix(row, col).trimmed().toDouble(&number);
    horizontal = number ? Qt::AlignRight : Qt::AlignLeft;
  }
  Qt::Alignment vertical = ColAlignment(col) & Qt::AlignVertical_Mask;
  return horizontal | (vertical ? vertical : Qt::AlignVCenter);
}

QColor FlexGrid::CellBackColor(int row, int col) const {
  if (!inRange(row, col)) return QColor();
  const QTableWidgetItem* it = item(row, col);
  if (!it) return QColor();
  const QVariant v = it->data(Qt::BackgroundRole);
  if (v.userType() == QMetaType::QBrush) return v.value<QBrush>().color();
  if (v.userType() == QMetaType::QColor) return v.value<QColor>();
  return QColor();
}

void FlexGrid::setCellBackColor(int row, int col, const QColor& color) {
  if (!inRange(row, col)) return;
  if (!color.isValid()) {
    if (QTableWidgetItem* it = item(row, col)) it->setData(Qt::BackgroundRole, QVariant());
    return;
  }
  cell(row, col)->setData(Qt::BackgroundRole, QBrush(color));
}

QRect FlexGrid::cellRect(int row, int col) const {
  if (!inRange(row, col) || isColumnHidden(col)) return QRect();
  return visualRect(model()->index(row, col)).translated(viewport()->geometry().topLeft());
}

// The pieces between "|" are the columns, empty ones included: a format string that ends in
// "|" has an empty last column ("a|b|" is the two headed columns and one empty one). The
// first character of a piece may be "<" (left), "^" (centre) or ">" (right); the rest, with
// its blanks, is the header text, and the column is as wide as that text.
void FlexGrid::setFormatString(const QString& format) {
  const QStringList pieces = format.split(QLatin1Char('|'));
  setCols(static_cast<int>(pieces.size()));
  if (!fixedColsSet_) fixedCols_ = std::min(1, columnCount());
  const QFontMetrics metrics = fontMetrics();
  for (int c = 0; c < pieces.size(); ++c) {
    QString text = pieces[c];
    Qt::Alignment alignment;
    if (text.startsWith(QLatin1Char('<'))) {
      alignment = Qt::AlignLeft | Qt::AlignVCenter;
    } else if (text.startsWith(QLatin1Char('^'))) {
      alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    } else if (text.startsWith(QLatin1Char('>'))) {
      alignment = Qt::AlignRight | Qt::AlignVCenter;
    }
    if (alignment) text.remove(0, 1);
    colAlign_[c] = alignment;
    setTextMatrix(0, c, text);
    setColumnHidden(c, false);
    setColumnWidth(c, headerWidth(metrics, text));
  }
  viewport()->update();
}

// A click on a cell as MSFlexGrid takes it: a non-fixed cell becomes the current cell; a click
// in a fixed column selects that row (its first non-fixed cell). The header row is not a cell
// of the list: a click there changes nothing and raises no event. Returns whether the click counts.
bool FlexGrid::moveCurrentForClick(int row, int col) {
  if (!inRange(row, col)) return false;
  if (row == 0) return false;
  if (col < fixedCols_) {
    for (int c = fixedCols_; c < columnCount(); ++c) {
      if (!isColumnHidden(c)) {
        col = c;
        break;
      }
    }
  }
  setCurrent(row, col);
  return true;
}

void FlexGrid::clickCell(int row, int col) {
  if (moveCurrentForClick(row, col)) emit Click();
}

void FlexGrid::dblClickCell(int row, int col) {
  if (moveCurrentForClick(row, col)) emit DblClick();
}

// Mouse handling of our own: the current cell moves on the button press, Click follows on
// the release over the same cell; dragging selects nothing.
void FlexGrid::mousePressEvent(QMouseEvent* event) {
  pressRow_ = pressCol_ = -1;
  if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid() && moveCurrentForClick(index.row(), index.column())) {
    pressRow_ = index.row();
    pressCol_ = index.column();
  }
  event->accept();
}

void FlexGrid::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void FlexGrid::mouseReleaseEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool same = event->button() == Qt::LeftButton && pressRow_ >= 0 && index.isValid() &&
                    index.row() == pressRow_ && index.column() == pressCol_;
  pressRow_ = pressCol_ = -1;
  event->accept();
  if (same) emit Click();
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  event->accept();
  if (event->button() == Qt::LeftButton && index.isValid()) dblClickCell(index.row(), index.column());
}

// Keyboard moves stay out of the fixed cells, as in MSFlexGrid.
QModelIndex FlexGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  QModelIndex index = QTableWidget::moveCursor(action, modifiers);
  if (!index.isValid()) return index;
  int row = index.row(), col = index.column();
  if (row == 0) row = rowCount() > 1 ? 1 : 0;
  if (col < fixedCols_) {
    for (int c = fixedCols_; c < columnCount(); ++c) {
      if (!isColumnHidden(c)) {
        col = c;
        break;
      }
    }
  }
  return model()->index(row, col);
}

void FlexGrid::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  updateFrozenHeader();
}

void FlexGrid::updateFrozenHeader() {
  if (!frozenHeader_) return;
  const bool scrolled = verticalScrollBar()->value() > 0 && rowCount() > 1;
  const int height = scrolled ? rowHeight(0) : 0;
  if (viewportMargins().top() != height) {
    // The header kept in view takes a row's height from the rows: the scroll range grows by it, and
    // a grid scrolled to its end stays there, its last row (a totals row) shown at its full height.
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    setViewportMargins(0, height, 0, 0);
    updateGeometries();
    if (atEnd && bar->value() != bar->maximum()) bar->setValue(bar->maximum());
  }
  if (scrolled) {
    const QRect view = viewport()->geometry();
    frozenHeader_->setGeometry(view.left(), view.top() - height, view.width(), height);
    frozenHeader_->show();
    frozenHeader_->raise();
    frozenHeader_->update();
  } else {
    frozenHeader_->hide();
  }
}

QList<QStringList> FlexGrid::table() const {
  const auto withoutTrailingBlanks = [](QString text) {
    while (!text.isEmpty() && text.back().isSpace()) text.chop(1);
    return text;
  };
  QList<QStringList> out;
  out.reserve(Rows());
  for (int i = 0; i < Rows(); ++i) {
    QStringList row;
    row.reserve(Cols());
    for (int j = 0; j < Cols(); ++j) row.append(i == 0 ? withoutTrailingBlanks(TextMatrix(i, j)) : TextMatrix(i, j));
    out.append(row);
  }
  return out;
}
