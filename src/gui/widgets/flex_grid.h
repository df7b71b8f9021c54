#pragma once
// A grid with MSFlexGrid's semantics over QTableWidget: row 0 is the fixed header row, the
// current cell is (Row, Col), cell text is addressed by TextMatrix, width 0 hides a column.
#include <QColor>
#include <QTableWidget>

class FlexGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit FlexGrid(QWidget* parent = nullptr);

  int Rows() const;
  // Grows with empty rows, shrinks dropping the last rows; never below 1. Down to 1 (a refill
  // begins) the view returns to the top row, and again once the filling code has returned to
  // the event loop.
  void setRows(int rows);
  int Cols() const;
  void setCols(int cols);
  int Row() const;
  void setRow(int row);
  int Col() const;
  void setCol(int col);
  int FixedCols() const;
  // Columns drawn as fixed (header look); they still hold text, and a fixed column widens to
  // show each text put into its data rows whole (row numbers of three digits and more).
  void setFixedCols(int n);

  QString TextMatrix(int row, int col) const;
  // The whole table as texts, row by row (the header row first, without the blanks that pad its
  // captions to set the column widths on screen): what an export writes.
  QList<QStringList> table() const;
  void setTextMatrix(int row, int col, const QString& text);
  // The current cell's text.
  QString Text() const { return TextMatrix(Row(), Col()); }
  void setText(const QString& text) { setTextMatrix(Row(), Col(), text); }

  int ColWidth(int col) const;
  void setColWidth(int col, int width);  // 0 hides the column
  // Alignment of a whole column: 1 left, 4 centre, 7 right (MSFlexGrid's codes), as Qt flags.
  void setColAlignment(int col, Qt::Alignment alignment);
  // The column's alignment; 0 when it has none of its own (MSFlexGrid's "general": numbers to
  // the right, other text to the left).
  Qt::Alignment ColAlignment(int col) const;

  QColor CellBackColor(int row, int col) const;  // invalid QColor = the grid's default
  void setCellBackColor(int row, int col, const QColor& color);  // invalid = back to default
  // Geometry of a cell relative to the grid widget (for editors laid over a cell).
  QRect cellRect(int row, int col) const;

  // Widens every shown column to its longest text (never narrower than it is) and makes the grid
  // at least as wide as its columns and its vertical scroll bar, so that no text is cut.
  void fitColumns();
  // The width of the shown columns together.
  int columnsWidth() const;

  // "|"-separated headers; a leading "<" left-aligns the column, "^" centres, ">" right-aligns.
  // The column count becomes the number of pieces; widths come from the header text with its blanks.
  void setFormatString(const QString& format);

  // As a user's click: makes the cell current, then raises the click event.
  // A click in a fixed column picks that row (its first visible non-fixed cell). A click on the
  // header row is no cell of the list and raises nothing.
  void clickCell(int row, int col);
  void dblClickCell(int row, int col);

  // Fixed cells (the header row and the fixed columns) are drawn like header sections.
  bool isFixedCell(int row, int col) const;
  // The alignment a cell is drawn with (the column's, or "general" for its text).
  Qt::Alignment cellAlignment(int row, int col) const;

 signals:
  void Click();
  void DblClick();
  void Scroll();

 private:
  int row_ = 0, col_ = 0, fixedCols_ = 0;
  void syncRowCount();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool fixedColsSet_ = false;  // setFixedCols was called: the format string leaves it alone
  bool topPending_ = false;  // a return to the top row is queued (after a refill)
  int pressRow_ = -1, pressCol_ = -1;
  QList<Qt::Alignment> colAlign_;  // per column; 0 = general
  QWidget* frozenHeader_ = nullptr;  // row 0 kept in view while the rows are scrolled
  bool inRange(int row, int col) const;
  QTableWidgetItem* cell(int row, int col);
  void setCurrent(int row, int col);
  bool moveCurrentForClick(int row, int col);
  void updateFrozenHeader();
  void fitFixedCell(int col, const QString& text);
  friend class FlexGridFrozenHeader;
};
